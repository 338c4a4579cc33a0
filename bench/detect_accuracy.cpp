// How often 自动识别 reads a file without mark or meta charset right, beside
// four public detectors run on the same files in the same run.
//
//   detect_accuracy [--pieces N] [--seed S] [--keep] [--misses] [--scores FILE]
//                   [--varnel-only]
//
// The prose comes from Debian packages (see DetectCorpus.h); each piece is
// cut at 2 to 256 characters and written in GBK, Big5, Big5-HKSCS, UTF-8,
// UTF-16LE and UTF-16BE without a mark. A file counts as read right when the
// text its detected encoding gives is the piece exactly. Varnel's figure is
// decodeArticle's own text; "unsure" is the share it read as GBK for want of
// evidence and would list as "编码不确定（按 GBK 读取）". --misses prints each
// piece Varnel misread or was unsure of, with the score of every reading;
// --scores writes every piece's scores to FILE (tab-separated), to weigh the
// margins by; --varnel-only leaves the references out.

#include "DetectCorpus.h"
#include "DetectReferences.h"

#include "mapping/Generators.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/CharsetGuess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace varnel;
using namespace varnel::bench;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLengths[] = {2, 4, 8, 16, 32, 64, 256};

struct Row {
    std::string label;
    std::string charset; // for ICU
};

const Row kRows[] = {
    {"GBK", "GBK"},
    {"Big5", "Big5"},
    {"Big5-HKSCS", "Big5-HKSCS"},
    {"UTF-8", "UTF-8"},
    {"UTF-16LE", "UTF-16LE"},
    {"UTF-16BE", "UTF-16BE"},
};

// The bytes of the text in the charset, or nothing when a character has no
// code there.
std::optional<std::string> encoded(const std::string &text, const std::string &charset)
{
    std::string bytes = convertCharset(text, kCharsetUtf8, charset);
    if (bytes.empty() || convertCharset(bytes, charset, kCharsetUtf8) != text)
        return std::nullopt;
    return bytes;
}

// Half the pieces from each source; `convert` makes a piece of the second
// source fit the row (simplified to traditional for Big5).
std::vector<std::string> piecesFor(
    const Row &row, const Corpus &c, std::size_t length, std::size_t count, std::mt19937 &random)
{
    auto fits = [&](const std::string &p) { return encoded(p, row.charset).has_value(); };
    std::vector<std::string> out;
    auto add = [&](std::vector<std::string> more) { out.insert(out.end(), more.begin(), more.end()); };
    if (row.label == "GBK") {
        add(cutPieces(c.simplified, length, count, random, fits));
    } else if (row.label == "Big5") {
        add(cutPieces(c.taiwan, length, count / 2, random, fits));
        std::vector<std::string> converted;
        for (const std::string &p : cutPieces(c.simplified, length, count - count / 2, random,
                 [&](const std::string &s) { return fits(toTraditional(s)); }))
            converted.push_back(toTraditional(p));
        add(converted);
    } else if (row.label == "Big5-HKSCS") {
        add(cutPieces(c.hongKong, length, count / 2, random, fits));
        add(cutPieces(c.taiwan, length, count - count / 2, random, fits));
    } else {
        add(cutPieces(c.simplified, length, count / 2, random, fits));
        add(cutPieces(c.taiwan, length, count - count / 2, random, fits));
    }
    return out;
}

struct Cell {
    std::size_t files = 0, varnel = 0, unsure = 0, flippedToBig5 = 0;
    std::vector<std::size_t> refs = std::vector<std::size_t>(references().size(), 0);
};

std::string percent(std::size_t n, std::size_t of)
{
    if (of == 0)
        return "-";
    char s[16];
    std::snprintf(s, sizeof s, "%.1f%%", 100.0 * static_cast<double>(n) / static_cast<double>(of));
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    std::size_t count = 1000;
    unsigned seed = 36;
    bool keep = false, misses = false, varnelOnly = false;
    std::FILE *scores = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pieces") && i + 1 < argc)
            count = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--keep"))
            keep = true;
        else if (!std::strcmp(argv[i], "--misses"))
            misses = true;
        else if (!std::strcmp(argv[i], "--varnel-only"))
            varnelOnly = true;
        else if (!std::strcmp(argv[i], "--scores") && i + 1 < argc && !scores)
            scores = std::fopen(argv[++i], "w");
        else {
            std::fprintf(stderr,
                "usage: detect_accuracy [--pieces N] [--seed S] [--keep] [--misses] [--scores FILE] [--varnel-only]\n");
            return 2;
        }
    }

    const Corpus corpus = gatherCorpus();
    for (const std::string &m : corpus.missing)
        std::fprintf(stderr, "detect_accuracy: no Chinese prose in %s\n", m.c_str());
    if (corpus.simplified.empty() || corpus.taiwan.empty() || corpus.hongKong.empty()) {
        std::fprintf(stderr,
            "detect_accuracy: install manpages-zh, debian-reference-zh-cn, debian-reference-zh-tw, "
            "libglib2.0-data, libgtk2.0-common and gsettings-desktop-schemas (scripts/setup does)\n");
        return 2;
    }
    std::vector<bool> present;
    for (const Reference &r : references()) {
        present.push_back(!varnelOnly && installed(r));
        if (!present.back() && !varnelOnly)
            std::fprintf(stderr, "detect_accuracy: %s is not installed (%s); its column stays empty\n", r.name.c_str(),
                r.program.c_str());
    }

    char pattern[] = "/tmp/varnel-detect-XXXXXX";
    if (!::mkdtemp(pattern))
        return 2;
    const fs::path root = pattern;
    std::mt19937 random(seed);

    std::printf("Read right, of %zu pieces a cell (real prose, no mark or meta charset)\n\n", count);
    std::printf("%-11s %5s %8s %7s", "encoding", "chars", "Varnel", "unsure");
    for (const Reference &r : references())
        std::printf(" %*s", static_cast<int>(std::max<std::size_t>(r.name.size(), 8)), r.name.c_str());
    std::printf("  goal\n");

    std::size_t missed = 0, flipped = 0, gbkOrUtf8 = 0;
    for (const Row &row : kRows) {
        for (std::size_t length : kLengths) {
            const std::vector<std::string> pieces = piecesFor(row, corpus, length, count, random);
            const fs::path dir = root / (row.label + "-" + std::to_string(length));
            fs::create_directories(dir);
            Cell cell;
            std::vector<std::string> files, bytes;
            for (std::size_t k = 0; k < pieces.size(); ++k) {
                const std::string b = *encoded(pieces[k], row.charset);
                char name[32];
                std::snprintf(name, sizeof name, "%05zu.txt", k);
                files.push_back((dir / name).string());
                if (!varnelOnly)
                    std::ofstream(files.back(), std::ios::binary) << b;
                bytes.push_back(b);
                const DecodedArticle a = decodeArticle(b, ArticleEncoding::Detect);
                cell.varnel += a.text == pieces[k];
                cell.unsure += !a.encodingCertain;
                const ReadingScores r = readingScores(b, b.size());
                if (scores) {
                    std::fprintf(scores, "%s\t%zu\t%d\t%d", row.label.c_str(), length, static_cast<int>(a.encoding),
                        a.text == pieces[k]);
                    for (const Reading &x : {r.gbk, r.big5, r.big5Hkscs, r.utf16LE, r.utf16BE})
                        std::fprintf(scores, "\t%lld\t%lld\t%lld", static_cast<long long>(x.score),
                            static_cast<long long>(x.characters), static_cast<long long>(x.wide));
                    std::fprintf(scores, "\n");
                }
                if (misses && (a.text != pieces[k] || !a.encodingCertain)) {
                    std::string shown = pieces[k];
                    std::replace(shown.begin(), shown.end(), '\n', '|');
                    std::printf("  %s %s as %d%s: gbk %lld big5 %lld hkscs %lld le %lld be %lld\n", row.label.c_str(),
                        shown.c_str(), static_cast<int>(a.encoding), a.encodingCertain ? "" : " (unsure)",
                        static_cast<long long>(r.gbk.score), static_cast<long long>(r.big5.score),
                        static_cast<long long>(r.big5Hkscs.score), static_cast<long long>(r.utf16LE.score),
                        static_cast<long long>(r.utf16BE.score));
                }
                const bool big5 = a.encoding == ArticleEncoding::Big5 || a.encoding == ArticleEncoding::Big5Hkscs;
                if (row.label == "GBK" || row.label == "UTF-8") {
                    ++gbkOrUtf8;
                    flipped += big5;
                }
            }
            cell.files = pieces.size();
            for (std::size_t r = 0; r < references().size(); ++r) {
                if (!present[r] || files.empty())
                    continue;
                const std::vector<std::string> names = detect(references()[r], files);
                for (std::size_t k = 0; k < files.size(); ++k)
                    cell.refs[r] += decodeAs(names[k], bytes[k]) == pieces[k];
            }
            const std::size_t best = *std::max_element(cell.refs.begin(), cell.refs.end());
            const bool belowBest = cell.varnel < best;
            const bool belowGoal = length >= 16 && cell.varnel * 100 < cell.files * 99;
            missed += belowBest || belowGoal;
            std::printf("%-11s %5zu %8s %7s", row.label.c_str(), length, percent(cell.varnel, cell.files).c_str(),
                percent(cell.unsure, cell.files).c_str());
            for (std::size_t r = 0; r < references().size(); ++r)
                std::printf(" %*s", static_cast<int>(std::max<std::size_t>(references()[r].name.size(), 8)),
                    present[r] ? percent(cell.refs[r], cell.files).c_str() : "-");
            std::printf("  %s\n", belowBest ? "below the best" : belowGoal ? "below 99%" : "met");
            std::fflush(stdout);
            if (!keep)
                fs::remove_all(dir);
        }
    }
    std::printf("\nGBK and UTF-8 pieces read as Big5 or Big5-HKSCS: %zu of %zu\n", flipped, gbkOrUtf8);
    std::printf("Cells short of the goal (the best detector's figure, and 99%% from 16 characters): %zu\n", missed);
    if (scores)
        std::fclose(scores);
    if (keep)
        std::printf("The files are in %s\n", root.c_str());
    else
        fs::remove_all(root);
    return 0;
}
