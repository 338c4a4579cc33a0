#pragma once

#include <cstdint>
#include <string_view>

namespace varnel {

class MySqlConnection;
class QueryRows;

// Deletes the row of the table that a row of a SELECT * shows, by the
// condition rowCondition builds, LIMIT 1. It counts as deleted only when the
// server changed exactly one row: a row another client changed or deleted
// meanwhile stays, and is not reported as deleted.
bool deleteShownRow(
    MySqlConnection &db, std::string_view database, std::string_view table, const QueryRows &rows, std::uint64_t row);

// Drops the column a row of DESCRIBE names (its first cell).
bool dropShownField(MySqlConnection &db, std::string_view database, std::string_view table, std::string_view field);

} // namespace varnel
