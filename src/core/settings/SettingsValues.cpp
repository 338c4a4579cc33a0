#include "settings/SettingsStore.h"

#include "text/Charset.h"
#include "text/TextUtil.h"

#include <charconv>
#include <cmath>

namespace varnel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// "┊*┊": a line break inside a stored text.
constexpr std::string_view kLineBreakMark = "┊*┊";

const std::string &gbTrue()
{
    static const std::string t = toGb18030("真");
    return t;
}

const std::string &gbFalse()
{
    static const std::string f = toGb18030("假");
    return f;
}

} // namespace

// Typed values as stored: text as GB18030 with its line breaks marked, numbers
// in "%.13g", booleans as 真 and 假. An empty stored value reads as the default.

bool SettingsStore::writeText(std::string_view key, std::string_view value)
{
    return writeEntry(key, toGb18030(replaceAll(value, kCrLf, kLineBreakMark)));
}

std::string SettingsStore::readText(std::string_view key, std::string_view defaultValue)
{
    const std::string raw = readEntry(key, {});
    if (raw.empty())
        return std::string(defaultValue);
    return replaceAll(fromGb18030(raw), kLineBreakMark, kCrLf);
}

std::optional<std::string> SettingsStore::readStoredText(std::string_view key)
{
    const std::optional<std::string> raw = storedEntry(key);
    if (!raw)
        return std::nullopt;
    return replaceAll(fromGb18030(*raw), kLineBreakMark, kCrLf);
}

std::string SettingsStore::formatNumber(double value)
{
    char buffer[64];
    // Locale-free equivalent of "%.13g".
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

double SettingsStore::parseNumber(std::string_view text)
{
    // The longest leading part that is a decimal number: sign, digits,
    // point, digits, exponent.
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digits = [&] {
        const std::size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t count = digits();
    if (i < n && text[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return 0;
    std::size_t end = i;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() > 0)
            end = i;
    }
    double value = 0;
    const auto result = std::from_chars(text.data() + mantissaStart, text.data() + end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Huge exponents saturate; tiny ones vanish.
        const std::string_view part = text.substr(mantissaStart, end - mantissaStart);
        const auto e = part.find_first_of("eE");
        value = (e != npos && part.substr(e + 1).starts_with('-')) ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

bool SettingsStore::writeNumber(std::string_view key, double value)
{
    return writeEntry(key, formatNumber(value));
}

double SettingsStore::readNumber(std::string_view key, double defaultValue)
{
    const std::string raw = readEntry(key, {});
    return parseNumber(raw.empty() ? formatNumber(defaultValue) : raw);
}

bool SettingsStore::writeBool(std::string_view key, bool value)
{
    return writeEntry(key, value ? gbTrue() : gbFalse());
}

bool SettingsStore::readBool(std::string_view key, bool defaultValue)
{
    const std::string raw = readEntry(key, {});
    return raw.empty() ? defaultValue : raw == gbTrue();
}

} // namespace varnel
