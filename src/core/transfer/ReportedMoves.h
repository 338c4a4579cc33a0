#pragma once

#include "mysql/MySqlConnection.h"

namespace varnel {

class TransferHost;

// Decides how a run tells that its connection moved to another server of
// the list: once per move, as a notice, whoever reopened the connection.
//
// While it lives, each reopen() that lands on another server (an import's
// restore, an export's walk, the final count, the watcher between batches)
// is told to the host as "与服务器 … 的连接已断开，已改连 …".
class ReportedMoves {
public:
    ReportedMoves(MySqlConnection &db, TransferHost &host);
    ~ReportedMoves();
    ReportedMoves(const ReportedMoves &) = delete;
    ReportedMoves &operator=(const ReportedMoves &) = delete;

private:
    MySqlConnection &m_db;
    MySqlConnection::MoveHandler m_before;
};

} // namespace varnel
