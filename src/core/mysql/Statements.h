#pragma once

#include "mysql/ColumnTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One entry of the list given to createTable.
struct ColumnSpec {
    int kind = 1; // 1 column, 2 key
    std::string name;
    ColumnTypeCode typeCode = 0;
    bool allowNull = true;
    std::optional<std::string> defaultValue;
    bool autoIncrement = false;
    int attributes = 0; // 1 length, 2 unsigned, 4 zerofill
    std::string lengthOrValues;
    std::string primaryKey;
    std::string indexColumns;
};

// The exact statement texts. Names, conditions and assignments go in as
// given: no quoting, no backticks, no escaping.
namespace sql {

std::string createDatabase(std::string_view name);
std::string dropDatabase(std::string_view name);
std::string dropTable(std::string_view name);
std::string dropColumn(std::string_view table, std::string_view column);
std::string insertRow(std::string_view table, std::string_view assignments);
std::string deleteRows(std::string_view table, std::string_view condition);
// Nothing when a column's type code is not in the type list.
std::optional<std::string> createTable(std::string_view table, const std::vector<ColumnSpec> &columns);

// Accounts, for servers where mysql.user is a table and GRANT … IDENTIFIED BY
// exists.
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
