#pragma once

#include <string>
#include <string_view>

namespace varnel {

// What a summary is cut from: whole links with their text, every other tag,
// every CR and LF, and every run of two or more spaces removed.
inline constexpr std::string_view kSummaryPattern = "<a [\\s\\S]+?</a>|<[\\s\\S]+?>|\\r|\\n| {2,}";

// The same result as replacing every match of kSummaryPattern (ignoring case)
// by empty text, without a regex engine: this runs on every imported article.
std::string stripSummaryMarkup(std::string_view text);

} // namespace varnel
