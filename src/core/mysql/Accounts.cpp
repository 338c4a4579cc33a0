// Accounts and privileges, on classic servers (mysql.user a table, GRANT …
// IDENTIFIED BY) and on newer ones (CREATE USER, REVOKE and GRANT).
#include "mysql/MySqlConnection.h"

#include "mysql/Statements.h"

namespace varnel {
namespace {

// Errors that mean "there was nothing to revoke".
constexpr unsigned kNoSuchGrant = 1141;
constexpr unsigned kNoSuchTableGrant = 1147;

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

    // Newer servers: the same effect through REVOKE and GRANT. Globally and
    // per database the nine column privileges are set exactly, the others
    // left alone; per table the privileges are replaced as a whole.
    const std::string account = sql::account(user, host);
    const std::string target = sql::grantTarget(database, table);
    auto joined = [](const std::vector<std::string> &names) {
        std::string s;
        for (const std::string &n : names)
            s += (s.empty() ? "" : ",") + n;
        return s;
    };
    const bool tableLevel = !database.empty() && !table.empty() && database.front() != '*' && table.front() != '*';
    std::vector<std::string> grants = tableLevel ? sql::privilegeNames(mask) : sql::columnPrivilegeNames(mask, true);
    if (tableLevel && grants.empty())
        return false;
    bool ok = true;
    if (tableLevel) {
        ok = executeIgnoring(
            "REVOKE ALL PRIVILEGES ON " + target + " FROM " + account, {kNoSuchGrant, kNoSuchTableGrant});
    } else {
        const auto revokes = sql::columnPrivilegeNames(mask, false);
        if (!revokes.empty())
            ok = executeIgnoring(
                "REVOKE " + joined(revokes) + " ON " + target + " FROM " + account, {kNoSuchGrant, kNoSuchTableGrant});
    }
    if (!ok)
        return false;
    if (grants.empty())
        return true;
    return execute("GRANT " + joined(grants) + " ON " + target + " TO " + account);
}

} // namespace varnel
