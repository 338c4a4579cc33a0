#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// A MySQL column type as the program numbers it: the client library's field
// type for the basic types, 101/102 for the one-byte integers, 252xx and
// 254xx for the text, blob and string kinds.
using ColumnTypeCode = int;

inline constexpr ColumnTypeCode kTypeDecimal = 0;
inline constexpr ColumnTypeCode kTypeDatetime = 12;
inline constexpr ColumnTypeCode kTypeDate = 10;
inline constexpr ColumnTypeCode kTypeTime = 11;
inline constexpr ColumnTypeCode kTypeBigint = 8;
inline constexpr ColumnTypeCode kTypeTinytext = 25202;
inline constexpr ColumnTypeCode kTypeText = 25203;
inline constexpr ColumnTypeCode kTypeMediumtext = 25206;
inline constexpr ColumnTypeCode kTypeVarchar = 253;

// The offered types as one text: "\r\n" then "[code]label\r\n" per type, each
// label ending with the SQL type name in parentheses.
extern const std::string_view kColumnTypeList;

// The labels in list order (the items of the table window's type box).
std::vector<std::string> columnTypeLabels();

// "varchar" for "变长字符串(varchar)".
std::string sqlNameOfLabel(std::string_view label);
// 253 for "varchar"; 0 when the name is not listed. The whole parenthesised
// name must match, so "int" does not hit "(mediumint)".
ColumnTypeCode typeCodeOfSqlName(std::string_view sqlName);
// "变长字符串(varchar)" for 253; empty when the code is not listed.
std::string typeLabelOfCode(ColumnTypeCode code);
// The SQL type name of a code, or nothing for a code not in the list.
std::optional<std::string> sqlNameOfCode(ColumnTypeCode code);
// True for the types that carry a length or a value list (varchar, enum, set).
bool takesLengthOrValues(std::string_view label);

} // namespace varnel
