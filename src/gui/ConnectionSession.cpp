#include "gui/ConnectionSession.h"

#include "gui/QtText.h"
#include "mysql/MySqlConnection.h"

namespace varnel::gui {

ConnectionSession::ConnectionSession(MySqlConnection &db, QObject *parent)
    : QObject(parent)
    , m_db(db)
    , m_catalog(db)
{
}

ConnectionSession::~ConnectionSession()
{
    m_db.setLostHandler({});
}

bool ConnectionSession::isOpen() const
{
    return m_db.isOpen();
}

bool ConnectionSession::open(std::string_view server, std::string_view user, std::string_view password)
{
    if (!m_db.connect(server, user, password))
        return false;
    m_db.setReconnectOnLoss(true);
    m_db.setLostHandler([this](const std::string &reason) { emit serverLost(qs(reason)); });
    // The lists of the last session or another server are not this
    // server's.
    forgetNames();
    emit openChanged(true);
    return true;
}

const std::string &ConnectionSession::openError() const
{
    return m_db.connectError();
}

void ConnectionSession::close()
{
    forgetNames();
    m_db.setReconnectOnLoss(false);
    m_db.setLostHandler({});
    m_db.disconnect();
    emit openChanged(false);
}

bool ConnectionSession::transactionOpen() const
{
    return m_db.inTransaction();
}

void ConnectionSession::setRunActive(bool active)
{
    if (active == m_runActive)
        return;
    m_runActive = active;
    emit runActiveChanged(active);
}

const NameList *ConnectionSession::tableNames(const std::string &key) const
{
    return m_tables && m_tables->first == key ? &m_tables->second : nullptr;
}

void ConnectionSession::keepTableNames(std::string key, NameList names)
{
    m_tables.emplace(std::move(key), std::move(names));
}

void ConnectionSession::forgetNames()
{
    m_databases.reset();
    m_tables.reset();
    emit namesForgotten();
}

void ConnectionSession::announceCreated(const std::string &database, const std::string &table)
{
    emit created(QString::fromStdString(database), QString::fromStdString(table));
}

} // namespace varnel::gui
