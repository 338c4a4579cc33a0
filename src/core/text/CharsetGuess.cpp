#include "text/CharsetGuess.h"

#include "text/CharWeights.h"
#include "text/Charset.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace varnel {
namespace {

// A last character that the end of the file cut off: such files are met
// (a download broken off), so it weighs little, and the same in every
// encoding that has characters of that length.
constexpr int kCutWeight = -12;
// One byte left over at the end of UTF-16 is rarer than a cut GBK character.
constexpr int kOddByteWeight = -24;
// Half a surrogate pair at the end: a file cut there, or bytes that are no
// UTF-16 at all, far more often.
constexpr int kCutSurrogateWeight = -48;
// The margin (in quarter nats) by which a reading must lead every other to
// be taken for sure: e^3, twenty to one. Set, with the credit below, on
// samples of prose cut to two to eight characters: lower, GBK texts begin
// to turn into Big5; higher, short Big5 and UTF-16 texts are left unsure
// for no gain.
constexpr int kSureMargin = 12;
// Credit for the Big5 readings (e^1): their ranks are those of the
// simplified lists carried over to traditional forms, which undervalues
// traditional prose somewhat.
constexpr int kBig5Credit = 4;
// Prose weighs more than this a character on average (e^-12); a reading
// below it is nonsense, however far ahead of the others.
constexpr int kProseFloor = -48;
// A margin past which reading on cannot change the guess.
constexpr int kDecisiveMargin = 4 * 60;

// The tables each read one charset.
enum class Table { Gbk, Big5, Big5Hkscs };
enum class Family { Gbk, Big5 };

Family familyOf(Table t)
{
    return t == Table::Gbk ? Family::Gbk : Family::Big5;
}

// The most a character can weigh at this code. The charsets' own layout
// says how common a code is: GBK's codes outside GB2312 (trail bytes below
// A1 among them) hold rare and traditional characters, which GBK text seldom
// has, however common their traditional form is in Big5; Big5's second
// level holds its less frequent characters, and the codes only HKSCS has are
// Hong Kong's own.
int weightCap(Table t, unsigned lead, unsigned trail)
{
    constexpr int kNone = 0;
    switch (t) {
    case Table::Gbk:
        return lead < 0xA1 || trail < 0xA1 ? -58 : kNone;
    case Table::Big5:
    case Table::Big5Hkscs:
        if (lead < 0xA1 || lead >= 0xFA || (lead == 0xC6 && trail >= 0xA1) || lead == 0xC7 || lead == 0xC8)
            return -50;
        return lead >= 0xC9 ? -44 : kNone;
    }
    return kNone;
}

bool isTrail(Family f, unsigned t)
{
    if (t < 0x40 || t == 0x7F || t == 0xFF)
        return false;
    return f == Family::Gbk || t < 0x7F || t >= 0xA1;
}

// The weight of every two-byte code of a charset (lead 81 to FE), as the
// converter reads the code. A code the converter does not map is impossible.
class PairWeights {
public:
    PairWeights(std::string_view charset, Table table)
        : m_family(familyOf(table))
    {
        const Family family = m_family;
        m_weights.fill(kImpossibleWeight);
        std::string pairs;
        std::vector<unsigned> codes;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (!isTrail(family, trail))
                    continue;
                codes.push_back(index(lead, trail));
                pairs += static_cast<char>(lead);
                pairs += static_cast<char>(trail);
                pairs += '\n'; // resynchronises the converter after an unmapped code
            }
        }
        const std::u16string text = utf8ToUtf16(convertCharset(pairs, charset, kCharsetUtf8));
        std::size_t code = 0;
        for (std::size_t at = 0; at < text.size() && code < codes.size(); ++code) {
            const std::size_t end = text.find(u'\n', at);
            if (end == std::u16string::npos)
                break;
            const std::u16string_view one(text.data() + at, end - at);
            at = end + 1;
            // One character (a few HKSCS codes give a letter and a
            // combining mark); U+FFFD and SUB are what unmapped codes give.
            if (one.empty() || one.find(u'\uFFFD') != one.npos || one.find(u'\x1A') != one.npos)
                continue;
            char32_t c = one[0];
            if (one.size() >= 2 && c >= 0xD800 && c < 0xDC00)
                c = 0x10000 + ((c - 0xD800) << 10) + (one[1] - 0xDC00);
            const unsigned lead = 0x81 + codes[code] / 0xC0, trail = 0x40 + codes[code] % 0xC0;
            m_weights[codes[code]] =
                static_cast<CharWeight>(std::min<int>(charWeight(c), weightCap(table, lead, trail)));
        }
        if (code != codes.size())
            m_weights.fill(kImpossibleWeight); // the converter did not keep step: no reading at all
    }

    Family family() const { return m_family; }

    // Weight of the code (the trail byte one of the family's).
    int at(unsigned lead, unsigned trail) const { return m_weights[index(lead, trail)]; }

private:
    static unsigned index(unsigned lead, unsigned trail) { return (lead - 0x81) * 0xC0 + (trail - 0x40); }

    Family m_family;
    std::array<CharWeight, 0x7E * 0xC0> m_weights{};
};

const PairWeights &gbkPairs()
{
    static const PairWeights table(kCharsetGb18030, Table::Gbk);
    return table;
}
const PairWeights &big5Pairs()
{
    static const PairWeights table(kCharsetBig5, Table::Big5);
    return table;
}
const PairWeights &hkscsPairs()
{
    static const PairWeights table(kCharsetBig5Hkscs, Table::Big5Hkscs);
    return table;
}

bool inRange(unsigned char c, unsigned first, unsigned last)
{
    return c >= first && c <= last;
}

// The readings of the bytes through tables of one family at once: they
// part characters alike.
template <std::size_t N>
std::array<Reading, N> scoreDoubleByte(
    std::string_view bytes, std::size_t limit, const std::array<const PairWeights *, N> &tables)
{
    std::array<Reading, N> r{};
    auto addAll = [&](int weight, bool wide = true) {
        for (Reading &one : r)
            one.add(weight, wide);
    };
    const CharWeight *plane = basicPlaneWeights();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    const Family family = tables[0]->family();
    const bool gb = family == Family::Gbk;
    for (std::size_t i = 0; i < n && i < limit;) {
        const unsigned c = p[i];
        if (c < 0x80) {
            addAll(plane[c], false);
            ++i;
        } else if (c == 0x80 || c == 0xFF) {
            addAll(gb && c == 0x80 ? plane[0x20AC] : kImpossibleWeight); // code page 936's euro
            ++i;
        } else if (i + 1 == n) {
            addAll(kCutWeight);
            ++i;
        } else if (gb && inRange(p[i + 1], 0x30, 0x39)) {
            // GB18030's four-byte form: characters beyond GBK, all rare.
            if (i + 3 < n && inRange(p[i + 2], 0x81, 0xFE) && inRange(p[i + 3], 0x30, 0x39)) {
                addAll(plane[0x3400]);
                i += 4;
            } else {
                addAll(i + 3 >= n ? kCutWeight : kImpossibleWeight);
                i += i + 3 >= n ? 4 : 1;
            }
        } else if (isTrail(family, p[i + 1])) {
            for (std::size_t k = 0; k < N; ++k)
                r[k].add(tables[k]->at(c, p[i + 1]));
            i += 2;
        } else {
            addAll(kImpossibleWeight);
            ++i; // the byte after the lead starts the next character
        }
    }
    return r;
}

Reading scoreUtf16(std::string_view bytes, std::size_t limit, bool bigEndian)
{
    Reading r;
    const CharWeight *plane = basicPlaneWeights();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    auto unit = [&](std::size_t i) -> char32_t { return bigEndian ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]; };
    std::size_t i = 0;
    for (; i + 1 < n && i < limit; i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                r.add(charWeight(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
                i += 2;
                continue;
            }
        }
        r.add(u >= 0xD800 && u < 0xDC00 && i + 3 >= n ? kCutSurrogateWeight : plane[u], u >= 0x80);
    }
    if (i + 1 == n && i < limit)
        r.add(kOddByteWeight);
    return r;
}

bool hasHighBytes(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// ASCII that is plain text: no controls but line ends, tabs, form feeds and
// the end-of-file mark of old DOS files.
bool isPlainAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0x1A;
    });
}

struct Candidate {
    GuessedCharset charset;
    Reading reading;
    std::int64_t score; // with the credit of its encoding
};

// The best reading and its lead over the best reading that gives another
// text.
std::pair<Candidate, std::int64_t> bestReading(const ReadingScores &s, bool highBytes)
{
    // Big5-HKSCS only when a code that only it has reads better.
    const Candidate big5 = s.big5Hkscs.score > s.big5.score
        ? Candidate{GuessedCharset::Big5Hkscs, s.big5Hkscs, s.big5Hkscs.score + kBig5Credit}
        : Candidate{GuessedCharset::Big5, s.big5, s.big5.score + kBig5Credit};
    std::vector<Candidate> all = {{GuessedCharset::Gbk, s.gbk, s.gbk.score},
        {GuessedCharset::Utf16LE, s.utf16LE, s.utf16LE.score}, {GuessedCharset::Utf16BE, s.utf16BE, s.utf16BE.score}};
    if (highBytes)
        all.push_back(big5);
    // Equal scores go to the earlier candidate: GBK first.
    std::stable_sort(all.begin(), all.end(), [](const Candidate &a, const Candidate &b) { return a.score > b.score; });
    return {all[0], all[0].score - all[1].score};
}

bool isSure(const Candidate &best, std::int64_t lead)
{
    const Reading &r = best.reading;
    // One character beyond ASCII is little to go by: another encoding than
    // GBK must then lead by twice the margin.
    const std::int64_t margin = best.charset != GuessedCharset::Gbk && r.wide < 2 ? 2 * kSureMargin : kSureMargin;
    return lead >= margin && r.score >= kProseFloor * r.characters;
}

} // namespace

ReadingScores readingScores(std::string_view bytes, std::size_t limit)
{
    ReadingScores s;
    s.gbk = scoreDoubleByte<1>(bytes, limit, {&gbkPairs()})[0];
    const auto big5 = scoreDoubleByte<2>(bytes, limit, {&big5Pairs(), &hkscsPairs()});
    s.big5 = big5[0];
    s.big5Hkscs = big5[1];
    s.utf16LE = scoreUtf16(bytes, limit, false);
    s.utf16BE = scoreUtf16(bytes, limit, true);
    return s;
}

CharsetGuess guessCharset(std::string_view bytes, const EventPump &pump)
{
    const bool highBytes = hasHighBytes(bytes);
    if (!highBytes && isPlainAscii(bytes))
        return {};
    // A growing prefix: most files tell within a few dozen characters, and
    // GBK, the bulk of every import, should not be read five times over.
    constexpr std::size_t kFirstPiece = 256, kMostRead = std::size_t{16} << 20;
    for (std::size_t limit = kFirstPiece;; limit *= 4) {
        const auto [best, lead] = bestReading(readingScores(bytes, limit), highBytes);
        if (lead >= kDecisiveMargin || limit >= bytes.size() || limit >= kMostRead) {
            if (!isSure(best, lead))
                return {GuessedCharset::Gbk, false};
            const bool big5 = best.charset == GuessedCharset::Big5 || best.charset == GuessedCharset::Big5Hkscs;
            if (big5 && limit < bytes.size()) {
                // Big5 for sure; whether HKSCS, only a code further on may tell.
                const auto whole = scoreDoubleByte<2>(bytes, kMostRead, {&big5Pairs(), &hkscsPairs()});
                return {whole[1].score > whole[0].score ? GuessedCharset::Big5Hkscs : GuessedCharset::Big5, true};
            }
            return {best.charset, true};
        }
        varnel::pump(pump);
    }
}

} // namespace varnel
