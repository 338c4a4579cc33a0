#pragma once

#include "util/EventPump.h"
#include "util/Random.h"

#include <string>
#include <string_view>

namespace varnel {

// Characters at which a sentence ends (besides line breaks and ". ").
extern const std::string_view kSentenceDelimiters;
// Internal marker between sentences.
inline constexpr std::string_view kPieceMarker = "[⊥]";

// One sentence of an article: tags removed, cut at the delimiters; the first
// piece in random order that has at least 10 characters after trimming, else
// any piece at random (possibly empty or short). Empty text when there are no
// pieces. The generator is reseeded first; the pump is called per piece.
std::string randomSentence(std::string_view text, RandomSource &random = defaultRandom(), const EventPump &pump = {});

} // namespace varnel
