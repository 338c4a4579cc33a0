#pragma once

#include <QString>

#include <optional>

namespace varnel::gui {

// Passwords kept in the desktop's keyring (a Secret Service such as GNOME
// Keyring or KWallet), one per user and server. Each call waits for the
// keyring's answer with the window's events handled.
class PasswordKeyring {
public:
    enum class Outcome {
        Done, // stored, found or removed
        NotFound, // the keyring answered and holds none for this login
        NoKeyring, // no keyring runs, or it refused (locked, dismissed)
    };
    struct Lookup {
        Outcome outcome = Outcome::NoKeyring;
        QString password; // when Done
    };

    static Lookup read(const QString &user, const QString &server);
    static Outcome write(const QString &user, const QString &server, const QString &password);
    static Outcome remove(const QString &user, const QString &server);

    // The keyring entry's name of a login: "user@server".
    static QString entryName(const QString &user, const QString &server);
    // Tests use their own service so they never meet the user's entries.
    static void setServiceName(const QString &name);
    static QString serviceName();
};

} // namespace varnel::gui
