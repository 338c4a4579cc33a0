#include "DetectCorpus.h"

#include "text/Charset.h"
#include "text/Gzip.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace varnel::bench {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string readMaybeGzipped(const fs::path &path)
{
    std::string bytes = readFile(path);
    return isGzip(bytes) ? gunzip(bytes) : bytes;
}

char32_t codePointAt(const std::string &text, std::size_t at)
{
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x80 || at + 2 >= text.size() || (c & 0xF0) != 0xE0)
        return c;
    return (c & 0x0F) << 12 | (static_cast<unsigned char>(text[at + 1]) & 0x3F) << 6
        | (static_cast<unsigned char>(text[at + 2]) & 0x3F);
}

// A line of prose: mostly hanzi (of what is not blank), and some of them.
bool isProse(const std::string &line)
{
    std::size_t hanzi = 0, other = 0;
    for (std::size_t at : characterStarts(line)) {
        if (at >= line.size())
            break;
        if (isHanziAt(line, at))
            ++hanzi;
        else if (line[at] != ' ' && line[at] != '\t')
            ++other;
    }
    return hanzi >= 4 && hanzi >= other;
}

// A manual page's text lines without the requests and the font and
// character escapes.
std::string troffText(const std::string &line)
{
    if (line.empty() || line[0] == '.' || line[0] == '\'')
        return {};
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\') {
            out += line[i];
            continue;
        }
        if (++i >= line.size())
            break;
        const char e = line[i];
        if (e == 'f' || e == '*' || e == 'n') {
            if (i + 1 < line.size() && line[i + 1] == '(')
                i += 3;
            else if (i + 1 < line.size() && line[i + 1] == '[')
                i = std::min(line.find(']', i), line.size());
            else
                ++i;
        } else if (e == '(') {
            i += 2;
        } else if (e == 's') {
            while (i + 1 < line.size()
                && (line[i + 1] == '+' || line[i + 1] == '-' || std::isdigit(static_cast<unsigned char>(line[i + 1]))))
                ++i;
        } else if (e == '-' || e == 'e') {
            out += e == '-' ? '-' : '\\';
        }
    }
    return out;
}

Document proseOf(const std::string &text, bool troff)
{
    Document doc;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (troff)
            line = troffText(line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!isValidUtf8(line) || !isProse(line))
            continue;
        doc += line;
        doc += '\n';
    }
    return doc;
}

// The translations of a gettext catalogue (the header and plural forms
// after the first left out), one a line.
Document catalogueProse(const std::string &mo)
{
    auto word = [&](std::size_t at) -> std::uint32_t {
        if (at + 4 > mo.size())
            return 0;
        std::uint32_t v;
        std::memcpy(&v, mo.data() + at, 4);
        return v;
    };
    if (word(0) != 0x950412DE)
        return {};
    const std::uint32_t count = word(8), table = word(16);
    std::string lines;
    for (std::uint32_t k = 1; k < count; ++k) {
        const std::uint32_t length = word(table + 8 * k), offset = word(table + 8 * k + 4);
        if (offset + length > mo.size())
            break;
        std::string s = mo.substr(offset, length);
        s = s.substr(0, s.find('\0'));
        std::replace(s.begin(), s.end(), '\n', ' ');
        lines += s + '\n';
    }
    return proseOf(lines, false);
}

// The manual pages of one language that manpages-zh installed (other
// packages add a few of their own, which would make the corpus depend on
// what else is installed).
void addManualPages(std::vector<Document> &docs, std::string_view language, std::vector<std::string> &missing)
{
    const std::string prefix = "/usr/share/man/" + std::string(language) + "/";
    std::istringstream list(readFile("/var/lib/dpkg/info/manpages-zh.list"));
    const std::size_t before = docs.size();
    for (std::string path; std::getline(list, path);) {
        std::error_code ec;
        if (!path.starts_with(prefix) || !fs::is_regular_file(fs::symlink_status(path, ec)))
            continue;
        Document d = proseOf(readMaybeGzipped(path), true);
        if (!d.empty())
            docs.push_back(std::move(d));
    }
    if (docs.size() == before)
        missing.push_back(prefix + " (manpages-zh)");
}

void addFile(std::vector<Document> &docs, const fs::path &path, std::vector<std::string> &missing)
{
    Document d = proseOf(readMaybeGzipped(path), false);
    if (d.empty()) {
        missing.push_back(path.string());
        return;
    }
    // Split into documents of about 64 KB, so one long manual weighs as
    // much as its size and no more.
    for (std::size_t at = 0; at < d.size();) {
        std::size_t end = at + 65536 < d.size() ? d.find('\n', at + 65536) : d.size();
        end = end == std::string::npos ? d.size() : end + 1;
        docs.push_back(d.substr(at, end - at));
        at = end;
    }
}

} // namespace

std::vector<std::size_t> characterStarts(const std::string &text)
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < text.size(); i += utf8SequenceLength(static_cast<unsigned char>(text[i])))
        out.push_back(i);
    out.push_back(text.size());
    return out;
}

bool isHanziAt(const std::string &text, std::size_t at)
{
    const char32_t c = codePointAt(text, at);
    return (c >= 0x4E00 && c < 0xA000) || (c >= 0x3400 && c < 0x4DC0);
}

Corpus gatherCorpus()
{
    Corpus c;
    addManualPages(c.simplified, "zh_CN", c.missing);
    addFile(c.simplified, "/usr/share/debian-reference/debian-reference.zh-cn.txt.gz", c.missing);
    addManualPages(c.taiwan, "zh_TW", c.missing);
    addFile(c.taiwan, "/usr/share/debian-reference/debian-reference.zh-tw.txt.gz", c.missing);
    // Named catalogues (of libglib2.0-data, libgtk2.0-common and
    // gsettings-desktop-schemas), not whatever else is installed.
    for (const char *name : {"glib20", "gtk20", "gtk20-properties", "gsettings-desktop-schemas"}) {
        const fs::path path = fs::path("/usr/share/locale/zh_HK/LC_MESSAGES") / (std::string(name) + ".mo");
        Document d = catalogueProse(readFile(path));
        if (d.empty())
            c.missing.push_back(path.string());
        else
            c.hongKong.push_back(std::move(d));
    }
    return c;
}

} // namespace varnel::bench
