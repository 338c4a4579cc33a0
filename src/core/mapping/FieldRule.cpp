#include "mapping/FieldRule.h"

#include "text/TextUtil.h"

#include <cstdint>
#include <limits>

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

std::int64_t optionInteger(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max() / 10 - 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > kMax) {
            value = std::numeric_limits<std::int64_t>::max() / 2; // saturated
            break;
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

} // namespace varnel
