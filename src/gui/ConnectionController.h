#pragma once

#include "admin/DatabaseCatalog.h"
#include "gui/MainParts.h"

#include <QObject>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::gui {

// The main window's connection: the connect button (connect, or disconnect
// once nothing uses the connection), a lost server, and the two name
// pickers beside the database and table boxes.
class ConnectionController : public QObject {
    Q_OBJECT
public:
    explicit ConnectionController(const MainParts &parts);

    void connectAction();
    void disconnectNow();
    // A disconnect asked for while the connection was in use is carried out
    // now.
    void disconnectIfAsked();

    void databasePicker();
    void tablePicker();

signals:
    // The connection is about to close: the windows that work on it close
    // first, saving what they keep.
    void disconnecting();
    // A disconnect was asked for while a run used the connection.
    void runStopRequested();
    // A name list was read, or a connect that waited for the keyring
    // ended: what was asked meanwhile can be carried out.
    void listReadEnded();

private:
    void setConnectedButtons(bool enabled);
    // Opens the session with the boxes' login. An empty password box sends
    // what this session was told or the keyring keeps for the login; when
    // the server refuses a login without a password of its own, the user is
    // asked once.
    bool openWithLogin();
    // Keeps a password the dialog was given, where the user chose.
    void keepAnswered(const std::string &user, const std::string &server, const QString &password, bool remember,
        bool keyringAnswered);
    void serverLost(const QString &reason);
    std::optional<NameList> readNameList(bool tables);
    bool listReadFinished();
    void putPickedName(std::string_view boxName, const QString &name);

    MainParts m_parts;
    bool m_disconnectPending = false;
    // Passwords typed into the dialog without 记住密码, by "user@server":
    // for this run of the program only.
    std::map<std::string, std::string> m_sessionPasswords;
    bool m_toldNoKeyring = false;
};

} // namespace varnel::gui
