#include "text/Charset.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstring>
#include <map>
#include <memory>

namespace varnel {
namespace {

struct ConverterCloser
{
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

std::string fromGb18030(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::string(bytes);
    return convertCharset(bytes, kCharsetGb18030, kCharsetUtf8);
}

bool looksLikeUtf8(std::string_view bytes, const EventPump &pump)
{
    constexpr std::size_t kPumpEvery = 64 * 1024;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    auto continuation = [&](std::size_t i) { return (p[i] & 0xC0) == 0x80; };
    bool sawNonAscii = false;
    std::size_t nextPump = kPumpEvery;
    std::size_t i = 0;
    while (i < n) {
        if (i >= nextPump) {
            varnel::pump(pump);
            nextPump = i + kPumpEvery;
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        sawNonAscii = true;
        if ((c & 0xE0) == 0xC0 && i + 1 < n && continuation(i + 1)) {
            i += 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n && continuation(i + 1) && continuation(i + 2)) {
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4 && i + 3 < n && continuation(i + 1) && continuation(i + 2)
                   && continuation(i + 3)) {
            i += 4;
        } else {
            return false;
        }
    }
    return sawNonAscii;
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    if (utf8.empty())
        return out;
    out.resize(utf8.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()), &length,
                         utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
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
                       reinterpret_cast<const UChar *>(utf16.data()), static_cast<int32_t>(utf16.size()), 0xFFFD,
                       nullptr, &status);
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
