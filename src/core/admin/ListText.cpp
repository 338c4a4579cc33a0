#include "admin/ListText.h"

#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "util/SystemError.h"

#include <cerrno>

namespace varnel {
namespace {

void appendQuoted(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
}

} // namespace

std::string formatListLine(const std::vector<std::string> &cells, bool titleLine)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += '\t';
        const std::string &cell = cells[i];
        if (titleLine) {
            appendQuoted(line, cell);
        } else if (cell.find_first_of("\t\r\n") != std::string::npos) {
            std::string joined;
            joined.reserve(cell.size());
            for (std::size_t k = 0; k < cell.size(); ++k) {
                if (cell[k] == '\r' && k + 1 < cell.size() && cell[k + 1] == '\n')
                    continue; // the LF that follows stays
                joined += cell[k];
            }
            appendQuoted(line, joined);
        } else {
            line += cell;
        }
    }
    return line;
}

bool writeGb18030File(const std::filesystem::path &path, std::string_view utf8Text, std::string &error)
{
    error.clear();
    if (replaceFile(path, toGb18030(utf8Text)))
        return true;
    const int saved = errno;
    error = saved ? systemErrorText(saved) : "文件无法写入";
    return false;
}

} // namespace varnel
