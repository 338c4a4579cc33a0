#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// What a summary is cut from: whole links with their text, every other tag,
// every CR and LF, and every run of two or more spaces removed.
inline constexpr std::string_view kSummaryPattern = "<a [\\s\\S]+?</a>|<[\\s\\S]+?>|\\r|\\n| {2,}";

// The same result as replacing every match of kSummaryPattern (ignoring case)
// by empty text, without a regex engine: this runs on every imported article.
std::string stripSummaryMarkup(std::string_view text);

// The first n characters of stripSummaryMarkup(decodeEntities(text)), as
// LeftChars cuts them (n < 0 counts from the end), reading only as much of
// the text as those characters need: a summary of a large page costs about
// what its first screen costs.
std::string summaryOf(std::string_view text, std::int64_t n);

} // namespace varnel
