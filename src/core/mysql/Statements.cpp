#include "mysql/Statements.h"

#include "util/AsciiCase.h"

#include <array>
#include <utility>

namespace varnel::sql {
namespace {

constexpr std::array<std::pair<int, const char *>, 13> kPrivilegeNames = {{
    {PrivSelect, "select"},
    {PrivInsert, "insert"},
    {PrivUpdate, "update"},
    {PrivDelete, "delete"},
    {PrivIndex, "index"},
    {PrivAlter, "alter"},
    {PrivCreate, "create"},
    {PrivDrop, "drop"},
    {PrivReferences, "references"},
    {PrivReload, "reload"},
    {PrivShutdown, "shutdown"},
    {PrivProcess, "process"},
    {PrivFile, "file"},
}};

constexpr std::array<const char *, 9> kPrivilegeColumns = {
    "Select_priv=",
    "Insert_priv=",
    "Update_priv=",
    "Delete_priv=",
    "Index_priv=",
    "Alter_priv=",
    "Create_priv=",
    "Drop_priv=",
    "References_priv=",
};

bool oneOf(std::string_view type, std::initializer_list<std::string_view> names)
{
    for (std::string_view n : names) {
        if (type == n)
            return true;
    }
    return false;
}

std::string whereAccount(std::string_view host, std::string_view user)
{
    return " where host=" + quoteString(host) + " and user=" + quoteString(user);
}

} // namespace

std::string createDatabase(const Identifier &name)
{
    return "create database " + name.sql();
}

std::string dropDatabase(const Identifier &name)
{
    return "drop database " + name.sql();
}

std::string dropTable(const Identifier &name)
{
    return "drop table " + name.sql();
}

std::string dropColumn(const Identifier &table, const Identifier &column)
{
    return "ALTER TABLE " + table.sql() + "  DROP " + column.sql();
}

std::string insertRow(const Identifier &table, std::string_view assignments)
{
    return "insert into " + table.sql() + " set " + std::string(assignments);
}

std::string deleteRows(const Identifier &table, std::string_view condition)
{
    std::string s = "delete from " + table.sql();
    if (!condition.empty())
        s += " where " + std::string(condition);
    return s;
}

std::string renameTable(const Identifier &from, const Identifier &to)
{
    return "ALTER TABLE " + from.sql() + " RENAME TO " + to.sql() + ";";
}

std::string describeTable(const Identifier &table)
{
    return "describe " + table.sql() + ";";
}

std::string selectAll(const Identifier &table)
{
    return "select * from " + table.sql() + ";";
}

std::string countRows(const Identifier &table)
{
    return "select count(*) from " + table.sql() + ";";
}

std::string selectNoRows(const Identifier &table)
{
    return "select * from " + table.sql() + " limit 0;";
}

std::string showKeys(const Identifier &table)
{
    return "show keys from " + table.sql() + ";";
}

std::string selectAfterKey(const Identifier &table, const std::vector<Identifier> &key,
    const std::vector<std::string> &after, std::size_t limit)
{
    std::string out = "select * from " + table.sql();
    if (!after.empty() && after.size() == key.size()) {
        // (a, b) > (x, y) written out as a > x or (a = x and b > y), which
        // every server turns into ranges of the key's index.
        out += " where ";
        for (std::size_t i = 0; i < key.size(); ++i) {
            if (i)
                out += " or (";
            for (std::size_t j = 0; j < i; ++j)
                out += key[j].sql() + " = " + after[j] + " and ";
            out += key[i].sql() + " > " + after[i];
            if (i)
                out += ")";
        }
    }
    out += " order by ";
    for (std::size_t i = 0; i < key.size(); ++i)
        out += (i ? ", " : "") + key[i].sql();
    out += " limit " + std::to_string(limit) + ";";
    return out;
}

std::string databaseCharset(const Identifier &database)
{
    return "ALTER DATABASE " + database.sql() + " DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;";
}

std::optional<std::string> createTable(const Identifier &table, const std::vector<ColumnSpec> &columns)
{
    std::vector<std::string> pieces;
    bool autoIncrementGiven = false;
    for (const ColumnSpec &c : columns) {
        if (c.kind == 1) {
            const auto type = sqlNameOfCode(c.typeCode);
            if (!type)
                return std::nullopt;
            pieces.push_back(quoteIdentifier(c.name));
            pieces.push_back(" ");
            pieces.push_back(*type);
            pieces.push_back(" ");
            if (equalsIgnoringAsciiCase(*type, "enum") || equalsIgnoringAsciiCase(*type, "set"))
                pieces.push_back("(" + c.lengthOrValues + ")");
            if ((c.attributes & 1)
                && oneOf(*type,
                    {"tinyint", "smallint", "mediumint", "int", "bigint", "double", "float", "decimal", "char",
                        "varchar"}))
                pieces.push_back(" (" + c.lengthOrValues + ") ");
            const bool numeric =
                oneOf(*type, {"tinyint", "smallint", "mediumint", "int", "bigint", "double", "float", "decimal"});
            if ((c.attributes & 2) && numeric)
                pieces.push_back(" UNSIGNED ");
            if ((c.attributes & 4) && numeric)
                pieces.push_back(" ZEROFILL ");
            if (!c.allowNull)
                pieces.push_back(" NOT NULL ");
            if (c.autoIncrement && !autoIncrementGiven) {
                pieces.push_back("AUTO_INCREMENT");
                autoIncrementGiven = true;
            }
            if (c.defaultValue)
                pieces.push_back(" DEFAULT  " + quoteString(*c.defaultValue) + " ");
            pieces.push_back(",");
        } else if (c.kind == 2) {
            if (!c.primaryKey.empty()) {
                pieces.push_back(" PRIMARY KEY  (" + c.primaryKey + ") ");
                pieces.push_back(", ");
            }
            if (!c.indexColumns.empty()) {
                pieces.push_back(" INDEX  " + c.lengthOrValues + " " + " (" + c.indexColumns + ") ");
                pieces.push_back(", ");
            }
        }
    }
    if (!pieces.empty())
        pieces.pop_back();
    std::string list;
    for (const std::string &p : pieces)
        list += p;
    return "create table " + table.sql() + " (" + list + ")";
}

std::string accountHost(std::string_view host)
{
    return host.empty() ? std::string("%") : std::string(host);
}

std::string account(std::string_view user, std::string_view host)
{
    return quoteString(user) + "@" + quoteString(host);
}

std::string userExistsQuery(std::string_view host, std::string_view user)
{
    return "select * from mysql.user" + whereAccount(host, user);
}

std::vector<std::string> privilegeNames(int mask)
{
    std::vector<std::string> names;
    for (const auto &[bit, name] : kPrivilegeNames) {
        if (mask & bit)
            names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> columnPrivilegeNames(int mask, bool set)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kPrivilegeColumns.size(); ++i) {
        if (((mask & kPrivilegeNames[i].first) != 0) == set)
            names.emplace_back(kPrivilegeNames[i].second);
    }
    return names;
}

std::string grantTarget(std::string_view database, std::string_view table)
{
    if (database.empty() || database.front() == '*')
        return "*.*";
    if (table.empty() || table.front() == '*')
        return grantName(database) + ".*";
    return grantName(database) + "." + grantName(table);
}

std::string grantStatement(std::string_view host, std::string_view user, std::string_view password,
    std::string_view database, std::string_view table, int mask)
{
    std::string s = "GRANT ";
    if (mask == 0) {
        s += "USAGE ";
    } else if (mask & PrivAll) {
        s += "ALL PRIVILEGES ";
    } else {
        const auto names = privilegeNames(mask);
        for (std::size_t i = 0; i < names.size(); ++i)
            s += (i ? "," : "") + names[i];
        s += " ";
    }
    s += "ON " + grantTarget(database, table) + " TO ";
    s += account(user, accountHost(host));
    if (!password.empty())
        s += " IDENTIFIED BY " + quoteString(password);
    return s;
}

std::vector<std::string> deleteUserStatements(std::string_view user, std::string_view host)
{
    std::vector<std::string> out;
    const std::string h = accountHost(host);
    for (const char *table : {"mysql.user", "mysql.db", "mysql.tables_priv", "mysql.columns_priv"})
        out.push_back("delete from " + std::string(table) + whereAccount(h, user));
    return out;
}

std::string flushPrivileges()
{
    return "FLUSH PRIVILEGES";
}

int privilegeMaskFromText(std::string_view text)
{
    // Leading decimal digits; a value beyond every bit is kept at the
    // largest int rather than wrapped into another set of bits.
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > 0x7fffffff)
            return 0x7fffffff;
    }
    return static_cast<int>(value);
}

std::optional<PrivilegeStatements> setPrivilegesStatements(
    std::string_view user, std::string_view hostIn, std::string_view database, std::string_view table, int mask)
{
    const std::string host = accountHost(hostIn);
    std::string yn;
    for (std::size_t i = 0; i < kPrivilegeColumns.size(); ++i)
        yn += std::string(kPrivilegeColumns[i]) + ((mask & kPrivilegeNames[i].first) ? "'Y'" : "'N'") + ",";
    yn.back() = ' ';
    std::string names;
    for (const std::string &n : privilegeNames(mask))
        names += n + ",";
    if (!names.empty())
        names.back() = ' ';

    const std::string db = quoteString(database), tb = quoteString(table), us = quoteString(user),
                      hs = quoteString(host);
    PrivilegeStatements s;
    if (database.empty()) {
        s.ifExists = s.otherwise = "update mysql.user set " + yn + whereAccount(host, user);
    } else if (table.empty()) {
        s.check = "select * from mysql.db" + whereAccount(host, user) + " and db=" + db;
        s.ifExists =
            "update mysql.db set " + yn + ", db=" + db + ", host=" + hs + whereAccount(host, user) + " and db=" + db;
        s.otherwise = "insert into mysql.db set " + yn + ", user=" + us + ", host=" + hs + ", db=" + db;
    } else {
        // A table-level change without any privilege has no statement.
        if (names.empty())
            return std::nullopt;
        s.check =
            "select * from mysql.tables_priv" + whereAccount(host, user) + " and db=" + db + " and table_name=" + tb;
        s.ifExists = "UPDATE mysql.tables_priv SET Table_priv='" + names + "'" + whereAccount(host, user)
            + " and db=" + db + " and table_name=" + tb;
        s.otherwise = "insert into mysql.tables_priv set Table_priv='" + names + "' ,user=" + us + ", host=" + hs
            + ", db=" + db + ", table_name=" + tb;
    }
    return s;
}

} // namespace varnel::sql
