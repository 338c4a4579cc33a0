#include "transfer/ReportedMoves.h"

#include "transfer/ConnectSettings.h"
#include "transfer/TransferHost.h"

namespace varnel {

ReportedMoves::ReportedMoves(MySqlConnection &db, TransferHost &host)
    : m_db(db)
    , m_before(db.moveHandler())
{
    db.setMoveHandler(
        [&host](const std::string &from, const std::string &to) { host.notice(movedToServer(from, to)); });
}

ReportedMoves::~ReportedMoves()
{
    m_db.setMoveHandler(std::move(m_before));
}

} // namespace varnel
