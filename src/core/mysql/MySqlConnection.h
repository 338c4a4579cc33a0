#pragma once

#include "mysql/ClusterNode.h"
#include "mysql/ConnectOptions.h"
#include "mysql/LossRecovery.h"
#include "mysql/Quoting.h"
#include "mysql/ResultSet.h"
#include "mysql/ServerAddress.h"
#include "mysql/SessionIdentity.h"
#include "mysql/Statements.h"
#include "util/EventPump.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct st_mysql MYSQL;
typedef struct st_mysql_stmt MYSQL_STMT;

namespace varnel {

class ServerFailover;
class TlsPolicy;

// The one connection to a MySQL server the program shares. Every operation
// looks at the connection first: without one it returns false, zero or
// nothing and sends nothing. Statement texts are the exact ones of the
// builders in Statements.h: names go in as identifiers, values as escaped
// literals, conditions and assignments as given.
class MySqlConnection {
public:
    MySqlConnection();
    ~MySqlConnection();
    MySqlConnection(const MySqlConnection &) = delete;
    MySqlConnection &operator=(const MySqlConnection &) = delete;

    // The program-wide instance.
    static MySqlConnection &shared();

    // Read and write timeout of every later connect, in seconds (a frozen
    // server must not hang a run forever); 0 restores the default.
    void setTimeout(unsigned seconds) { m_timeoutSeconds = seconds ? seconds : kDefaultTimeoutSeconds; }
    unsigned timeout() const { return m_timeoutSeconds; }
    inline static constexpr unsigned kDefaultTimeoutSeconds = 600;

    // Encryption and option files of every later connect (and reopen).
    void setConnectOptions(ConnectOptions options) { m_options = std::move(options); }
    const ConnectOptions &connectOptions() const { return m_options; }

    // Empty texts are "not given". The server may be a list,
    // "host[:port],host[:port],…": the servers are tried in that order, and
    // the first that lets us in is the one connected to. A cluster node
    // (Galera) that is not ready for clients is passed over, and on one that
    // is, reads wait until the node has applied what the cluster committed
    // before them, so what a run looks up after moving to another node is
    // final. The connection speaks utf8mb4.
    bool connect(std::string_view server, std::string_view user, std::string_view password);
    void disconnect();
    // Connects to one server with the login and options of another
    // connection's last successful connect.
    bool connectLike(const MySqlConnection &other, std::string_view server);
    // Connects again with the settings of the last successful connect (not
    // what the window shows now), in utf8mb4, and makes the database that
    // was current the current one again. Session settings are not restored.
    // With a list of servers the next ones are tried first, from the one
    // after the server that was lost, that one last.
    bool reopen();
    // Told when reopen() connected to another server of the list than the
    // one lost, with the two entries.
    using MoveHandler = std::function<void(const std::string &from, const std::string &to)>;
    void setMoveHandler(MoveHandler handler) { m_moveHandler = std::move(handler); }
    const MoveHandler &moveHandler() const { return m_moveHandler; }
    // The entry of the server list connected to (or last connected to).
    const std::string &server() const { return m_server; }
    // The server is a node of a Galera cluster.
    bool clusterNode() const { return m_cluster.isNode(); }
    // The cluster's id of the node connected to (wsrep_gcomm_uuid; also
    // after the connection was lost, until the next connect); empty when it
    // is no cluster node.
    const std::string &clusterNodeId() const { return m_identity.clusterNode; }
    // The cipher of an encrypted connection; empty when it is not encrypted.
    std::string sslCipher() const;
    // The last operation failed because the connection to the server is
    // gone (or there is none): whatever was in flight may or may not have
    // been done.
    bool connectionLost() const;
    static bool isConnectionError(unsigned errorNumber);
    bool isOpen() const { return m_mysql != nullptr; }
    // What a statement of the windows does when it finds the connection lost
    // ("gone away" or "lost during query"): it connects once more with the
    // login of the last successful connect (utf8mb4, the same database) and
    // goes on, sending itself again when that is safe. When connecting fails
    // the connection is closed and the lost handler is told why. Off by
    // default: a run restores its connection its own way.
    void setReconnectOnLoss(bool on) { m_lossRecovery.setOn(on); }
    bool reconnectOnLoss() const { return m_lossRecovery.on(); }
    void setLostHandler(std::function<void(const std::string &reason)> handler)
    {
        m_lossRecovery.setLostHandler(std::move(handler));
    }
    // Nothing is awaited and the socket is readable or hung up: the server
    // has closed the idle connection (a timeout, a restart, a kill). A
    // statement sent now could only fail, so connecting first repeats
    // nothing.
    bool closedByServer() const;
    // With reconnecting on: when the server has closed the idle connection,
    // connects again now. False when that failed (the connection is closed
    // and the lost handler was told).
    bool reconnectIfClosed();
    // A run restores its connection itself, with its own session: while one
    // lives, nothing reconnects behind its back.
    class ReconnectPause {
    public:
        explicit ReconnectPause(MySqlConnection &db)
            : m_db(db)
            , m_was(db.reconnectOnLoss())
        {
            db.setReconnectOnLoss(false);
        }
        ~ReconnectPause() { m_db.setReconnectOnLoss(m_was); }
        ReconnectPause(const ReconnectPause &) = delete;
        ReconnectPause &operator=(const ReconnectPause &) = delete;

    private:
        MySqlConnection &m_db;
        bool m_was;
    };
    // Why the last connect failed (for the help text and the command line).
    const std::string &connectError() const { return m_connectError; }
    // The client library's or the server's number of the last failed
    // connect; 0 when the program refused it itself, but for its refusals
    // over encryption (none offered where it is required, an option file
    // that changed it), which count as the library's TLS error (2026).
    unsigned connectErrorNumber() const { return m_connectErrorNumber; }

    // Any statement, as typed in a window: it may change the current
    // database, so the connection no longer knows which one is current.
    bool execute(std::string_view statement);

    // Makes the database current, selecting it only when another statement
    // may have changed it since this connection last selected it: a run that
    // calls it before each of its statements keeps to its own database
    // whatever other windows select meanwhile.
    bool ensureDatabase(std::string_view name);

    // Called while a statement in flight is awaited (a slice at a time), so
    // the program stays responsive during a long batch. Other statements
    // sent from it wait for the batch themselves, without pumping.
    void setWaitPump(EventPump pump) { m_waitPump = std::move(pump); }

    // A statement sent without waiting for the server: the caller goes on
    // with other work, calling advanceStatement() now and then to keep the
    // statement moving, and finishStatement() for its outcome. Any other
    // operation in the meantime first waits for it (its outcome is kept).
    // The connection keeps the statement's text until it completes.
    bool startStatement(std::string statement);
    // The same for a statement with `?` placeholders, its values bound as
    // they are: the server parses the text once (the handle is kept for the
    // next statement of the same text on this connection) and takes each
    // value whole, without scanning it as an escaped literal. The values are
    // read until the statement completes; `owner` keeps them alive, and the
    // connection holds it until then. False, with the reason in lastError(),
    // when the text cannot be prepared (nothing was carried out then).
    bool startPrepared(
        std::string_view statement, std::vector<std::string_view> values, std::shared_ptr<const void> owner);
    bool statementInFlight() const { return m_asyncStatus != 0; }
    void advanceStatement();
    bool finishStatement();
    std::unique_ptr<ResultSet> storeResult();
    // Sends a statement and copies its rows out as they arrive, keeping rows
    // until keepBytes of cells are kept (always at least one row); the rest
    // are read and dropped, and the block says it is not complete. The
    // connection is free again on return. Nothing when the statement or the
    // reading of its rows failed (lastError tells why); a statement without
    // rows gives an empty block.
    std::unique_ptr<RowBlock> fetchRows(std::string_view statement, std::size_t keepBytes = SIZE_MAX);
    bool selectDatabase(std::string_view name);
    bool lastError(std::string &message) const;
    unsigned lastErrorNumber() const;
    // Rows changed by the last completed statement (for a statement that
    // returns rows, once they are stored: their number); 0 without a
    // connection or when the library knows no number.
    std::uint64_t affectedRows() const;
    // Rows the last UPDATE found, whether it changed them or not.
    std::uint64_t matchedRows() const;

    bool createDatabase(const Identifier &name);
    bool dropDatabase(const Identifier &name);
    bool showDatabases();
    bool showTables();
    bool tableExists(std::string_view name);
    // tableOptions, when given, follows the column list (a character set).
    bool createTable(
        const Identifier &table, const std::vector<ColumnSpec> &columns, std::string_view tableOptions = {});
    bool dropColumn(const Identifier &table, const Identifier &column);
    bool dropTable(const Identifier &name);
    bool insertRow(const Identifier &table, std::string_view assignments);
    // An INSERT the caller built in place, in the text sql::insertRow gives
    // (a large row is then not copied once more); the current database stays
    // known, as after insertRow.
    bool insertStatement(std::string_view statement);
    bool deleteRows(const Identifier &table, std::string_view condition);
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();
    // A transaction is open, as the server said with its last answer: a
    // BEGIN, a COMMIT or a statement that commits implicitly is seen
    // whichever window sent it. False without a connection.
    bool inTransaction() const;

    // Accounts and privileges.
    bool selectUsers();
    bool grantUser(std::string_view host, std::string_view user, std::string_view password, std::string_view database,
        std::string_view table, int mask);
    bool deleteUser(std::string_view user, std::string_view host);
    bool setUserPrivileges(
        std::string_view user, std::string_view host, std::string_view database, std::string_view table, int mask);
    // True when the server keeps accounts the classic way (mysql.user a
    // table, GRANT … IDENTIFIED BY available).
    bool classicAccounts();

    // Sees every statement sent, as sent (for logs and tests).
    void setStatementObserver(std::function<void(std::string_view)> observer) { m_observer = std::move(observer); }
    // Sees the values a prepared statement sends with its text: how many,
    // and their bytes.
    void setBoundObserver(std::function<void(std::size_t values, std::size_t bytes)> observer)
    {
        m_boundObserver = std::move(observer);
    }

    // Server version text, empty without a connection.
    std::string serverVersion() const;
    // The server's id of this connection's session (also after the
    // connection was lost, until it is opened again); 0 without one.
    unsigned long threadId() const;
    // Who the session of the last successful connect is, as the server
    // tells it (kept after the connection was lost, until the next connect).
    const SessionIdentity &identity() const { return m_identity; }
    // Counts the successful connects: a session's own state (temporary
    // tables, settings) is gone once it changed.
    std::uint64_t sessionNumber() const { return m_sessionNumber; }
    // The socket of the connection, for a signal handler that must cut a
    // statement short; -1 without one.
    int socketDescriptor() const;

private:
    friend class LossRecovery;

    // Connects to one server; the handle, or null with the reason in
    // m_connectError.
    MYSQL *openServer(const std::string &server, const std::string &user, const std::string &password);
    // A handle with the options of every connect set, not yet connected; null
    // with the reason in m_connectError.
    MYSQL *newHandle(const TlsPolicy &tls);
    // Why the connect on `m` failed; sets m_connectErrorNumber.
    std::string connectFailure(
        MYSQL *m, const std::string &server, const ServerAddress &address, bool named, const TlsPolicy &tls);
    // Tries the servers in `order` and takes the connection of the first
    // that lets us in: the one place a session's identity is read.
    bool connectFrom(const ServerFailover &failover, const std::vector<std::size_t> &order, const std::string &user,
        const std::string &password);
    // After a statement of the windows failed: true when it is to be sent
    // again on a connection opened anew.
    bool recoverFromLoss(std::string_view statement);
    bool accountExists(std::string_view host, std::string_view user);
    bool executeIgnoring(std::string_view statement, std::initializer_list<unsigned> ignoredErrors);

    bool send(std::string_view statement);
    bool refusePending();
    bool prepareToSend(std::string_view &statement);
    void settleInFlight();
    int continueInFlight(int ready);
    MYSQL_STMT *preparedHandle(std::string_view statement);
    void closePrepared();
    // sliceMs 0: no waiting; -1: until ready or timed out; else at most that
    // long (0 back when the slice passed first).
    int waitFor(int status, int sliceMs);

    unsigned m_timeoutSeconds = kDefaultTimeoutSeconds;
    MYSQL *m_mysql = nullptr;
    std::string m_connectError;
    unsigned m_connectErrorNumber = 0;
    SessionIdentity m_identity;
    std::uint64_t m_sessionNumber = 0;
    // What the last successful connect used, for reopen().
    struct Login {
        std::string server, user, password;
    };
    std::optional<Login> m_login;
    ConnectOptions m_options;
    std::string m_server; // the entry of the list connected to
    std::size_t m_serverIndex = 0; // its place in the list
    ClusterNode m_cluster; // of the server connected to, or openServer() opened last
    std::string m_database; // the last database selected (for reopen)
    std::optional<std::string> m_current; // the current database, while known
    EventPump m_waitPump;
    std::optional<std::chrono::steady_clock::time_point> m_waitDeadline;
    bool m_pumping = false;
    std::string m_inFlightText; // the statement in flight: the library sends from it
    // A prepared statement in flight, the values it reads and their bindings.
    MYSQL_STMT *m_inFlightStmt = nullptr;
    std::shared_ptr<const void> m_inFlightOwner;
    std::shared_ptr<void> m_inFlightBinding;
    struct Prepared {
        std::string text;
        MYSQL_STMT *handle;
    };
    std::vector<Prepared> m_prepared; // the last used at the back
    // Rows of the last statement not yet taken: the next statement is refused
    // (and the rows stay takeable, which the library alone does not ensure).
    bool m_resultPending = false;
    int m_asyncStatus = 0; // what the statement in flight waits for
    int m_asyncResult = 0;
    bool m_asyncStarted = false;
    std::optional<bool> m_settled; // outcome of a statement completed early
    std::string m_refusal;
    unsigned m_refusalNumber = 0;
    std::optional<bool> m_classicAccounts;
    std::function<void(std::string_view)> m_observer;
    std::function<void(std::size_t, std::size_t)> m_boundObserver;
    LossRecovery m_lossRecovery;
    MoveHandler m_moveHandler;
};

} // namespace varnel
