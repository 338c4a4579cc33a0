#pragma once

#include <string_view>

namespace varnel::hanzi_data {

// The character lists of text/hanzi/, compiled in: the 498 most frequent
// characters (most frequent first), the 2500 common and the 1000 less common
// characters of the list of frequently used characters (in stroke order).
// UTF-8, nothing between the characters.
extern const std::string_view kFrequent;
extern const std::string_view kCommon;
extern const std::string_view kSecondary;

} // namespace varnel::hanzi_data
