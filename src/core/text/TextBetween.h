#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// Markers that stand for the start and the end of the text: an empty head or
// tail is replaced by them.
inline constexpr std::string_view kHeadMarker = "#Varnel头#";
inline constexpr std::string_view kTailMarker = "#Varnel尾#";

// Search position of TextBetween: 1-based byte position, 0 or below for the
// start of the text, kNothingMore once nothing more is to be found.
inline constexpr std::int64_t kNothingMore = -2;

struct TextBetweenOptions {
    bool backward = false;
    std::int64_t startShift = 0;
    std::int64_t endShift = 0;
    // When false, two single quotes in a marker stand for one double quote.
    bool rawMarkers = false;
};

// The text between head and tail, found from `position` ignoring the case of
// ASCII letters; a second attempt drops double quotes from both markers. On
// success `position` moves past the tail; on failure it becomes kNothingMore.
// `bound` is the backward search's memory between calls.
std::string TextBetween(std::string_view text, std::string_view head, std::string_view tail, std::int64_t &position,
    const TextBetweenOptions &options = {}, std::int64_t *bound = nullptr);

// Convenience: forward from the start, no shifts.
std::string TextBetween(std::string_view text, std::string_view head, std::string_view tail);

} // namespace varnel
