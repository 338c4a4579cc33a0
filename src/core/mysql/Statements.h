#pragma once

#include "mysql/ColumnTypes.h"
#include "mysql/Quoting.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One entry of the list given to createTable.
struct ColumnSpec {
    int kind = 1; // 1 column, 2 key
    std::string name; // as given; the statement quotes it
    ColumnTypeCode typeCode = 0;
    bool allowNull = true;
    std::optional<std::string> defaultValue;
    bool autoIncrement = false;
    int attributes = 0; // 1 length, 2 unsigned, 4 zerofill
    std::string lengthOrValues;
    std::string primaryKey;
    std::string indexColumns;
};

// The exact statement texts. Names go in as identifiers and values as escaped
// literals; conditions and assignments are statement text and go in as given.
namespace sql {

// What follows the column list of a table this program creates: the table
// keeps every character in its own text columns, whatever the database's
// default.
inline constexpr std::string_view kUtf8mb4TableOptions = "DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci";

std::string createDatabase(const Identifier &name);
std::string dropDatabase(const Identifier &name);
std::string dropTable(const Identifier &name);
std::string dropColumn(const Identifier &table, const Identifier &column);
std::string insertRow(const Identifier &table, std::string_view assignments);
std::string deleteRows(const Identifier &table, std::string_view condition);
std::string renameTable(const Identifier &from, const Identifier &to);
std::string describeTable(const Identifier &table);
std::string selectAll(const Identifier &table);
std::string countRows(const Identifier &table);
// The table's columns without its rows (names and types only).
std::string selectNoRows(const Identifier &table);
// The table's indexes, a row per indexed column.
std::string showKeys(const Identifier &table);
// Up to `limit` rows in the order of a unique key, after the row whose key
// was `after` (literals, one per key column; empty: from the first row).
// A key of several columns compares them in order, as the index sorts them.
std::string selectAfterKey(const Identifier &table, const std::vector<Identifier> &key,
    const std::vector<std::string> &after, std::size_t limit);
// Makes utf8mb4 the database's default, the connection's only character set.
std::string databaseCharset(const Identifier &database);
// Nothing when a column's type code is not in the type list. Column names are
// quoted as identifiers and defaults escaped as literals; key and index
// column lists are statement text.
std::optional<std::string> createTable(const Identifier &table, const std::vector<ColumnSpec> &columns);

// Accounts, for servers where mysql.user is a table and GRANT … IDENTIFIED BY
// exists. User, host, password, and database and table names compared with
// the grant tables, go in as escaped literals; GRANT targets as grantName()
// gives them.
enum PrivilegeBit : int {
    PrivSelect = 1,
    PrivInsert = 2,
    PrivUpdate = 4,
    PrivDelete = 8,
    PrivIndex = 16,
    PrivAlter = 32,
    PrivCreate = 64,
    PrivDrop = 128,
    PrivReferences = 256,
    PrivReload = 512,
    PrivShutdown = 1024,
    PrivProcess = 2048,
    PrivFile = 4096,
    PrivAll = 8192,
};
// An empty host stands for "%".
std::string accountHost(std::string_view host);
// 'user'@'host', both escaped.
std::string account(std::string_view user, std::string_view host);
std::string userExistsQuery(std::string_view host, std::string_view user);
// The names of the set bits among 1 .. 4096, in table order.
std::vector<std::string> privilegeNames(int mask);
// The names of the nine privileges that have a column, set and unset.
std::vector<std::string> columnPrivilegeNames(int mask, bool set);
std::string grantStatement(std::string_view host, std::string_view user, std::string_view password,
    std::string_view database, std::string_view table, int mask);
// "ON *.* TO ", "ON d.* TO " or "ON d.t TO " without the words.
std::string grantTarget(std::string_view database, std::string_view table);
std::vector<std::string> deleteUserStatements(std::string_view user, std::string_view host);
// Sent after the grant tables were written directly, so the server takes
// the change at once.
std::string flushPrivileges();
// A privileges box's text as a PrivilegeBit mask: its leading decimal
// digits, 0 when there are none.
int privilegeMaskFromText(std::string_view text);

// setUserPrivileges: an optional existence check and the statement for
// either answer (the same one when there is no check).
struct PrivilegeStatements {
    std::string check; // empty: none
    std::string ifExists;
    std::string otherwise;
};
std::optional<PrivilegeStatements> setPrivilegesStatements(
    std::string_view user, std::string_view host, std::string_view database, std::string_view table, int mask);

} // namespace sql
} // namespace varnel
