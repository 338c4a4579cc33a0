#include "mysql/LossRecovery.h"

#include "mysql/MySqlConnection.h"
#include "mysql/ServerError.h"

#include <poll.h>

#include <cctype>

namespace varnel {

bool LossRecovery::mayReconnect(const MySqlConnection &db) const
{
    return m_on && !m_recovering && db.isOpen() && db.m_login;
}

bool LossRecovery::beforeSending(MySqlConnection &db)
{
    if (!mayReconnect(db) || !db.closedByServer())
        return true;
    return reopenOrGiveUp(db);
}

LossRecovery::Outcome LossRecovery::afterFailure(MySqlConnection &db, unsigned errorNumber, std::string_view statement)
{
    if (!mayReconnect(db) || (errorNumber != errnum::kServerGone && errorNumber != errnum::kServerLost))
        return Outcome::Failed;
    if (!reopenOrGiveUp(db))
        return Outcome::Failed;
    // "Gone away" is seen before the statement reached a server; a statement
    // lost on its way may have been carried out, and only one that changes
    // nothing is sent again.
    if (errorNumber == errnum::kServerGone || changesNothing(statement))
        return Outcome::SendAgain;
    return Outcome::Uncertain;
}

bool LossRecovery::reopenOrGiveUp(MySqlConnection &db)
{
    m_recovering = true;
    const bool restored = db.reopen();
    m_recovering = false;
    if (restored)
        return true;
    const std::string reason = db.connectError();
    db.disconnect();
    if (m_lostHandler)
        m_lostHandler(reason);
    return false;
}

// An idle connection has nothing to read: when the socket is readable or hung
// up, the server has closed it.
bool LossRecovery::closedWhileIdle(int socket)
{
    if (socket < 0)
        return false;
    pollfd p{socket, POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0;
}

bool LossRecovery::changesNothing(std::string_view statement)
{
    const auto start = statement.find_first_not_of(" \t\r\n(");
    if (start == std::string_view::npos)
        return false;
    std::string word;
    for (char c : statement.substr(start)) {
        if (!std::isalpha(static_cast<unsigned char>(c)))
            break;
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word == "select" || word == "show" || word == "use" || word == "describe" || word == "desc"
        || word == "explain";
}

} // namespace varnel
