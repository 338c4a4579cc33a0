#include "transfer/ServerQueries.h"

#include "mysql/MySqlConnection.h"

namespace varnel {

std::optional<std::string> queryValue(MySqlConnection &db, const std::string &statement)
{
    if (!db.execute(statement))
        return std::nullopt;
    auto r = db.storeResult();
    std::string value;
    if (!r || !r->seekRow(0) || !r->readField(0.0, value))
        return std::nullopt;
    return value;
}

std::string serverReason(const MySqlConnection &db)
{
    std::string reason;
    if (!db.lastError(reason))
        reason = db.isOpen() ? std::string() : "没有连接到 MySQL 服务器";
    return reason;
}

} // namespace varnel
