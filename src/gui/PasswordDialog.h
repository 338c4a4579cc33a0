#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QCheckBox;
class QLineEdit;

namespace varnel::gui {

// The small modal dialog "输入密码": the server refused a login that had no
// password to send, and the user types it here for user@server, kept for
// this session only or, with 记住密码, remembered.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    struct Answer {
        QString password;
        bool remember = false;
    };
    // Where 记住密码 keeps the password: the desktop's keyring, or (without
    // one) the settings file.
    enum class Keeping { Keyring, SettingsFile };

    // What was confirmed with 确定; nothing when the dialog was closed
    // otherwise. With Prompts scripted a queued act of the test works it.
    static std::optional<Answer> ask(
        QWidget *owner, const QString &user, const QString &server, const QString &reason, Keeping keeping);

    PasswordDialog(
        const QString &user, const QString &server, const QString &reason, Keeping keeping, QWidget *parent = nullptr);

    Answer answer() const;

private:
    QLineEdit *m_password = nullptr;
    QCheckBox *m_remember = nullptr;
};

} // namespace varnel::gui
