#include "text/Charset.h"

#include "util/AsciiCase.h"

#include "util/Utf8.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

namespace varnel {

// U+FFFD, for bytes that are not text.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opening a converter is cheap but not free; an import opens the same two or
// three thousands of times, so each thread keeps the ones it has used.
UConverter *converterFor(std::string_view name)
{
    thread_local std::map<std::string, ConverterPtr, std::less<>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr conv(ucnv_open(std::string(name).c_str(), &status));
        if (U_FAILURE(status))
            conv.reset();
        it = cache.emplace(std::string(name), std::move(conv)).first;
    }
    if (it->second)
        ucnv_reset(it->second.get());
    return it->second.get();
}

// Code page 936 has the euro sign as the single byte 80, which GB18030 lacks.
constexpr unsigned char kEuroByte = 0x80;
constexpr std::string_view kEuro = "\xE2\x82\xAC";

bool isAscii(std::string_view bytes)
{
    for (unsigned char c : bytes) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

} // namespace

std::string convertCharset(std::string_view bytes, std::string_view from, std::string_view to)
{
    if (bytes.empty())
        return {};
    UConverter *source = converterFor(from);
    UConverter *target = converterFor(to);
    if (!source || !target)
        return {};

    std::string out;
    // Worst cases: one byte to a 4-byte sequence; grow as needed below.
    out.resize(bytes.size() * 2 + 16);
    UChar pivot[4096];
    UChar *pivotSource = pivot;
    UChar *pivotTarget = pivot;
    const char *src = bytes.data();
    const char *srcEnd = bytes.data() + bytes.size();
    std::size_t written = 0;
    bool reset = true;
    for (;;) {
        char *dst = out.data() + written;
        char *dstEnd = out.data() + out.size();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(target, source, &dst, dstEnd, &src, srcEnd, pivot, &pivotSource, &pivotTarget,
            pivot + std::size(pivot), reset, true, &status);
        reset = false;
        written = static_cast<std::size_t>(dst - out.data());
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(status))
            return {};
        break;
    }
    out.resize(written);
    return out;
}

std::string toGb18030(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    return convertCharset(utf8, kCharsetUtf8, kCharsetGb18030);
}

std::string toAnsi(std::string_view utf8)
{
    std::string out;
    for (std::size_t from = 0;;) {
        const std::size_t euro = utf8.find(kEuro, from);
        out += toGb18030(utf8.substr(from, euro == std::string_view::npos ? std::string_view::npos : euro - from));
        if (euro == std::string_view::npos)
            return out;
        out += static_cast<char>(kEuroByte);
        from = euro + kEuro.size();
    }
}

namespace {

// The two-byte part of GB18030 (which holds all of GBK) as a table built from
// the converter itself, so decoding GBK text, the bulk of every import, needs
// no converter call. Anything else (four-byte forms, invalid bytes) goes to
// the converter.
class TwoByteGb18030 {
public:
    static constexpr unsigned kLeadFirst = 0x81, kLeadLast = 0xFE;
    static constexpr unsigned kTrailFirst = 0x40, kTrailLast = 0xFE;
    static constexpr unsigned kTrails = kTrailLast - kTrailFirst + 1;

    TwoByteGb18030()
    {
        std::string pairs;
        for (unsigned lead = kLeadFirst; lead <= kLeadLast; ++lead) {
            for (unsigned trail = kTrailFirst; trail <= kTrailLast; ++trail) {
                if (trail == 0x7F)
                    continue;
                pairs.push_back(static_cast<char>(lead));
                pairs.push_back(static_cast<char>(trail));
            }
        }
        const std::u16string units = utf8ToUtf16(convertCharset(pairs, kCharsetGb18030, kCharsetUtf8));
        if (units.size() * 2 != pairs.size())
            return; // not one BMP character per pair: leave it all to the converter
        for (std::size_t i = 0; i < units.size(); ++i) {
            const auto lead = static_cast<unsigned char>(pairs[2 * i]);
            const auto trail = static_cast<unsigned char>(pairs[2 * i + 1]);
            if (units[i] != 0xFFFD && (units[i] < 0xD800 || units[i] > 0xDFFF))
                m_table[(lead - kLeadFirst) * kTrails + (trail - kTrailFirst)] = units[i];
        }
        m_ready = true;
    }

    // False when the bytes need the converter.
    bool decode(std::string_view bytes, std::string &out) const
    {
        if (!m_ready)
            return false;
        // Each byte becomes at most 1.5 bytes of UTF-8 (two GBK bytes, three UTF-8).
        out.resize(bytes.size() + bytes.size() / 2 + 4);
        char *o = out.data();
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
        const std::size_t n = bytes.size();
        for (std::size_t i = 0; i < n;) {
            const unsigned c = p[i];
            if (c < 0x80) {
                *o++ = static_cast<char>(c);
                ++i;
                continue;
            }
            if (c == kEuroByte) {
                // Three bytes out for one in: make room for the rest at the
                // usual rate as well.
                const std::size_t at = static_cast<std::size_t>(o - out.data());
                const std::size_t need = at + kEuro.size() + (n - i) + (n - i) / 2 + 4;
                if (out.size() < need) {
                    out.resize(need);
                    o = out.data() + at;
                }
                o = std::copy(kEuro.begin(), kEuro.end(), o);
                ++i;
                continue;
            }
            if (c < kLeadFirst || c > kLeadLast || i + 1 >= n)
                return false;
            const unsigned t = p[i + 1];
            if (t < kTrailFirst || t > kTrailLast)
                return false;
            const char16_t u = m_table[(c - kLeadFirst) * kTrails + (t - kTrailFirst)];
            if (u < 0x80)
                return false; // no entry
            o = encodeUtf8(u, o);
            i += 2;
        }
        out.resize(static_cast<std::size_t>(o - out.data()));
        return true;
    }

private:
    char16_t m_table[(kLeadLast - kLeadFirst + 1) * kTrails] = {};
    bool m_ready = false;
};

} // namespace

std::string fromGb18030(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::string(bytes);
    static const TwoByteGb18030 table;
    std::string out;
    if (table.decode(bytes, out))
        return out;
    // The converter, between the lone 80 bytes that stand for the euro sign.
    // A character starts with an ASCII byte, a lead byte with its trail (30
    // to 39 begins a four-byte form) or a byte that is invalid on its own.
    out.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t segment = 0;
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        if (c == kEuroByte) {
            out += convertCharset(bytes.substr(segment, i - segment), kCharsetGb18030, kCharsetUtf8);
            out += kEuro;
            segment = ++i;
        } else if (c > 0x80 && c < 0xFF && i + 1 < n) {
            const unsigned t = p[i + 1];
            i += (t >= 0x30 && t <= 0x39 && i + 3 < n) ? 4 : (t >= 0x40 && t != 0x7F && t != 0xFF) ? 2 : 1;
        } else {
            ++i;
        }
    }
    out += convertCharset(bytes.substr(segment), kCharsetGb18030, kCharsetUtf8);
    return out;
}

bool looksLikeUtf8(std::string_view bytes, const EventPump &pump)
{
    // Strictly well-formed: a GBK text such as C1 A6 C1 BF fits the bare bit
    // patterns of UTF-8 and must not be taken for it.
    constexpr std::size_t kPumpEvery = 64 * 1024;
    if (isAscii(bytes))
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t start = 0; start < n;) {
        if (start > 0)
            varnel::pump(pump);
        std::size_t end = std::min(n, start + kPumpEvery);
        // Pieces end where a character starts.
        while (end < n && end > start && (p[end] & 0xC0) == 0x80)
            --end;
        if (end == start || !isValidUtf8(bytes.substr(start, end - start)))
            return false;
        start = end;
    }
    return true;
}

bool readsAsGb2312(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] >= 0xE0 && p[i] <= 0xEF)
            return false;
    }
    // Letters of the text itself: not of markup (<p>) or entities (&nbsp;).
    bool asciiLetter = false, latin1 = false, inTag = false, inEntity = false;
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        if (c < 0x80) {
            const bool letter = (c | 0x20u) >= 'a' && (c | 0x20u) <= 'z';
            if (c == '<')
                inTag = true;
            else if (c == '>')
                inTag = false;
            else if (c == '&')
                inEntity = true;
            else if (inEntity && !letter && !(c >= '0' && c <= '9') && c != '#')
                inEntity = false;
            asciiLetter = asciiLetter || (letter && !inTag && !inEntity);
            ++i;
            continue;
        }
        inEntity = false;
        const bool lead = (c >= 0xA1 && c <= 0xA9) || (c >= 0xB0 && c <= 0xF7);
        if (!lead || i + 1 >= n || p[i + 1] < 0xA1 || p[i + 1] > 0xFE)
            return false;
        // C2 and C3 lead UTF-8's Latin-1 letters and signs (é, ©).
        latin1 = latin1 || c == 0xC2 || c == 0xC3;
        i += 2;
    }
    // With ASCII words in the text those are Latin text ("Café", "© 2024 Acme").
    return !(asciiLetter && latin1);
}

std::optional<std::string> repairedUtf8(std::string_view bytes, const EventPump &pump)
{
    constexpr std::size_t kMinSequences = 64;
    constexpr std::size_t kPumpEvery = 64 * 1024;
    const std::size_t allowed = bytes.size() / 1000;
    std::size_t sequences = 0, bad = 0;
    std::string out;
    out.reserve(bytes.size() + 16);
    for (std::size_t i = 0, nextPump = kPumpEvery; i < bytes.size();) {
        if (i >= nextPump) {
            varnel::pump(pump);
            nextPump += kPumpEvery;
        }
        const std::size_t length = validUtf8SequenceAt(bytes, i);
        if (length == 0) {
            if (++bad > allowed)
                return std::nullopt; // most texts in other encodings end here, early
            out += kReplacement;
            ++i;
            continue;
        }
        sequences += length > 1;
        out.append(bytes.substr(i, length));
        i += length;
    }
    if (bad == 0 || sequences < kMinSequences)
        return std::nullopt;
    return out;
}

bool isValidUtf8(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // ASCII runs eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        auto cont = [&](std::size_t k) { return i + k < n && (p[i + k] & 0xC0) == 0x80; };
        if (c >= 0xC2 && c <= 0xDF) {
            if (!cont(1))
                return false;
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (!cont(1) || !cont(2))
                return false;
            const unsigned c1 = p[i + 1];
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F))
                return false; // overlong, or a surrogate
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (!cont(1) || !cont(2) || !cont(3))
                return false;
            const unsigned c1 = p[i + 1];
            if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
                return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::size_t validUtf8SequenceAt(std::string_view bytes, std::size_t at)
{
    if (at >= bytes.size())
        return 0;
    const auto c = static_cast<unsigned char>(bytes[at]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xF4 ? utf8SequenceLength(c) : 0;
    if (length == 0 || length > bytes.size() - at)
        return 0;
    return isValidUtf8(bytes.substr(at, length)) ? length : 0;
}

std::string wellFormedUtf8(std::string_view bytes, bool *replaced)
{
    std::string out;
    out.reserve(bytes.size());
    bool any = false;
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t n = validUtf8SequenceAt(bytes, i)) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += kReplacement;
            any = true;
            ++i;
        }
    }
    if (replaced)
        *replaced = any;
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    if (utf8.empty())
        return out;
    out.resize(utf8.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()), &length, utf8.data(),
        static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    if (utf16.empty())
        return out;
    out.resize(utf16.size() * 3);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
        reinterpret_cast<const UChar *>(utf16.data()), static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::size_t codePointCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

} // namespace varnel
