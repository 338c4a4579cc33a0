#include "text/CharWeights.h"

#include "text/Charset.h"
#include "text/HanziData.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace varnel {
namespace {

// Weights in quarter nats. Hanzi outside the lists by how rare their block
// says they are; then punctuation and the symbols and scripts that GB2312
// and Big5 also hold, rarely met in prose.
constexpr CharWeight kCommonWeight = -37; // e^-9.2: 2,000 characters share a fifth of all text
constexpr CharWeight kSecondaryWeight = -44;
constexpr CharWeight kLevelOneWeight = -50; // the rest of GB2312's or Big5's first level
constexpr CharWeight kOtherHanziWeight = -58;
constexpr CharWeight kRareHanziWeight = -66; // extension A, compatibility forms, other planes

// The 498 most frequent characters: Zipf-like, from e^-4 for the first to
// e^-7.8 for the last, four fifths of all text together.
CharWeight rankWeight(std::size_t rank)
{
    return static_cast<CharWeight>(std::lround(4.0 * std::log(0.2 / (static_cast<double>(rank) + 10.0))));
}

CharWeight baseWeight(char32_t c)
{
    if (c < 0x80) {
        if (c == '\t' || c == '\n' || c == '\r')
            return -16;
        if (c < 0x20 || c == 0x7F)
            return -72;
        if (c == ' ')
            return -12;
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
            return -14;
        return c >= '0' && c <= '9' ? -16 : -18;
    }
    if (c < 0xA0)
        return -80; // C1 controls
    if (c < 0x250)
        return c < 0x100 ? -40 : -44; // Latin-1, pinyin with tones
    if (c >= 0x370 && c < 0x530)
        return -52; // Greek, Cyrillic
    if (c >= 0x2000 && c < 0x2070)
        return -40;
    if (c >= 0x2100 && c < 0x2460)
        return -44; // arrows, mathematical signs
    if (c >= 0x2460 && c < 0x2500)
        return -40; // ① ⑴ ⒈
    if (c >= 0x2500 && c < 0x2600)
        return -52; // box drawing, blocks
    if (c >= 0x2600 && c < 0x27C0)
        return -44;
    if (c >= 0x3000 && c < 0x3040)
        return -36;
    if (c >= 0x3040 && c < 0x3100)
        return -52; // kana
    if (c >= 0x3100 && c < 0x31C0)
        return -56; // bopomofo
    if (c >= 0x3200 && c < 0x3400)
        return -48;
    if (c >= 0x3400 && c < 0x4DC0)
        return kRareHanziWeight;
    if (c >= 0x4E00 && c < 0xA000)
        return kOtherHanziWeight;
    if (c >= 0xA000 && c < 0xA4D0)
        return -72; // Yi
    if ((c >= 0xAC00 && c < 0xD7B0) || (c >= 0x1100 && c < 0x1200) || (c >= 0x3130 && c < 0x3190))
        return -64; // Hangul
    if (c >= 0xD800 && c < 0xE000)
        return kImpossibleWeight; // a surrogate on its own
    if (c >= 0xE000 && c < 0xF900)
        return -80; // private use
    if (c >= 0xF900 && c < 0xFB00)
        return kRareHanziWeight;
    if (c >= 0xFE30 && c < 0xFE70)
        return -48; // vertical and small forms
    if (c >= 0xFF01 && c < 0xFF5F)
        return -36; // full-width ASCII
    if (c == 0xFFFD)
        return kImpossibleWeight; // what a converter gives for bytes that are no character
    if (c >= 0xFFF0 && c < 0x10000)
        return -80;
    if (c >= 0x20000 && c < 0x32000)
        return kRareHanziWeight;
    return c > 0x10FFFF ? kImpossibleWeight : -64;
}

// The punctuation of Chinese prose, by how often it is met.
struct Punctuation {
    std::string_view marks;
    CharWeight weight;
};
constexpr Punctuation kPunctuation[] = {
    {"，。", -14},
    {"、“”：；？！（）《》「」", -20},
    {"…—·‘’『』【】〈〉〔〕　", -28},
};

std::vector<char32_t> codePoints(std::string_view utf8)
{
    std::vector<char32_t> out;
    for (char16_t u : utf8ToUtf16(utf8))
        out.push_back(u); // the lists hold only characters of the basic plane
    return out;
}

class WeightTable {
public:
    WeightTable()
    {
        for (char32_t c = 0; c < 0x10000; ++c)
            m_weights[c] = baseWeight(c);
        for (const Punctuation &p : kPunctuation) {
            for (char32_t c : codePoints(p.marks))
                m_weights[c] = p.weight;
        }
        levelOne(kCharsetGb18030, 0xB0, 0xD7, 0xA1, 0xFE);
        levelOne(kCharsetBig5, 0xA4, 0xC6, 0x40, 0xFE);

        std::unique_ptr<icu::Transliterator> traditional;
        UErrorCode status = U_ZERO_ERROR;
        traditional.reset(icu::Transliterator::createInstance("Hans-Hant", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            traditional.reset();
        auto give = [&](char32_t c, CharWeight w) {
            raise(c, w);
            if (!traditional)
                return;
            icu::UnicodeString u(static_cast<UChar32>(c));
            traditional->transliterate(u);
            if (u.length() == 1)
                raise(u.char32At(0), w);
        };
        for (char32_t c : codePoints(hanzi_data::kSecondary))
            give(c, kSecondaryWeight);
        for (char32_t c : codePoints(hanzi_data::kCommon))
            give(c, kCommonWeight);
        const std::vector<char32_t> frequent = codePoints(hanzi_data::kFrequent);
        for (std::size_t i = 0; i < frequent.size(); ++i)
            give(frequent[i], rankWeight(i + 1));
    }

    CharWeight operator[](char32_t c) const { return c < 0x10000 ? m_weights[c] : baseWeight(c); }
    const CharWeight *basicPlane() const { return m_weights; }

private:
    void raise(char32_t c, CharWeight w)
    {
        if (c < 0x10000)
            m_weights[c] = std::max(m_weights[c], w);
    }

    // Every code of the block (lead and trail bytes from..to, trails below
    // A1 only where Big5 has them) as the converter reads it.
    void levelOne(
        std::string_view charset, unsigned leadFirst, unsigned leadLast, unsigned trailFirst, unsigned trailLast)
    {
        std::string pairs;
        for (unsigned lead = leadFirst; lead <= leadLast; ++lead) {
            for (unsigned trail = trailFirst; trail <= trailLast; ++trail) {
                if (trail > 0x7E && trail < 0xA1)
                    continue;
                pairs += static_cast<char>(lead);
                pairs += static_cast<char>(trail);
                pairs += '\n';
            }
        }
        for (char32_t c : codePoints(convertCharset(pairs, charset, kCharsetUtf8))) {
            if (c >= 0x4E00 && c < 0xA000)
                raise(c, kLevelOneWeight);
        }
    }

    CharWeight m_weights[0x10000];
};

const WeightTable &weightTable()
{
    static const WeightTable table;
    return table;
}

} // namespace

CharWeight charWeight(char32_t c)
{
    return weightTable()[c];
}

const CharWeight *basicPlaneWeights()
{
    return weightTable().basicPlane();
}

} // namespace varnel
