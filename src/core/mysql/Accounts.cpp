// Accounts and privileges, on classic servers (mysql.user a table, GRANT …
// IDENTIFIED BY) and on newer ones (CREATE USER, REVOKE and GRANT).
#include "mysql/Accounts.h"

#include "mysql/MySqlConnection.h"

#include "mysql/Quoting.h"
#include "mysql/ServerError.h"
#include "mysql/Statements.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace varnel {
namespace {

enum class PrivilegeLevel { Global, Database, Table };

// Where setUserPrivileges puts the privileges. Classic servers go by which
// names are empty; GRANT also takes a name beginning with "*" for "all".
PrivilegeLevel privilegeLevel(bool classic, std::string_view database, std::string_view table)
{
    auto all = [classic](std::string_view name) { return name.empty() || (!classic && name.front() == '*'); };
    if (all(database))
        return PrivilegeLevel::Global;
    return all(table) ? PrivilegeLevel::Database : PrivilegeLevel::Table;
}

// The mask bits setUserPrivileges can give at a level. Reload, shutdown,
// process and file exist only globally; ALL PRIVILEGES is for a new account
// only (here it would have set none of the nine); higher bits mean nothing.
int legalPrivileges(PrivilegeLevel level)
{
    constexpr int nine = sql::PrivSelect | sql::PrivInsert | sql::PrivUpdate | sql::PrivDelete | sql::PrivIndex
        | sql::PrivAlter | sql::PrivCreate | sql::PrivDrop | sql::PrivReferences;
    constexpr int globalOnly = sql::PrivReload | sql::PrivShutdown | sql::PrivProcess | sql::PrivFile;
    return level == PrivilegeLevel::Global ? nine | globalOnly : nine;
}

// Every privilege a table can hold on this server, as REVOKE names it, read
// from the definition of mysql.tables_priv.Table_priv; the grant option is
// left out. Nothing when it cannot be read.
std::optional<std::vector<std::string>> tablePrivilegeNames(MySqlConnection &db)
{
    if (!db.execute("select COLUMN_TYPE from information_schema.COLUMNS where TABLE_SCHEMA='mysql' and "
                    "TABLE_NAME='tables_priv' and COLUMN_NAME='Table_priv'"))
        return std::nullopt;
    auto r = db.storeResult();
    std::string type; // set('Select','Insert',…)
    if (!r || r->rowCount() == 0 || !r->readField(0.0, type))
        return std::nullopt;
    std::vector<std::string> names;
    for (std::size_t open = type.find('\''); open != std::string::npos; open = type.find('\'', open)) {
        const std::size_t close = type.find('\'', open + 1);
        if (close == std::string::npos)
            break;
        const std::string member = type.substr(open + 1, close - open - 1);
        open = close + 1;
        if (equalsIgnoringAsciiCase(member, "Grant"))
            continue;
        // MariaDB's column says what its statements call DELETE HISTORY.
        std::string name = equalsIgnoringAsciiCase(member, "Delete versioning rows") ? "DELETE HISTORY" : member;
        for (char &c : name)
            c = asciiUpper(c);
        names.push_back(std::move(name));
    }
    if (names.empty())
        return std::nullopt;
    return names;
}

} // namespace

bool MySqlConnection::classicAccounts()
{
    if (!m_mysql)
        return false;
    if (m_classicAccounts)
        return *m_classicAccounts;
    bool classic = true;
    const std::string version = serverVersion();
    const bool mariadb = version.find("MariaDB") != std::string::npos;
    if (!mariadb && !version.empty() && version[0] >= '8')
        classic = false; // MySQL 8 dropped GRANT … IDENTIFIED BY
    if (classic
        && execute("select TABLE_TYPE from information_schema.TABLES where TABLE_SCHEMA='mysql' and "
                   "TABLE_NAME='user'")) {
        if (auto r = storeResult()) {
            std::string type;
            if (r->rowCount() > 0 && r->readField(0.0, type) && type != "BASE TABLE")
                classic = false; // MariaDB 10.4 and later: a view over global_priv
        }
    }
    m_classicAccounts = classic;
    return classic;
}

bool MySqlConnection::selectUsers()
{
    return execute("select * from mysql.user");
}

namespace {

// The index of the result column of that name, or -1.
int columnNamed(const ResultSet &result, std::string_view name)
{
    const auto &names = result.fieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (equalsIgnoringAsciiCase(names[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

std::optional<std::vector<Account>> listAccounts(MySqlConnection &db)
{
    auto users = db.selectUsers() ? db.storeResult() : nullptr;
    if (!users)
        return std::nullopt;
    const int user = columnNamed(*users, "User"), host = columnNamed(*users, "Host");
    auto cell = [&users](std::uint64_t row, int column) {
        return column < 0 ? std::string() : users->cell(row, static_cast<std::size_t>(column));
    };
    std::vector<Account> accounts;
    for (std::uint64_t r = 0; r < users->rowCount(); ++r)
        accounts.push_back({cell(r, user), cell(r, host)});
    return accounts;
}

bool MySqlConnection::accountExists(std::string_view host, std::string_view user)
{
    if (!execute(sql::userExistsQuery(host, user)))
        return false;
    auto result = storeResult();
    return result && result->rowCount() > 0;
}

bool MySqlConnection::executeIgnoring(std::string_view statement, std::initializer_list<unsigned> ignoredErrors)
{
    if (execute(statement))
        return true;
    const unsigned error = lastErrorNumber();
    for (unsigned e : ignoredErrors) {
        if (e == error)
            return true;
    }
    return false;
}

bool MySqlConnection::grantUser(std::string_view hostIn, std::string_view user, std::string_view password,
    std::string_view database, std::string_view table, int mask)
{
    if (!m_mysql)
        return false;
    const std::string host = sql::accountHost(hostIn);
    if (accountExists(host, user))
        return false;
    if (classicAccounts())
        return execute(sql::grantStatement(host, user, password, database, table, mask));

    // Newer servers: create the account, then grant; no half-made account
    // is left behind when the grant fails.
    const std::string account = sql::account(user, host);
    std::string create = "CREATE USER " + account;
    if (!password.empty())
        create += " IDENTIFIED BY " + quoteString(password);
    if (!execute(create))
        return false;
    const std::string grant = sql::grantStatement(host, user, "", database, table, mask);
    if (execute(grant))
        return true;
    execute("DROP USER " + account);
    return false;
}

bool MySqlConnection::deleteUser(std::string_view user, std::string_view hostIn)
{
    if (!m_mysql)
        return false;
    const std::string host = sql::accountHost(hostIn);
    if (!accountExists(host, user))
        return false;
    if (!classicAccounts())
        return execute("DROP USER " + sql::account(user, host));
    for (const std::string &statement : sql::deleteUserStatements(user, host)) {
        if (!execute(statement))
            return false;
    }
    // The grant tables were written directly: the server keeps its own copy
    // until told to read them again, and the account could still log in.
    return execute(sql::flushPrivileges());
}

bool MySqlConnection::setUserPrivileges(
    std::string_view user, std::string_view hostIn, std::string_view database, std::string_view table, int mask)
{
    if (!m_mysql)
        return false;
    // A privilege the level cannot hold makes the server refuse the GRANT:
    // refused before anything is sent, at the level either kind of server
    // would take the names for.
    const int legal = legalPrivileges(privilegeLevel(true, database, table))
        & legalPrivileges(privilegeLevel(false, database, table));
    if ((mask & ~legal) != 0)
        return false;
    const std::string host = sql::accountHost(hostIn);
    // Privileges of an account that is not there: the classic statements
    // would write rows for nobody, and a GRANT would make the account.
    if (!accountExists(host, user))
        return false;
    if (classicAccounts()) {
        const auto statements = sql::setPrivilegesStatements(user, host, database, table, mask);
        if (!statements)
            return false;
        bool exists = false;
        if (!statements->check.empty() && execute(statements->check)) {
            auto r = storeResult();
            exists = r && r->rowCount() > 0;
        }
        if (!execute(exists ? statements->ifExists : statements->otherwise))
            return false;
        return execute(sql::flushPrivileges());
    }

    // Newer servers: the same effect through GRANT and REVOKE. Globally and
    // per database the nine column privileges are set exactly, the others
    // left alone; per table the privileges are replaced as a whole (the grant
    // option stays). The new privileges are granted first and only then the
    // unwanted ones revoked, so a refused GRANT takes nothing away.
    const std::string account = sql::account(user, host);
    const std::string target = sql::grantTarget(database, table);
    auto joined = [](const std::vector<std::string> &names) {
        std::string s;
        for (const std::string &n : names)
            s += (s.empty() ? "" : ",") + n;
        return s;
    };
    const bool tableLevel = privilegeLevel(false, database, table) == PrivilegeLevel::Table;
    const std::vector<std::string> grants =
        tableLevel ? sql::privilegeNames(mask) : sql::columnPrivilegeNames(mask, true);
    if (tableLevel && grants.empty())
        return false;
    std::vector<std::string> revokes;
    if (tableLevel) {
        // Every privilege a table can hold on this server, less the new ones.
        const auto possible = tablePrivilegeNames(*this);
        if (!possible)
            return false;
        for (const std::string &name : *possible) {
            if (std::find(grants.begin(), grants.end(), asciiLowered(name)) == grants.end())
                revokes.push_back(name);
        }
    } else {
        revokes = sql::columnPrivilegeNames(mask, false);
    }
    if (!grants.empty() && !execute("GRANT " + joined(grants) + " ON " + target + " TO " + account))
        return false;
    if (revokes.empty())
        return true;
    // A privilege the account did not have is no failure to take it away.
    return executeIgnoring("REVOKE " + joined(revokes) + " ON " + target + " FROM " + account,
        {errnum::kNoSuchGrant, errnum::kNoSuchTableGrant});
}

namespace {

// A name of the privileges boxes as the server stores it: without the
// backticks a Chinese name is typed in.
std::string bareName(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        name = name.substr(1, name.size() - 2);
    return std::string(name);
}

int privilegeBitOf(std::string_view type)
{
    for (int bit = sql::PrivSelect; bit < sql::PrivAll; bit <<= 1) {
        const std::vector<std::string> names = sql::privilegeNames(bit);
        if (!names.empty() && equalsIgnoringAsciiCase(names.front(), type))
            return bit;
    }
    return 0;
}

} // namespace

std::optional<int> readPrivileges(MySqlConnection &db, std::string_view user, std::string_view host,
    std::string_view database, std::string_view table)
{
    // The grantee as information_schema writes it: 'user'@'host'.
    const std::string grantee = "'" + std::string(user) + "'@'" + sql::accountHost(host) + "'";
    std::string query = "select PRIVILEGE_TYPE from information_schema.";
    switch (privilegeLevel(false, database, table)) {
    case PrivilegeLevel::Global:
        query += "USER_PRIVILEGES where GRANTEE='" + escapeString(grantee) + "'";
        break;
    case PrivilegeLevel::Database:
        query += "SCHEMA_PRIVILEGES where GRANTEE='" + escapeString(grantee) + "' and TABLE_SCHEMA='"
            + escapeString(bareName(database)) + "'";
        break;
    case PrivilegeLevel::Table:
        query += "TABLE_PRIVILEGES where GRANTEE='" + escapeString(grantee) + "' and TABLE_SCHEMA='"
            + escapeString(bareName(database)) + "' and TABLE_NAME='" + escapeString(bareName(table)) + "'";
        break;
    }
    if (!db.execute(query))
        return std::nullopt;
    auto r = db.storeResult();
    if (!r)
        return std::nullopt;
    int mask = 0;
    for (std::uint64_t i = 0; i < r->rowCount(); ++i) {
        r->seekRow(i);
        std::string type;
        if (r->readField(0.0, type))
            mask |= privilegeBitOf(type);
    }
    return mask;
}

int replacedPrivileges(std::string_view database, std::string_view table)
{
    constexpr int nine = sql::PrivSelect | sql::PrivInsert | sql::PrivUpdate | sql::PrivDelete | sql::PrivIndex
        | sql::PrivAlter | sql::PrivCreate | sql::PrivDrop | sql::PrivReferences;
    // Per table the privileges are replaced as a whole; elsewhere only the
    // nine that have a column.
    return privilegeLevel(false, database, table) == PrivilegeLevel::Table ? sql::PrivAll - 1 : nine;
}

std::optional<Account> currentAccount(MySqlConnection &db)
{
    if (!db.execute("select current_user()"))
        return std::nullopt;
    auto r = db.storeResult();
    std::string text;
    if (!r || r->rowCount() == 0 || !r->readField(0.0, text))
        return std::nullopt;
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos)
        return std::nullopt;
    return Account{text.substr(0, at), text.substr(at + 1)};
}

} // namespace varnel
