#include "mysql/MySqlConnection.h"

#include "mysql/ConnectErrors.h"
#include "mysql/OptionFile.h"
#include "mysql/ServerError.h"
#include "mysql/ServerFailover.h"
#include "mysql/TlsPolicy.h"
#include "util/SystemError.h"

#include <mysql.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace varnel {
namespace {

constexpr unsigned kConnectTimeoutSeconds = 5;
// How long a connect that failed may take to find out why.
constexpr int kReasonProbeMs = 1000;
constexpr const char *kOutOfSync = "Commands out of sync; you can't run this command now";
// The server's limit is the one that counts; the client's own must not be
// lower.
constexpr unsigned long kClientPacketLimit = 1UL << 30;

} // namespace

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
    const Login login{std::string(server), std::string(user), std::string(password)};
    const ServerList servers = splitServerList(server);
    if (servers.invalid) {
        m_connectError = invalidServerText(*servers.invalid);
        m_connectErrorNumber = 0;
        return false;
    }
    const ServerFailover failover(servers.entries);
    if (!connectFrom(failover, failover.connectOrder(), login.user, login.password))
        return false;
    m_login = login;
    return true;
}

bool MySqlConnection::connectLike(const MySqlConnection &other, std::string_view server)
{
    if (!other.m_login) {
        m_connectError = "还没有连接过服务器";
        return false;
    }
    m_options = other.m_options;
    const Login login = *other.m_login; // `other` may be this connection
    return connect(server, login.user, login.password);
}

bool MySqlConnection::connectFrom(const ServerFailover &failover, const std::vector<std::size_t> &order,
    const std::string &user, const std::string &password)
{
    MYSQL *opened = nullptr;
    auto open = [&](const std::string &server, std::string &reason) {
        opened = openServer(server, user, password);
        reason = m_connectError;
        return opened != nullptr;
    };
    const std::optional<std::size_t> place = failover.moveOn(order, open, m_connectError);
    if (!place)
        return false;
    const std::string &server = failover.servers()[*place];
    m_mysql = opened;
    // Read while the socket is there: it is gone once the connection is lost.
    m_identity = readSessionIdentity(m_mysql, server, m_cluster.id());
    ++m_sessionNumber;
    m_classicAccounts.reset();
    m_server = server;
    m_serverIndex = *place;
    m_connectError.clear();
    return true;
}

MYSQL *MySqlConnection::newHandle(const TlsPolicy &tls)
{
    // The library reads the file itself, and would wait forever on a FIFO.
    if (m_options.readOptionFiles && !m_options.optionFile.empty()) {
        if (auto problem = optionFileProblem(m_options.optionFile)) {
            m_connectError = std::move(*problem);
            return nullptr;
        }
    }
    MYSQL *m = mysql_init(nullptr);
    if (!m) {
        m_connectError = systemErrorText(ENOMEM);
        return nullptr;
    }
    if (m_options.readOptionFiles) {
        // The library reads them while connecting, over what is set here; the
        // login given to the connect call below still comes first, and the
        // encryption is checked against the options afterwards. A group
        // names the usual files; one file is read alone.
        if (m_options.optionFile.empty())
            mysql_optionsv(m, MYSQL_READ_DEFAULT_GROUP, "client");
        else
            mysql_optionsv(m, MYSQL_READ_DEFAULT_FILE, m_options.optionFile.c_str());
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
    tls.apply(m);
    return m;
}

std::string MySqlConnection::connectFailure(
    MYSQL *m, const std::string &server, const ServerAddress &address, bool named, const TlsPolicy &tls)
{
    m_connectErrorNumber = mysql_errno(m);
    const std::string original = mysql_error(m);
    int systemError = 0;
    if (named && hidesConnectReason(m_connectErrorNumber, original)) {
        unsigned port = address.port;
        if (port == 0 && (mysql_get_optionv(m, MARIADB_OPT_PORT, &port) != 0 || port == 0))
            port = MYSQL_PORT;
        systemError = tcpConnectError(address.host, port, kReasonProbeMs);
    }
    std::string reason = connectErrorText(m_connectErrorNumber, server, original, systemError);
    if (m_connectErrorNumber == errnum::kTlsConnect)
        reason += tls.handshakeAdvice();
    return reason;
}

MYSQL *MySqlConnection::openServer(const std::string &server, const std::string &user, const std::string &password)
{
    m_connectError.clear();
    m_connectErrorNumber = 0;
    const TlsPolicy tls(m_options);
    MYSQL *m = newHandle(tls);
    if (!m)
        return nullptr;
    const ServerAddress address = parseServerAddress(server);
    // A server that was named is the one connected to, over TCP, whatever
    // socket= or protocol= an option file holds. "localhost" alone means the
    // local socket, as it always has (which ignores a port: a port that was
    // typed is reached over TCP), and an empty field leaves the choice to the
    // option files and the library.
    const bool named = !address.host.empty() && !(address.host == "localhost" && address.port == 0);
    if (named) {
        unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
    }
    auto refuse = [&](std::string reason) {
        m_connectError = std::move(reason);
        mysql_close(m);
        return nullptr;
    };
    if (!mysql_real_connect(m, address.host.empty() ? nullptr : address.host.c_str(),
            user.empty() ? nullptr : user.c_str(), password.empty() ? nullptr : password.c_str(), nullptr, address.port,
            nullptr, 0))
        return refuse(connectFailure(m, server, address, named, tls));
    if (std::string reason = tls.refusal(m); !reason.empty()) {
        // The program's own refusals over encryption count as the library's.
        m_connectErrorNumber = errnum::kTlsConnect;
        return refuse(std::move(reason));
    }
    if (mysql_set_character_set(m, "utf8mb4") != 0)
        return refuse(mysql_error(m));
    // A Galera node takes clients only while it belongs to the cluster's
    // primary part.
    const ClusterNode node = ClusterNode::join(m);
    if (std::string reason = node.refusal(); !reason.empty())
        return refuse(std::move(reason));
    // The server's own messages in the program's language; a server without
    // them keeps its own.
    constexpr std::string_view kChineseMessages = "SET lc_messages = 'zh_CN'";
    mysql_real_query(m, kChineseMessages.data(), static_cast<unsigned long>(kChineseMessages.size()));
    m_cluster = node;
    return m;
}

bool MySqlConnection::reopen()
{
    if (!m_login) {
        m_connectError = "还没有连接过服务器";
        return false;
    }
    const Login login = *m_login;
    const std::string database = m_database;
    const std::string lost = m_server;
    const ServerFailover failover(splitServerList(login.server).entries);
    disconnect();
    // Another try later uses the same settings.
    if (!connectFrom(failover, failover.reopenOrder(m_serverIndex), login.user, login.password))
        return false;
    if (m_server != lost && m_moveHandler)
        m_moveHandler(lost, m_server);
    if (!database.empty() && !selectDatabase(database)) {
        std::string reason;
        lastError(reason);
        m_connectErrorNumber = lastErrorNumber();
        m_connectError = connectErrorText(m_connectErrorNumber, m_server, reason);
        return false;
    }
    return true;
}

std::string MySqlConnection::sslCipher() const
{
    const char *cipher = m_mysql ? mysql_get_ssl_cipher(m_mysql) : nullptr;
    return cipher ? cipher : "";
}

bool MySqlConnection::isConnectionError(unsigned errorNumber)
{
    return errnum::meansConnectionGone(errorNumber);
}

bool MySqlConnection::connectionLost() const
{
    // A Galera node cut off from its cluster is a lost server too: the next
    // one takes over.
    const unsigned error = lastErrorNumber();
    return !m_mysql || isConnectionError(error) || m_cluster.cutOffBy(error);
}

void MySqlConnection::disconnect()
{
    settleInFlight();
    m_settled.reset();
    m_resultPending = false;
    m_refusal.clear();
    m_inFlightText = std::string();
    m_current.reset();
    closePrepared();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
    m_classicAccounts.reset();
    m_cluster = ClusterNode();
}

bool MySqlConnection::refusePending()
{
    // Another window's statement while an import's batch is on its way: the
    // batch completes first, and keeps its outcome for the import.
    settleInFlight();
    if (!m_resultPending)
        return false;
    m_refusal = kOutOfSync;
    m_refusalNumber = errnum::kOutOfSync;
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
    if (!prepareToSend(statement) || !reconnectIfClosed())
        return false;
    if (mysql_real_query(m_mysql, statement.data(), static_cast<unsigned long>(statement.size())) != 0) {
        if (!recoverFromLoss(statement))
            return false;
        if (mysql_real_query(m_mysql, statement.data(), static_cast<unsigned long>(statement.size())) != 0)
            return false;
    }
    m_resultPending = mysql_field_count(m_mysql) > 0;
    return true;
}

bool MySqlConnection::closedByServer() const
{
    return m_mysql && !m_asyncStarted && !m_resultPending
        && LossRecovery::closedWhileIdle(static_cast<int>(mysql_get_socket(m_mysql)));
}

bool MySqlConnection::reconnectIfClosed()
{
    return m_lossRecovery.beforeSending(*this);
}

bool MySqlConnection::recoverFromLoss(std::string_view statement)
{
    const unsigned error = m_mysql ? mysql_errno(m_mysql) : 0;
    switch (m_lossRecovery.afterFailure(*this, error, statement)) {
    case LossRecovery::Outcome::SendAgain:
        return true;
    case LossRecovery::Outcome::Uncertain:
        m_refusal = LossRecovery::kUncertainText;
        m_refusalNumber = errnum::kServerLost;
        return false;
    case LossRecovery::Outcome::Failed:
        break;
    }
    return false;
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
    if (!reconnectIfClosed())
        return false;
    if (mysql_select_db(m_mysql, n.c_str()) != 0) {
        if (!recoverFromLoss("USE") || mysql_select_db(m_mysql, n.c_str()) != 0)
            return false;
    }
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
        return m_refusalNumber;
    return m_mysql ? mysql_errno(m_mysql) : 0;
}

bool MySqlConnection::inTransaction() const
{
    return m_mysql && (m_mysql->server_status & SERVER_STATUS_IN_TRANS) != 0;
}

std::uint64_t MySqlConnection::affectedRows() const
{
    if (!m_mysql)
        return 0;
    const my_ulonglong n = mysql_affected_rows(m_mysql);
    return n == static_cast<my_ulonglong>(-1) ? 0 : static_cast<std::uint64_t>(n);
}

std::uint64_t MySqlConnection::matchedRows() const
{
    // "Rows matched: 1  Changed: 0  Warnings: 0": an UPDATE that left a row
    // as it was still found it.
    const char *info = m_mysql ? mysql_info(m_mysql) : nullptr;
    const char *at = info ? std::strstr(info, "matched: ") : nullptr;
    if (!at)
        return affectedRows();
    return std::strtoull(at + 9, nullptr, 10);
}

unsigned long MySqlConnection::threadId() const
{
    return m_mysql ? mysql_thread_id(m_mysql) : 0;
}

int MySqlConnection::socketDescriptor() const
{
    return m_mysql ? static_cast<int>(mysql_get_socket(m_mysql)) : -1;
}

std::string MySqlConnection::serverVersion() const
{
    return m_mysql ? std::string(mysql_get_server_info(m_mysql)) : std::string();
}

} // namespace varnel
