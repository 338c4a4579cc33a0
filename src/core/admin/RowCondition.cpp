#include "admin/RowCondition.h"

#include "mysql/Quoting.h"

#include <vector>

namespace varnel {
namespace {

constexpr unsigned kBinaryCharset = 63;

bool isInteger(unsigned type)
{
    switch (type) {
    case fieldtype::kTiny:
    case fieldtype::kShort:
    case fieldtype::kLong:
    case fieldtype::kInt24:
    case fieldtype::kLongLong:
    case fieldtype::kYear:
        return true;
    default:
        return false;
    }
}

bool isExactNumber(unsigned type)
{
    return isInteger(type) || type == fieldtype::kDecimal || type == fieldtype::kNewDecimal;
}

// An optional minus sign, digits, and optionally a point and more digits:
// a literal the server reads as exactly this number.
bool isPlainNumber(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++digits;
    if (digits == 0)
        return false;
    if (i == text.size())
        return true;
    if (text[i] != '.')
        return false;
    ++i;
    digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++digits;
    return digits > 0 && i == text.size();
}

std::string hexLiteral(std::string_view bytes)
{
    if (bytes.empty())
        return "''";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "x'";
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    out += '\'';
    return out;
}

// A bit column's bytes, most significant first, as an unsigned number.
std::string bitValue(std::string_view bytes)
{
    std::uint64_t value = 0;
    for (char c : bytes)
        value = (value << 8) | static_cast<unsigned char>(c);
    return std::to_string(value);
}

std::string term(
    const ColumnInfo &column, const ResultSet &result, std::uint64_t row, std::size_t index, bool everyColumn)
{
    const std::string name = quoteIdentifier(column.orgName.empty() ? column.name : column.orgName);
    if (result.cellIsNull(row, index))
        return name + " <=> NULL";
    const std::string_view bytes = result.cellBytes(row, index);
    if (column.type == fieldtype::kBit && bytes.size() <= 8)
        return name + " <=> " + bitValue(bytes);
    if (column.binary)
        return name + " <=> " + hexLiteral(bytes);
    if (isExactNumber(column.type) && isPlainNumber(bytes))
        return name + " <=> " + std::string(bytes);
    if (column.type == fieldtype::kFloat || column.type == fieldtype::kDouble)
        return "CONCAT(" + name + ") <=> " + quoteString(bytes);
    std::string t = name + " <=> " + quoteString(bytes);
    if (everyColumn && column.charset != kBinaryCharset)
        t += " COLLATE utf8mb4_bin";
    return t;
}

} // namespace

std::string rowCondition(const ResultSet &result, std::uint64_t row)
{
    const std::vector<ColumnInfo> &columns = result.columns();
    std::vector<std::size_t> picked;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].primaryKey)
            picked.push_back(i);
    }
    if (picked.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].uniqueKey && columns[i].notNull) {
                picked.push_back(i);
                break;
            }
        }
    }
    const bool everyColumn = picked.empty();
    if (everyColumn) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            picked.push_back(i);
    }
    std::string condition;
    for (std::size_t i : picked) {
        if (!condition.empty())
            condition += " AND ";
        condition += term(columns[i], result, row, i, everyColumn);
    }
    return condition;
}

} // namespace varnel
