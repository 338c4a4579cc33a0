#pragma once

// The prose detect_accuracy measures on: Chinese text that Debian packages
// install, in documents of prose lines, cut into pieces of a given number of
// characters.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace varnel::bench {

// Prose lines of one file, joined by line ends (UTF-8).
using Document = std::string;

struct Corpus {
    std::vector<Document> simplified; // mainland manual pages and documentation
    std::vector<Document> taiwan; // the same in traditional characters
    std::vector<Document> hongKong; // Hong Kong translations of program messages
    std::vector<std::string> missing; // where nothing was found, for the report
};

// Reads what the packages installed: the manual pages of manpages-zh (zh_CN
// and zh_TW), the Debian Reference (debian-reference-zh-cn, -zh-tw) and four
// zh_HK message catalogues (libglib2.0-data, libgtk2.0-common,
// gsettings-desktop-schemas).
Corpus gatherCorpus();

// `count` pieces of exactly `length` characters from the documents (each
// starting at a hanzi, at random places, documents weighted by size), each
// one for which `keep` is true.
template <typename Keep>
std::vector<std::string> cutPieces(
    const std::vector<Document> &docs, std::size_t length, std::size_t count, std::mt19937 &random, Keep keep);

// The character offsets (byte positions of each character and of the end)
// of UTF-8 text.
std::vector<std::size_t> characterStarts(const std::string &text);
bool isHanziAt(const std::string &text, std::size_t at);

template <typename Keep>
std::vector<std::string> cutPieces(
    const std::vector<Document> &docs, std::size_t length, std::size_t count, std::mt19937 &random, Keep keep)
{
    std::vector<std::string> out;
    std::vector<std::size_t> sizes;
    for (const Document &d : docs)
        sizes.push_back(d.size());
    if (docs.empty())
        return out;
    std::discrete_distribution<std::size_t> pickDoc(sizes.begin(), sizes.end());
    std::vector<std::vector<std::size_t>> starts(docs.size());
    for (std::size_t tries = 0; out.size() < count && tries < count * 200; ++tries) {
        const std::size_t d = pickDoc(random);
        if (starts[d].empty())
            starts[d] = characterStarts(docs[d]);
        const std::vector<std::size_t> &s = starts[d];
        if (s.size() <= length + 1)
            continue;
        const std::size_t first = std::uniform_int_distribution<std::size_t>(0, s.size() - 2 - length)(random);
        if (!isHanziAt(docs[d], s[first]))
            continue;
        std::string piece = docs[d].substr(s[first], s[first + length] - s[first]);
        if (keep(piece))
            out.push_back(std::move(piece));
    }
    return out;
}

} // namespace varnel::bench
