#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace varnel {

class MySqlConnection;

// Decides when a window's statement connects again (before sending: the server
// closed the idle connection; after: it was lost) and whether it goes again.
class LossRecovery {
public:
    // What became of a statement that failed.
    enum class Outcome {
        Failed, // its error stands (or connecting again failed)
        SendAgain, // connected again: the statement goes once more
        Uncertain, // connected again, but the statement may have been done
    };
    // What a statement that may have been done fails with.
    inline static constexpr const char *kUncertainText =
        "与 MySQL 服务器的连接曾断开，已重新连接；这条语句是否已执行无法确定";

    bool on() const { return m_on; }
    void setOn(bool on) { m_on = on; }
    void setLostHandler(std::function<void(const std::string &reason)> handler) { m_lostHandler = std::move(handler); }

    // Before a statement is sent on `db`: when the server has closed the idle
    // connection, connects again now. False when that failed (the connection
    // is closed and the lost handler was told).
    bool beforeSending(MySqlConnection &db);
    // After `statement` failed on `db` with `errorNumber`: connects again
    // when the connection was lost. The statement goes again only when it
    // cannot have been carried out ("gone away") or changes nothing.
    Outcome afterFailure(MySqlConnection &db, unsigned errorNumber, std::string_view statement);

    // Nothing is awaited on the socket and it is readable or hung up: the
    // server has closed the idle connection.
    static bool closedWhileIdle(int socket);
    // The statement changes nothing on the server (SELECT, SHOW, USE,
    // DESCRIBE, EXPLAIN): sent again whatever became of the first attempt.
    static bool changesNothing(std::string_view statement);

private:
    bool mayReconnect(const MySqlConnection &db) const;
    bool reopenOrGiveUp(MySqlConnection &db);

    bool m_on = false;
    bool m_recovering = false; // reopening: its own statements do not recover
    std::function<void(const std::string &)> m_lostHandler;
};

} // namespace varnel
