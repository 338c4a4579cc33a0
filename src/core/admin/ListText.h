#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One row of a result list as a line of text for copying and CSV export
// (without the line end): the cells joined by TAB. On the title line every
// title is enclosed in double quotes. A data cell that holds a TAB, a CR or
// an LF has each CR LF pair reduced to LF and is enclosed in double quotes,
// with each double quote inside doubled, so that it reads back as one cell;
// every other cell stays as it is.
std::string formatListLine(const std::vector<std::string> &cells, bool titleLine);

// Creates or replaces the file with the text as GB18030 bytes. An existing
// file is left as it was when the text cannot be written completely; false
// then, with the reason in `error`.
bool writeGb18030File(const std::filesystem::path &path, std::string_view utf8Text, std::string &error);

} // namespace varnel
