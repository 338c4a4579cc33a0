#pragma once

#include "mysql/Quoting.h"
#include "transfer/InsertRow.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class MySqlConnection;

// The key column of an import: a column whose value identifies an article, so
// that an article the table holds already is not stored twice.
struct KeyColumn {
    std::string database;
    Identifier table;
    Identifier column;
    // The column leads an index: keys are found through it. Without one a
    // lookup costs one scan of the table.
    bool indexed = false;
    bool unique = false; // the index refuses a second row of the same key
};

// Whether the column leads an index of the table (and whether a unique one);
// nothing when the server could not say.
std::optional<KeyColumn> describeKeyColumn(
    MySqlConnection &db, const std::string &database, const Identifier &table, const Identifier &column);

// Why a file is not stored in a run with a key.
inline constexpr std::string_view kBlankKey = "唯一键的值为空";
inline constexpr std::string_view kLossyKey =
    "唯一键的值含有无法识别的字节（文件名不是有效的 UTF-8 或 GBK 编码），不能区分文章";

// What a lookup found of one key.
enum class KeyFound : char {
    No, // neither in the table nor earlier in the same lookup
    InTable,
    Repeated, // not in the table, but equal to an earlier key of the same lookup
};

// Decides whether the table holds a row's key, and what that means for the
// row: sent, found stored, its values replacing the stored ones, or later.
//
// Looks keys up as the key column holds them. The server changes some values
// as it stores them (an INT column takes "007" as 7, a CHAR drops trailing
// spaces, a collation may take "Abc" and "abc" for the same), so keys are
// never compared as the bytes a file gave: each is first stored, strictly, in
// a temporary table whose one column is made from the key column itself (its
// type, character set and collation), and the stored values are compared
// with the table's by the server, as a unique index on the column compares
// them. A key the column cannot hold is not found (its row will be refused).
// The table is looked into once per lookup: through the column's index when
// it has one, otherwise in one scan. Every statement names the temporary
// table once (MySQL cannot open one twice in a statement).
class KeyLookup {
public:
    // statementBytes: how long a statement may be (the server's packet limit
    // with room to spare).
    KeyLookup(KeyColumn key, std::size_t statementBytes);

    const KeyColumn &column() const { return m_key; }

    // The row's value of the key column; empty without one.
    std::string_view keyOf(const InsertRow &row) const;
    // Why the row cannot be stored with this key (no value, or one from an
    // unreadable file name, which cannot tell files apart); empty when it can.
    std::string_view refusal(const InsertRow &row) const;

    // What becomes of a row whose key a lookup answered so.
    enum class Decision {
        Send,
        Exists, // the table holds it: not sent
        Replace, // the table holds it and the file changed: its values replace the row's
        Later, // an earlier row of the same key decides: it waits for that one's outcome
    };
    static Decision decide(KeyFound found, const InsertRow &row);

    // One answer per key, in their order. Nothing when a statement failed;
    // the connection's lastError() says why.
    std::optional<std::vector<KeyFound>> lookUp(MySqlConnection &db, const std::vector<std::string_view> &keys);

    // A condition that holds for the table's rows of the key at `index` of
    // the last lookUp() on this connection (before the next one).
    std::string rowsOfKey(std::size_t index) const;

    // Drops the temporary table, when the session that has it is still open.
    void release(MySqlConnection &db);

private:
    bool prepare(MySqlConnection &db);
    bool store(MySqlConnection &db, const std::vector<std::string_view> &keys, std::vector<char> &held);

    KeyColumn m_key;
    std::size_t m_statementBytes;
    std::string m_probe; // `database`.`the temporary table`
    std::uint64_t m_session = 0; // the connection's session the table lives in; 0: none
};

} // namespace varnel
