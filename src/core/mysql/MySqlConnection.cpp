#include "mysql/MySqlConnection.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>

namespace varnel {
namespace {

constexpr unsigned kConnectTimeoutSeconds = 5;
// Errors that mean "there was nothing to revoke".
constexpr unsigned kNoSuchGrant = 1141;
constexpr unsigned kNoSuchTableGrant = 1147;
constexpr const char *kOutOfSync = "Commands out of sync; you can't run this command now";
constexpr unsigned kOutOfSyncNumber = 2014;
// The server's limit is the one that counts; the client's own must not be
// lower.
constexpr unsigned long kClientPacketLimit = 1UL << 30;
// How long a wait for a statement in flight goes without pumping events.
constexpr int kWaitSliceMs = 25;

std::string optionalText(std::string_view s)
{
    return std::string(s);
}

} // namespace

ServerAddress parseServerAddress(std::string_view server)
{
    ServerAddress a;
    auto portOf = [](std::string_view digits, unsigned &port) {
        unsigned v = 0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || v == 0 || v > 65535)
            return false;
        port = v;
        return true;
    };
    if (server.starts_with('[')) {
        const auto close = server.find(']');
        if (close != std::string_view::npos) {
            a.host = std::string(server.substr(1, close - 1));
            const std::string_view rest = server.substr(close + 1);
            if (rest.starts_with(':'))
                portOf(rest.substr(1), a.port);
            return a;
        }
    }
    const auto colon = server.find(':');
    if (colon != std::string_view::npos && server.find(':', colon + 1) == std::string_view::npos
        && portOf(server.substr(colon + 1), a.port)) {
        a.host = std::string(server.substr(0, colon));
        return a;
    }
    a.host = std::string(server);
    return a;
}

MySqlConnection::MySqlConnection() = default;

MySqlConnection::~MySqlConnection()
{
    disconnect();
}

MySqlConnection &MySqlConnection::shared()
{
    static MySqlConnection connection;
    return connection;
}

bool MySqlConnection::connect(std::string_view server, std::string_view user, std::string_view password)
{
    disconnect();
    m_login.reset();
    m_database.clear();
    m_connectError.clear();
    MYSQL *m = mysql_init(nullptr);
    if (!m) {
        m_connectError = "out of memory";
        return false;
    }
    unsigned timeout = kConnectTimeoutSeconds;
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    // A server that stops answering ends the statement instead of the run.
    unsigned io = m_timeoutSeconds;
    mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &io);
    mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &io);
    unsigned long packet = kClientPacketLimit;
    mysql_optionsv(m, MYSQL_OPT_MAX_ALLOWED_PACKET, &packet);
    // Nothing outside GBK may be lost on the wire.
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // Lets an import prepare its next rows while the server stores the last.
    mysql_options(m, MYSQL_OPT_NONBLOCK, nullptr);

    const ServerAddress address = parseServerAddress(server);
    if (address.port != 0) {
        // "localhost" alone means the local socket, which ignores the port:
        // a port that was typed is reached over TCP.
        unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
    }
    const std::string u = optionalText(user), p = optionalText(password);
    if (!mysql_real_connect(m, address.host.empty() ? nullptr : address.host.c_str(),
            user.empty() ? nullptr : u.c_str(), password.empty() ? nullptr : p.c_str(), nullptr, address.port, nullptr,
            0)) {
        m_connectError = mysql_error(m);
        mysql_close(m);
        return false;
    }
    if (mysql_set_character_set(m, "utf8mb4") != 0) {
        m_connectError = mysql_error(m);
        mysql_close(m);
        return false;
    }
    m_mysql = m;
    m_classicAccounts.reset();
    m_login = Login{std::string(server), u, p};
    return true;
}

bool MySqlConnection::reopen()
{
    if (!m_login) {
        m_connectError = "never connected";
        return false;
    }
    const Login login = *m_login;
    const std::string database = m_database;
    if (!connect(login.server, login.user, login.password)) {
        // Another try later uses the same settings.
        m_login = login;
        m_database = database;
        return false;
    }
    if (!database.empty() && !selectDatabase(database)) {
        lastError(m_connectError);
        return false;
    }
    return true;
}

bool MySqlConnection::isConnectionError(unsigned errorNumber)
{
    switch (errorNumber) {
    case CR_SERVER_GONE_ERROR:
    case CR_SERVER_LOST:
    case CR_SERVER_LOST_EXTENDED:
    case CR_CONNECTION_ERROR:
    case CR_CONN_HOST_ERROR:
    case ER_CONNECTION_KILLED:
    case ER_SERVER_SHUTDOWN:
    case ER_NET_READ_ERROR:
    case ER_NET_READ_INTERRUPTED:
    case ER_NET_ERROR_ON_WRITE:
    case ER_NET_WRITE_INTERRUPTED:
    case ER_NET_PACKET_TOO_LARGE:
        return true;
    default:
        return false;
    }
}

bool MySqlConnection::connectionLost() const
{
    return !m_mysql || isConnectionError(lastErrorNumber());
}

void MySqlConnection::disconnect()
{
    settleInFlight();
    m_settled.reset();
    m_resultPending = false;
    m_refusal.clear();
    m_inFlightText = std::string();
    m_current.reset();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
    m_classicAccounts.reset();
}

bool MySqlConnection::refusePending()
{
    // Another window's statement while an import's batch is on its way: the
    // batch completes first, and keeps its outcome for the import.
    settleInFlight();
    if (!m_resultPending)
        return false;
    m_refusal = kOutOfSync;
    return true;
}

bool MySqlConnection::prepareToSend(std::string_view &statement)
{
    if (!m_mysql || refusePending())
        return false;
    m_refusal.clear();
    // A statement ends at its first NUL byte.
    statement = statement.substr(0, statement.find('\0'));
    if (m_observer)
        m_observer(statement);
    return true;
}

bool MySqlConnection::execute(std::string_view statement)
{
    m_current.reset();
    return send(statement);
}

bool MySqlConnection::ensureDatabase(std::string_view name)
{
    if (m_mysql && m_current && *m_current == name)
        return true;
    return selectDatabase(name);
}

bool MySqlConnection::send(std::string_view statement)
{
    if (!prepareToSend(statement))
        return false;
    if (mysql_real_query(m_mysql, statement.data(), static_cast<unsigned long>(statement.size())) != 0)
        return false;
    m_resultPending = mysql_field_count(m_mysql) > 0;
    return true;
}

int MySqlConnection::waitFor(int status, int sliceMs)
{
    using Clock = std::chrono::steady_clock;
    pollfd p{};
    p.fd = mysql_get_socket(m_mysql);
    if (status & MYSQL_WAIT_READ)
        p.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        p.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        p.events |= POLLPRI;
    // The library asks for a timeout where it has one; otherwise ours holds,
    // so that a server that stopped answering cannot hang the program. The
    // deadline holds across the slices of one wait.
    const bool libraryTimeout = (status & MYSQL_WAIT_TIMEOUT) != 0;
    int pollMs = 0;
    if (sliceMs != 0) {
        if (!m_waitDeadline) {
            const auto ms = libraryTimeout
                ? std::chrono::milliseconds(mysql_get_timeout_value_ms(m_mysql))
                : std::chrono::milliseconds(std::min<unsigned>(m_timeoutSeconds, 86400U) * 1000LL);
            m_waitDeadline = Clock::now() + ms;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_waitDeadline - Clock::now()).count();
        pollMs = static_cast<int>(std::max<long long>(0, sliceMs > 0 ? std::min<long long>(sliceMs, left) : left));
    }
    int n;
    do
        n = ::poll(&p, 1, pollMs);
    while (n < 0 && errno == EINTR);
    if (n == 0) {
        if (sliceMs == 0 || Clock::now() < *m_waitDeadline)
            return 0;
        m_waitDeadline.reset();
        if (libraryTimeout)
            return MYSQL_WAIT_TIMEOUT;
        // Make the library see the connection as broken.
        ::shutdown(p.fd, SHUT_RDWR);
        return status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
    }
    m_waitDeadline.reset();
    int ready = 0;
    if (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))
        ready |= MYSQL_WAIT_READ;
    if (p.revents & (POLLOUT | POLLHUP | POLLERR | POLLNVAL))
        ready |= MYSQL_WAIT_WRITE;
    if (p.revents & POLLPRI)
        ready |= MYSQL_WAIT_EXCEPT;
    return ready;
}

bool MySqlConnection::startStatement(std::string statement)
{
    std::string_view text = statement;
    if (!prepareToSend(text))
        return false;
    statement.resize(text.size());
    // The library goes on sending from this memory after we return: it
    // lives here until the statement has completed.
    m_inFlightText = std::move(statement);
    m_settled.reset();
    m_asyncResult = 0;
    m_asyncStarted = true;
    m_waitDeadline.reset();
    m_asyncStatus = mysql_real_query_start(
        &m_asyncResult, m_mysql, m_inFlightText.data(), static_cast<unsigned long>(m_inFlightText.size()));
    return true;
}

void MySqlConnection::advanceStatement()
{
    if (m_asyncStatus == 0)
        return;
    // Only as far as the socket allows without waiting.
    for (int ready; m_asyncStatus != 0 && (ready = waitFor(m_asyncStatus, 0)) != 0;)
        m_asyncStatus = mysql_real_query_cont(&m_asyncResult, m_mysql, ready);
}

void MySqlConnection::settleInFlight()
{
    if (!m_asyncStarted)
        return;
    // A statement sent from the pump below waits here without pumping.
    const bool pumpHere = m_waitPump && !m_pumping;
    while (m_asyncStatus != 0 && m_asyncStarted) {
        int ready = 0;
        if (pumpHere) {
            ready = waitFor(m_asyncStatus, kWaitSliceMs);
            if (ready == 0) {
                m_pumping = true;
                m_waitPump();
                m_pumping = false;
                continue;
            }
        } else {
            do
                ready = waitFor(m_asyncStatus, -1);
            while (ready == 0);
        }
        m_asyncStatus = mysql_real_query_cont(&m_asyncResult, m_mysql, ready);
    }
    if (!m_asyncStarted)
        return; // settled by a statement sent from the pump
    m_asyncStarted = false;
    m_inFlightText = std::string();
    m_settled = m_asyncResult == 0;
    // Statements sent this way return no rows; should one, they are dropped
    // so that the connection stays usable.
    if (*m_settled && mysql_field_count(m_mysql) > 0) {
        if (MYSQL_RES *r = mysql_store_result(m_mysql))
            mysql_free_result(r);
    }
}

bool MySqlConnection::finishStatement()
{
    settleInFlight();
    const bool ok = m_settled.value_or(false);
    m_settled.reset();
    return ok;
}

std::unique_ptr<ResultSet> MySqlConnection::storeResult()
{
    if (!m_mysql)
        return nullptr;
    settleInFlight();
    m_resultPending = false;
    m_refusal.clear();
    MYSQL_RES *result = mysql_store_result(m_mysql);
    if (!result)
        return nullptr;
    return std::make_unique<ResultSet>(result);
}

bool MySqlConnection::selectDatabase(std::string_view name)
{
    if (!m_mysql || refusePending())
        return false;
    m_refusal.clear();
    const std::string n(name.substr(0, name.find('\0')));
    m_current.reset();
    if (mysql_select_db(m_mysql, n.c_str()) != 0)
        return false;
    m_database = n;
    m_current = n;
    return true;
}

bool MySqlConnection::lastError(std::string &message) const
{
    if (!m_mysql)
        return false;
    if (!m_refusal.empty()) {
        message = m_refusal;
        return true;
    }
    const char *e = mysql_error(m_mysql);
    if (!e || !*e)
        return false;
    message = e;
    return true;
}

unsigned MySqlConnection::lastErrorNumber() const
{
    if (!m_refusal.empty())
        return kOutOfSyncNumber;
    return m_mysql ? mysql_errno(m_mysql) : 0;
}

std::string MySqlConnection::serverVersion() const
{
    return m_mysql ? std::string(mysql_get_server_info(m_mysql)) : std::string();
}

bool MySqlConnection::createDatabase(std::string_view name)
{
    return send(sql::createDatabase(name));
}

bool MySqlConnection::dropDatabase(std::string_view name)
{
    if (m_current && *m_current == name)
        m_current.reset();
    return send(sql::dropDatabase(name));
}

bool MySqlConnection::showDatabases()
{
    return send("show databases");
}

bool MySqlConnection::showTables()
{
    return send("show tables");
}

bool MySqlConnection::tableExists(std::string_view name)
{
    if (!showTables())
        return false;
    auto result = storeResult();
    if (!result)
        return false;
    for (std::uint64_t r = 0; r < result->rowCount(); ++r) {
        result->seekRow(r);
        std::string table;
        if (result->readField(0.0, table) && table == name)
            return true;
    }
    return false;
}

bool MySqlConnection::createTable(
    std::string_view table, const std::vector<ColumnSpec> &columns, std::string_view tableOptions)
{
    if (!m_mysql)
        return false;
    const auto statement = sql::createTable(table, columns);
    if (!statement)
        return false;
    return tableOptions.empty() ? send(*statement) : send(*statement + " " + std::string(tableOptions));
}

bool MySqlConnection::dropColumn(std::string_view table, std::string_view column)
{
    return send(sql::dropColumn(table, column));
}

bool MySqlConnection::dropTable(std::string_view name)
{
    return send(sql::dropTable(name));
}

bool MySqlConnection::insertRow(std::string_view table, std::string_view assignments)
{
    return send(sql::insertRow(table, assignments));
}

bool MySqlConnection::deleteRows(std::string_view table, std::string_view condition)
{
    return send(sql::deleteRows(table, condition));
}

bool MySqlConnection::beginTransaction()
{
    return send("begin");
}

bool MySqlConnection::commitTransaction()
{
    return send("commit");
}

bool MySqlConnection::rollbackTransaction()
{
    return send("rollback");
}

std::string MySqlConnection::escapeValue(std::string_view value) const
{
    // The connection always speaks utf8mb4, where no byte of a multibyte
    // character can be mistaken for a quote or a backslash: escaping byte by
    // byte gives exactly what the client library gives, without its per-
    // character decoding (which costs more than the rest of a row).
    static constexpr auto kEscapes = [] {
        std::array<char, 256> t{};
        t[0] = '0';
        t['\n'] = 'n';
        t['\r'] = 'r';
        t['\\'] = '\\';
        t['\''] = '\'';
        t['"'] = '"';
        t['\032'] = 'Z';
        return t;
    }();
    std::string out;
    out.reserve(value.size() + value.size() / 8 + 16);
    std::size_t run = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char e = kEscapes[static_cast<unsigned char>(value[i])];
        if (!e)
            continue;
        out.append(value.data() + run, i - run);
        out += '\\';
        out += e;
        run = i + 1;
    }
    out.append(value.data() + run, value.size() - run);
    return out;
}

// --- accounts ---------------------------------------------------------------

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
    const std::string account = "'" + std::string(user) + "'@'" + host + "'";
    std::string create = "CREATE USER " + account;
    if (!password.empty())
        create += " IDENTIFIED BY '" + std::string(password) + "'";
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
        return execute("DROP USER '" + std::string(user) + "'@'" + host + "'");
    for (const std::string &statement : sql::deleteUserStatements(user, host)) {
        if (!execute(statement))
            return false;
    }
    return true;
}

bool MySqlConnection::setUserPrivileges(
    std::string_view user, std::string_view hostIn, std::string_view database, std::string_view table, int mask)
{
    if (!m_mysql)
        return false;
    const std::string host = sql::accountHost(hostIn);
    if (classicAccounts()) {
        const auto statements = sql::setPrivilegesStatements(user, host, database, table, mask);
        if (!statements)
            return false;
        bool exists = false;
        if (!statements->check.empty() && execute(statements->check)) {
            auto r = storeResult();
            exists = r && r->rowCount() > 0;
        }
        return execute(exists ? statements->ifExists : statements->otherwise);
    }

    // Newer servers: the same effect through REVOKE and GRANT. Globally and
    // per database the nine column privileges are set exactly, the others
    // left alone; per table the privileges are replaced as a whole.
    const std::string account = "'" + std::string(user) + "'@'" + host + "'";
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
