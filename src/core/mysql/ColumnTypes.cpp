#include "mysql/ColumnTypes.h"

#include "text/TextBetween.h"
#include "text/TextUtil.h"

#include <charconv>

namespace varnel {

const std::string_view kColumnTypeList = "\r\n"
                                         "[0]小数(decimal)\r\n"
                                         "[101]字节(tinyint)\r\n"
                                         "[102]逻辑(bool)\r\n"
                                         "[2]短整数(smallint)\r\n"
                                         "[3]整数(int)\r\n"
                                         "[9]中等整数(mediumint)\r\n"
                                         "[8]长整数(bigint)\r\n"
                                         "[4]单精度小数(float)\r\n"
                                         "[5]双精度小数(double)\r\n"
                                         "[7]时间戳(timestamp)\r\n"
                                         "[12]日期与时间(datetime)\r\n"
                                         "[10]日期(date)\r\n"
                                         "[11]时间(time)\r\n"
                                         "[13]年份(year)\r\n"
                                         "[25202]短文本(tinytext)\r\n"
                                         "[25203]文本(text)\r\n"
                                         "[25206]中等文本(mediumtext)\r\n"
                                         "[25208]长文本(longtext)\r\n"
                                         "[25403]字符串(char)\r\n"
                                         "[253]变长字符串(varchar)\r\n"
                                         "[25201]短字节集(tinyblob)\r\n"
                                         "[25204]字节集(blob)\r\n"
                                         "[25205]中等字节集(mediumblob)\r\n"
                                         "[25207]长字节集(longblob)\r\n"
                                         "[25401]枚举(enum)\r\n"
                                         "[25402]集合(set)\r\n";

std::vector<std::string> columnTypeLabels()
{
    std::vector<std::string> labels;
    for (const std::string &entry : splitText(kColumnTypeList, "\r\n")) {
        const auto close = entry.find(']');
        if (!entry.empty() && close != std::string::npos)
            labels.push_back(entry.substr(close + 1));
    }
    return labels;
}

std::string sqlNameOfLabel(std::string_view label)
{
    return TextBetween(label, "(", ")");
}

ColumnTypeCode typeCodeOfSqlName(std::string_view sqlName)
{
    const std::string needle = "(" + std::string(sqlName) + ")";
    const auto at = kColumnTypeList.find(needle);
    if (sqlName.empty() || at == std::string_view::npos)
        return 0;
    const auto lineStart = kColumnTypeList.rfind("\r\n", at);
    const std::string_view entry = kColumnTypeList.substr(lineStart + 2, at - lineStart - 2);
    const std::string code = TextBetween(entry, "[", "]");
    ColumnTypeCode value = 0;
    std::from_chars(code.data(), code.data() + code.size(), value);
    return value;
}

std::string typeLabelOfCode(ColumnTypeCode code)
{
    const std::string head = "[" + std::to_string(code) + "]";
    const auto at = kColumnTypeList.find(head);
    if (at == std::string_view::npos)
        return {};
    const auto start = at + head.size();
    const auto end = kColumnTypeList.find("\r\n", start);
    return std::string(kColumnTypeList.substr(start, end - start));
}

std::optional<std::string> sqlNameOfCode(ColumnTypeCode code)
{
    const std::string label = typeLabelOfCode(code);
    if (label.empty())
        return std::nullopt;
    return sqlNameOfLabel(label);
}

bool takesLengthOrValues(std::string_view label)
{
    return label.find("varchar") != std::string_view::npos || label.find("enum") != std::string_view::npos
        || label.find("set") != std::string_view::npos;
}

} // namespace varnel
