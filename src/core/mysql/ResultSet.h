#pragma once

#include "mysql/ColumnInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct st_mysql_res MYSQL_RES;

namespace varnel {

// All rows of one statement, fetched to the client, with a row cursor. The
// cursor designates the row nextRow passes over next and readField reads.
class ResultSet {
public:
    explicit ResultSet(MYSQL_RES *result);
    ~ResultSet();
    ResultSet(const ResultSet &) = delete;
    ResultSet &operator=(const ResultSet &) = delete;

    std::uint64_t rowCount() const { return m_rows.size(); }
    unsigned fieldCount() const { return static_cast<unsigned>(m_names.size()); }
    bool fieldName(int index, std::string &name) const;
    const std::vector<std::string> &fieldNames() const { return m_names; }

    // uniqueKey marks a column that is a unique key by itself (the server
    // marks only those). binary marks a column of bytes rather than text:
    // a string, blob, bit or geometry column in the binary character set
    // (numbers and dates are sent in it too, and are not bytes).
    const std::vector<ColumnInfo> &columns() const { return m_columns; }
    std::size_t columnCount() const { return m_columns.size(); }

    // Cell access that leaves the cursor alone (a table model reads cells in
    // any order). cellBytes gives all bytes, NULs included, and stays valid
    // until the set is freed; empty for NULL or out of range.
    std::string_view cellBytes(std::uint64_t row, std::size_t column) const;
    // As readField reads it: cut at the first NUL.
    std::string cell(std::uint64_t row, std::size_t column) const;
    bool cellIsNull(std::uint64_t row, std::size_t column) const;

    bool seekRow(std::uint64_t row);
    bool nextRow();
    std::uint64_t cursor() const { return m_cursor; }

    // By name (exact, first match) or by 0-based index (fraction dropped).
    // Past the last row the last row is read; NULL reads as empty text.
    bool readField(std::string_view name, std::string &value) const;
    bool readField(double index, std::string &value) const;
    // NULL is told apart here; readField cannot.
    bool isNull(int index) const;

    // Releases the rows; the set is empty afterwards.
    void free();

private:
    struct Row {
        char **values;
        unsigned long *lengths;
    };
    bool readAt(int index, std::string &value) const;

    struct Freer {
        void operator()(MYSQL_RES *r) const;
    };
    std::unique_ptr<MYSQL_RES, Freer> m_result;
    std::vector<std::string> m_names;
    std::vector<ColumnInfo> m_columns;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<unsigned long[]>> m_lengthCopies;
    std::uint64_t m_cursor = 0;
};

// Rows of one statement copied out of the connection as they arrive, so
// that the connection is free for other statements while they are used and
// only the rows kept take memory. A block may keep only the first rows of its
// statement (complete() then says so): the rest were read and dropped.
class RowBlock {
public:
    std::size_t rowCount() const { return m_nulls.size() / (m_columns.empty() ? 1 : m_columns.size()); }
    const std::vector<ColumnInfo> &columns() const { return m_columns; }
    const std::vector<std::string> &fieldNames() const { return m_names; }
    std::size_t columnCount() const { return m_columns.size(); }
    // As ResultSet::fieldName: the name, cut to 255 bytes.
    bool fieldName(int index, std::string &name) const;
    // The first column of exactly this name, or -1.
    int columnIndex(std::string_view name) const;

    // All bytes of a cell, NULs included; empty for NULL or out of range.
    std::string_view cellBytes(std::size_t row, std::size_t column) const;
    // As ResultSet::readField reads it: cut at the first NUL, NULL as empty.
    std::string_view cellText(std::size_t row, std::size_t column) const;
    bool cellIsNull(std::size_t row, std::size_t column) const;

    // Every row of the statement is here.
    bool complete() const { return m_complete; }
    // The bytes of the cells kept.
    std::size_t bytes() const { return m_bytes; }

private:
    friend class MySqlConnection;
    std::vector<std::string> m_names;
    std::vector<ColumnInfo> m_columns;
    std::vector<std::string> m_cells; // row by row
    std::vector<char> m_nulls; // one per cell
    std::size_t m_bytes = 0;
    bool m_complete = true;
};

} // namespace varnel
