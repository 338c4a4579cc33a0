#pragma once

#include "admin/DatabaseCatalog.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace varnel {
class MySqlConnection;
}

namespace varnel::gui {

// The one connection the windows share and what is known about it: whether
// it is open and with which login, whether a transaction is open on it,
// whether a run is using it, and the name lists read from it. Every window
// gets the session, so none needs another window to learn these.
class ConnectionSession : public QObject {
    Q_OBJECT
public:
    explicit ConnectionSession(MySqlConnection &db, QObject *parent = nullptr);
    ~ConnectionSession() override;

    MySqlConnection &db() { return m_db; }
    DatabaseCatalog &catalog() { return m_catalog; }

    bool isOpen() const;
    // Connects with the login the user typed (empty texts are "not given").
    // While it is open, a statement that finds the server gone connects
    // again with the same login; when that fails, serverLost says why and
    // the connection is closed.
    bool open(std::string_view server, std::string_view user, std::string_view password);
    // Why the last open failed.
    const std::string &openError() const;
    void close();

    // A transaction is open, whichever window began it: the server's word
    // with its last answer, never a flag of ours.
    bool transactionOpen() const;

    // An import or export is using the connection.
    bool runActive() const { return m_runActive; }
    void setRunActive(bool active);

    // The database names last read, until forgotten.
    const std::optional<NameList> &databaseNames() const { return m_databases; }
    void keepDatabaseNames(NameList names) { m_databases = std::move(names); }
    // The table names last read for a key the reader chose (the server and
    // the database it asked about); nothing when they were read for
    // another key or forgotten since.
    const NameList *tableNames(const std::string &key) const;
    void keepTableNames(std::string key, NameList names);
    // Forget both (a database or table was created, dropped or renamed, or
    // the connection changed).
    void forgetNames();
    // A window created a database (table empty) or a table: the windows
    // that list them show it.
    void announceCreated(const std::string &database, const std::string &table);

signals:
    void openChanged(bool open);
    // Connecting again after the server went away failed.
    void serverLost(const QString &reason);
    void runActiveChanged(bool active);
    void namesForgotten();
    void created(const QString &database, const QString &table);

private:
    MySqlConnection &m_db;
    DatabaseCatalog m_catalog;
    bool m_runActive = false;
    std::optional<NameList> m_databases;
    std::optional<std::pair<std::string, NameList>> m_tables;
};

} // namespace varnel::gui
