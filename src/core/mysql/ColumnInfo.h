#pragma once

#include <string>

namespace varnel {

// Field type numbers of ColumnInfo::type that callers tell apart, as the
// client library numbers them (the protocol's own numbers).
namespace fieldtype {
inline constexpr unsigned kDecimal = 0, kTiny = 1, kShort = 2, kLong = 3, kFloat = 4, kDouble = 5, kLongLong = 8,
                          kInt24 = 9, kYear = 13, kBit = 16, kNewDecimal = 246;
inline constexpr unsigned kTimestamp = 7, kDate = 10, kTime = 11, kDateTime = 12, kNewDate = 14, kVarChar = 15,
                          kVarString = 253, kString = 254;
// ColumnInfo::flags of the column types that the server sends as strings.
inline constexpr unsigned kEnumFlag = 256, kSetFlag = 2048;
} // namespace fieldtype

// What the server tells about one column of a result.
struct ColumnInfo {
    std::string name; // as the result names it
    std::string orgName; // the table's own column name ("" for an expression)
    std::string orgTable;
    unsigned type = 0; // the client library's field type number
    unsigned flags = 0;
    unsigned charset = 0; // 63: binary
    bool primaryKey = false, uniqueKey = false, notNull = false, binary = false, numeric = false;
};

} // namespace varnel
