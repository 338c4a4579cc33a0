#pragma once

#include <cstdint>

namespace varnel {

// How likely a character is in Chinese prose, as a natural logarithm in
// quarter units (-16 is e^-4): the weights the charset guess adds up over a
// reading of the bytes. Frequent hanzi and punctuation weigh most, other
// scripts, controls and private-use characters least. The ranks come from
// the compiled-in character lists, in simplified form and in the traditional
// form ICU's Hans-Hant gives them; the rest of GB2312's and Big5's first
// levels, their most used characters, come next.
using CharWeight = std::int8_t;

// A character that cannot be, or bytes that are no character.
inline constexpr CharWeight kImpossibleWeight = -100;

CharWeight charWeight(char32_t c);

// The weights of the basic plane, U+0000 to U+FFFF, for loops that look up
// every character.
const CharWeight *basicPlaneWeights();

} // namespace varnel
