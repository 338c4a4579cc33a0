#pragma once

#include "mysql/Quoting.h"
#include "mysql/ResultSet.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// The key of a table whose rows are read a chunk at a time, in the order of
// the key's index.
struct ChunkKey {
    std::vector<Identifier> names;
    std::vector<std::size_t> columns; // their places in "select *"
    std::vector<ColumnInfo> info;

    // The key of one row as literals for the next chunk's condition.
    std::vector<std::string> literals(const RowBlock &rows, std::size_t row) const;
};

// The key the rows are read by, from the table's keys (SHOW KEYS) and its
// columns (a result without rows): the primary key, else the first unique
// key of NOT NULL columns, made of whole columns (not a prefix) of types
// whose text the server compares as the column does. A table without one
// (or a view, which has no keys) gets nothing and is read whole, as one
// result: reading it in chunks by LIMIT and OFFSET would sort the whole
// table again for every chunk, and an ORDER BY of all its columns sorts long
// texts by their first bytes only, so rows could be read twice or never.
std::optional<ChunkKey> chooseChunkKey(const RowBlock &keys, const RowBlock &shape);

// The rows of the next chunk after one of `rows` rows and `bytes` bytes of
// cells was read with a limit of `limit` rows: as many as fit in `maxBytes`
// by this chunk's average, at most twice as many as this time and never
// more than `maxRows`; when the budget cut the chunk short (`complete`
// false), the rows that fitted. At least one.
std::size_t nextChunkRows(
    bool complete, std::size_t rows, std::size_t bytes, std::size_t limit, std::size_t maxRows, std::size_t maxBytes);

// One pass over a table's rows. With a key the rows come in chunks by the
// key, of at most `maxRows` rows and about `maxBytes` of cells (at least one
// row), so the table is never held whole; without one the table is read
// whole. The database is selected again before each chunk, so statements of
// other windows between chunks never redirect the walk. A connection lost
// under a read is restored (on the next server of a list) and the read made
// again.
class TableWalk {
public:
    TableWalk(MySqlConnection &db, std::string database, Identifier table, std::optional<ChunkKey> key,
        std::size_t maxRows, std::size_t maxBytes);

    bool keyed() const { return m_key.has_value(); }

    // The table's rows as the server counts them now; none when the count
    // could not be read (the connection's last error tells why).
    std::optional<std::int64_t> countRows();

    // The next chunk; null when it could not be read (the connection's last
    // error tells why).
    std::unique_ptr<RowBlock> fetch();
    // Once a chunk's rows are handled: whether more may follow. False when
    // the walk has seen the last row (walked() then tells so).
    bool moveOn(const RowBlock &rows);
    // Every row of the table was read.
    bool walked() const { return m_walked; }
    // Why the last read failed when connecting again failed too (the
    // connection is closed then); empty otherwise.
    const std::string &failure() const { return m_failure; }

private:
    std::unique_ptr<RowBlock> fetchOnce();
    bool restored();

    MySqlConnection &m_db;
    std::string m_database;
    Identifier m_table;
    std::optional<ChunkKey> m_key;
    std::size_t m_maxRows, m_maxBytes;
    std::size_t m_chunkRows;
    std::vector<std::string> m_after; // the key of the last row read
    bool m_walked = false;
    std::string m_failure;
};

} // namespace varnel
