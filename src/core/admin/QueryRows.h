#pragma once

#include "mysql/ColumnInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class MySqlConnection;
class ResultSet;

// The rows one statement gave, kept as the server sent them and read where
// they lie: a list of 100,000 rows shows without a copy. Shared between a
// list and the loops that copy or delete its rows, so rows a loop still reads
// outlive a list that moved on.
class QueryRows {
public:
    explicit QueryRows(std::unique_ptr<ResultSet> rows);
    ~QueryRows();
    QueryRows(const QueryRows &) = delete;
    QueryRows &operator=(const QueryRows &) = delete;

    std::uint64_t rowCount() const;
    std::size_t columnCount() const;
    const std::vector<ColumnInfo> &columns() const;
    // The text of a cell, cut at its first NUL; NULL reads as empty text.
    std::string cell(std::uint64_t row, std::size_t column) const;
    bool cellIsNull(std::uint64_t row, std::size_t column) const;

    const ResultSet &resultSet() const { return *m_rows; }

private:
    std::unique_ptr<ResultSet> m_rows;
};

// One statement as a person typed it, and what came of it.
struct StatementRun {
    bool ok = false;
    // Its rows; none for a statement that returns no rows.
    std::shared_ptr<const QueryRows> rows;
    // Why it failed, as failureReason reads it ("" when it did not).
    std::string failure;
};
StatementRun runStatement(MySqlConnection &db, std::string_view statement);

// What the record viewer shows of a table: its fields (DESCRIBE) or its
// records (SELECT *). The database is selected first, whatever another window
// selected meanwhile. Nothing when the table cannot be read.
enum class TableView { Fields, Records };
std::shared_ptr<const QueryRows> readTableView(
    MySqlConnection &db, std::string_view database, std::string_view table, TableView view);

} // namespace varnel
