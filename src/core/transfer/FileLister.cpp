#include "transfer/FileLister.h"

#include "text/Charset.h"
#include "text/RegexMatcher.h"
#include "text/TextUtil.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <filesystem>

namespace varnel {
namespace {

namespace fs = std::filesystem;

// Code points, so "?" takes one character, not one byte.
std::u32string codePoints(std::string_view s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = std::min(utf8SequenceLength(c), s.size() - i);
        char32_t cp = n == 1 ? c : (c & (0x7F >> n));
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp < 0x80 ? static_cast<char32_t>(asciiLower(static_cast<char>(cp))) : cp);
        i += n;
    }
    return out;
}

struct Entry {
    std::string name;
    bool directory;
    std::string key; // the name with ASCII letters lowered, for sorting
};

// A folder's entries sorted by name, case ignored; links to folders are not
// folders here (a link loop must not recurse forever).
std::vector<Entry> entriesOf(const std::string &folder)
{
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        const bool link = it->is_symlink(e2);
        const bool dir = !link && it->is_directory(e2);
        const bool file = it->is_regular_file(e2); // follows links to files
        if (dir || file) {
            std::string name = it->path().filename().string();
            std::string key = asciiLowered(name);
            entries.push_back({std::move(name), dir, std::move(key)});
        }
    }
    std::sort(entries.begin(), entries.end(),
        [](const Entry &a, const Entry &b) { return a.key != b.key ? a.key < b.key : a.name < b.name; });
    return entries;
}

std::string withSeparator(const std::string &folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

void listOwnFiles(const std::string &folder, const std::vector<Entry> &entries, const ListOptions &options,
    std::vector<std::string> &out)
{
    const std::string base = withSeparator(folder);
    if (!options.alternative) {
        const std::string text = options.patterns.empty() ? std::string("*.*") : options.patterns;
        // Each pattern in turn: a file that two patterns match comes twice.
        for (const std::string &pattern : splitText(text, "|")) {
            for (const Entry &e : entries) {
                if (!e.directory && wildcardMatch(pattern, e.name))
                    out.push_back(base + e.name);
            }
        }
        return;
    }

    // The alternative lister takes the whole pattern text as one pattern.
    const std::string &pattern = options.patterns;
    const bool all = pattern.empty() || pattern == "*" || pattern == "*.*";
    const bool suffix =
        !all && pattern.starts_with("*.") && pattern.find('*', 1) == std::string::npos && pattern != "*.htm";
    RegexMatcher regex;
    if (!all && !suffix)
        regex.compile(escapeWildcard(pattern), true, true, false);
    const std::string tail = suffix ? asciiLowered(pattern.substr(1)) : std::string();
    for (const Entry &e : entries) {
        if (e.directory)
            continue;
        const std::string name = asciiLowered(e.name);
        bool take = all;
        if (suffix)
            take = name.ends_with(tail);
        else if (!all)
            take = regex.matchAll(name) > 0 && regex.matchText(1) == name;
        if (take)
            out.push_back(base + e.name);
    }
}

void listInto(const std::string &folder, const ListOptions &options, std::vector<std::string> &out)
{
    const std::vector<Entry> entries = entriesOf(folder);
    listOwnFiles(folder, entries, options, out);
    if (!options.recurse)
        return;
    for (const Entry &e : entries) {
        if (!e.directory)
            continue;
        if (options.stopRequested && options.stopRequested())
            return;
        listInto(withSeparator(folder) + e.name, options, out);
        if (options.processEvents)
            options.processEvents();
    }
}

bool matchFrom(const std::u32string &p, std::size_t pi, const std::u32string &n, std::size_t ni)
{
    // Iterative glob with backtracking to the last star.
    std::size_t star = std::u32string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    return matchFrom(codePoints(pattern), 0, codePoints(name), 0);
}

std::vector<std::string> listArticleFiles(const std::string &folder, const ListOptions &options)
{
    std::vector<std::string> out;
    listInto(folder, options, out);
    return out;
}

} // namespace varnel
