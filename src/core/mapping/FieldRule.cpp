#include "mapping/FieldRule.h"

#include "text/TextUtil.h"

#include <charconv>
#include <cstdint>

namespace varnel {

const std::vector<std::string> &dataSourceLabels()
{
    static const std::vector<std::string> labels = {"文件主名", "文件内容", "网页标题", "内容摘要", "文件时间",
        "随机汉字", "随机数母", "随机时间", "随机词组", "父目录名", "固定文本", "时间戳", "递进数字"};
    return labels;
}

std::string_view labelOf(DataSource source)
{
    return dataSourceLabels()[static_cast<std::size_t>(source)];
}

std::optional<DataSource> dataSourceOfLabel(std::string_view label)
{
    const auto &labels = dataSourceLabels();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (labels[i] == label)
            return static_cast<DataSource>(i);
    }
    return std::nullopt;
}

std::vector<std::string> splitOptions(std::string_view cell, std::size_t count)
{
    std::vector<std::string> options = splitText(cell, kOptionSeparator);
    options.resize(count);
    return options;
}

std::string joinOptions(const std::vector<std::string> &options)
{
    std::string out;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (i > 0)
            out += kOptionSeparator;
        out += options[i];
    }
    return out;
}

namespace {

// Sign and digits from the start of text into magnitude; false when the
// magnitude leaves 64 bits (magnitude then stops at the limit). `end` is
// where the digits stop.
bool readMagnitude(std::string_view text, bool &negative, std::uint64_t &magnitude, std::size_t &end)
{
    std::size_t i = 0;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // -9223372036854775808 has no positive twin.
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : std::uint64_t(INT64_MAX);
    magnitude = 0;
    bool fits = true;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (!fits)
            continue;
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            fits = false;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    end = i;
    return fits;
}

std::int64_t signedValue(bool negative, std::uint64_t magnitude)
{
    if (!negative)
        return static_cast<std::int64_t>(magnitude);
    return magnitude == std::uint64_t(1) << 63 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
}

} // namespace

std::int64_t optionInteger(std::string_view text)
{
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::size_t end = 0;
    readMagnitude(text, negative, magnitude, end);
    return signedValue(negative, magnitude);
}

std::optional<std::int64_t> canonicalInteger(std::string_view text)
{
    std::int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || std::to_string(v) != text)
        return std::nullopt;
    return v;
}

std::optional<std::int64_t> wholeNumber(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::size_t end = 0;
    const bool fits = readMagnitude(text, negative, magnitude, end);
    const std::size_t digitsFrom = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (!fits || end == digitsFrom || end != text.size())
        return std::nullopt;
    return signedValue(negative, magnitude);
}

} // namespace varnel
