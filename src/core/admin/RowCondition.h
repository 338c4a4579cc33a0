#pragma once

#include "mysql/ResultSet.h"

#include <cstdint>
#include <string>

namespace varnel {

// The WHERE condition (without the word) that picks exactly this row of the
// result from its table: "delete from `t` where " + condition + "  LIMIT 1"
// deletes it and nothing else.
//
// When the result holds columns of the table's primary key, only those are
// compared; else, when it holds a NOT NULL column that is a unique key by
// itself, only that one; else every column. The server marks each column of
// the primary key but not how many there are, so a result that leaves out
// part of a composite primary key is taken as holding all of it.
//
// Each term is "`column` <=> value" (the table's own column name, when the
// server gives it), joined by " AND ":
//  - NULL: NULL;
//  - a column of bytes (ColumnInfo::binary): a hex literal x'…' of all its
//    bytes ('' when empty); a bit column: its value as an unsigned number;
//  - an integer or decimal column: the number as sent, bare (compared
//    exactly, where a quoted value would be compared as a double);
//  - a FLOAT or DOUBLE column: the column's text against the text sent,
//    "CONCAT(`column`) <=> '…'", since the text sent need not be the exact
//    binary value;
//  - anything else: the value as a quoted literal of all its bytes; when every
//    column is compared, a text column is compared COLLATE utf8mb4_bin, so
//    that of rows that differ only in letter case the right one is picked.
std::string rowCondition(const ResultSet &result, std::uint64_t row);

} // namespace varnel
