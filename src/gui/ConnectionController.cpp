#include "gui/ConnectionController.h"

#include "form/MainControls.h"
#include "gui/BusyScope.h"
#include "gui/ConnectionSession.h"
#include "gui/HelpTexts.h"
#include "gui/InfoDialogs.h"
#include "gui/NamePicker.h"
#include "gui/PasswordDialog.h"
#include "gui/PasswordKeyring.h"
#include "gui/Prompts.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"
#include "gui/WindowPump.h"
#include "mysql/ConnectErrors.h"
#include "mysql/MySqlConnection.h"
#include "mysql/ServerError.h"
#include "text/TextUtil.h"
#include "transfer/ConnectSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

namespace varnel::gui {
namespace {

constexpr std::string_view kConnectIdle = "建立连接";
// The server's "Access denied": a wrong or missing password, or no such user.
constexpr unsigned kAccessDenied = errnum::kAccessDenied;

} // namespace

ConnectionController::ConnectionController(const MainParts &parts)
    : QObject(&parts.window)
    , m_parts(parts)
{
    connect(&m_parts.session, &ConnectionSession::serverLost, this, &ConnectionController::serverLost);
    // Settings files of older versions keep the pickers' lists under their
    // buttons; a list from another session is never offered, so they go as
    // soon as the names are forgotten.
    connect(&m_parts.session, &ConnectionSession::namesForgotten, this, [this] {
        for (std::string_view button : {ctl::kDatabaseListButton, ctl::kTableListButton})
            m_parts.form.control(button)->setTag("");
    });
}

void ConnectionController::setConnectedButtons(bool enabled)
{
    for (std::string_view name : {ctl::kDatabaseListButton, ctl::kTableListButton, ctl::kReadFieldsButton,
             ctl::kImportButton, ctl::kExportButton})
        m_parts.form.control(name)->setEnabled(enabled);
}

void ConnectionController::connectAction()
{
    Control *button = m_parts.form.control(ctl::kConnectButton);
    if (m_parts.session.isOpen()) {
        // A run, or a name list being read, uses the connection until it
        // has ended.
        if (m_parts.session.runActive() || m_parts.busy.busy()) {
            m_disconnectPending = true;
            emit runStopRequested();
            return;
        }
        disconnectNow();
        return;
    }
    const Result<ConnectOptions> options = connectOptionsOf(m_parts.form);
    if (!options) {
        showInfoText(nullptr, QStringLiteral("连接到MySQL失败"), qs(options.error().message));
        return;
    }
    m_parts.session.db().setConnectOptions(*options);
    button->setEnabled(false);
    button->setText("正在连接..");
    m_parts.window.repaint();
    bool ok = false;
    {
        // The keyring is waited for with events handled: a close asked for
        // meanwhile waits for the connect.
        BusyScope busy(m_parts.busy);
        ok = openWithLogin();
    }
    button->setEnabled(true);
    if (m_parts.busy.closePending()) {
        emit listReadEnded();
        return;
    }
    if (ok) {
        setConnectedButtons(true);
        button->setText("断开连接");
        return;
    }
    button->setText(kConnectIdle);
    // A refusal over encryption is followed by what to check of it, not by
    // the ports and accounts of the general help.
    const unsigned number = m_parts.session.db().connectErrorNumber();
    if (isTlsRefusal(number)) {
        showInfoText(nullptr, QStringLiteral("连接到MySQL失败"),
            qs(m_parts.session.openError()) + QStringLiteral("\r\n\r\n")
                + qs(replaceAll(tlsAdvice(number, *options, controlText(m_parts.form, ctl::kServer)), "\n", "\r\n")),
            QStringLiteral("请检查加密连接设置（“加密”按钮：加密方式、CA 证书）与服务器的加密设置！"));
        return;
    }
    // Where encryption was asked for, its settings are as likely a cause as
    // the login.
    const SslMode mode = options->effectiveSslMode();
    const bool encrypted = mode != SslMode::Unset && mode != SslMode::Disabled;
    showInfoText(nullptr, QStringLiteral("连接到MySQL失败"),
        qs(m_parts.session.openError()) + QStringLiteral("\r\n") + connectionHelpText(),
        encrypted ? QStringLiteral("请检查服务器地址、用户名、密码，以及加密连接设置（“加密”按钮：加密方式、CA "
                                   "证书）是否有误，或该服务器是否限制远程连接！")
                  : QStringLiteral("请检查服务器地址、用户名、密码是否有误，或该服务器是否限制远程连接（也就是只能在"
                                   "服务器上连接）！"));
}

bool ConnectionController::openWithLogin()
{
    const std::string server = controlText(m_parts.form, ctl::kServer);
    const std::string user = controlText(m_parts.form, ctl::kUser);
    std::string password = controlText(m_parts.form, ctl::kPassword);
    const bool boxEmpty = password.empty();
    bool keyringAnswered = false;
    if (boxEmpty) {
        const std::string login = user + "@" + server;
        if (const auto typed = m_sessionPasswords.find(login); typed != m_sessionPasswords.end()) {
            password = typed->second;
        } else {
            const PasswordKeyring::Lookup kept = PasswordKeyring::read(qs(user), qs(server));
            keyringAnswered = kept.outcome != PasswordKeyring::Outcome::NoKeyring;
            if (kept.outcome == PasswordKeyring::Outcome::Done)
                password = u8(kept.password);
        }
    }
    if (m_parts.session.open(server, user, password))
        return true;
    // A password the user typed into the box was refused as it is; only a
    // login without one of its own is asked for.
    if (!boxEmpty || m_parts.session.db().connectErrorNumber() != kAccessDenied)
        return false;
    if (!keyringAnswered) {
        // Asked again only to learn where 记住密码 would keep it.
        keyringAnswered = PasswordKeyring::read(qs(user), qs(server)).outcome != PasswordKeyring::Outcome::NoKeyring;
    }
    const std::optional<PasswordDialog::Answer> answer =
        PasswordDialog::ask(&m_parts.window, qs(user), qs(server), qs(m_parts.session.openError()),
            keyringAnswered ? PasswordDialog::Keeping::Keyring : PasswordDialog::Keeping::SettingsFile);
    if (!answer || !m_parts.session.open(server, user, u8(answer->password)))
        return false;
    keepAnswered(user, server, answer->password, answer->remember, keyringAnswered);
    return true;
}

void ConnectionController::keepAnswered(
    const std::string &user, const std::string &server, const QString &password, bool remember, bool keyringAnswered)
{
    const std::string login = user + "@" + server;
    if (!remember) {
        m_sessionPasswords[login] = u8(password);
        return;
    }
    m_sessionPasswords.erase(login);
    if (keyringAnswered && PasswordKeyring::write(qs(user), qs(server), password) == PasswordKeyring::Outcome::Done)
        return;
    // No keyring: the password box keeps it, in the settings file as before.
    m_parts.form.control(ctl::kPasswordNotStored)->setChecked(false);
    m_parts.form.control(ctl::kPassword)->setText(u8(password));
    if (!m_toldNoKeyring) {
        m_toldNoKeyring = true;
        Prompts::message(&m_parts.window,
            QStringLiteral("没有找到桌面的密钥环（Secret Service），密码将像以前一样以明文保存在设置文件中。"),
            qs(kDefaultCaption), MessageIcon::None);
    }
}

void ConnectionController::disconnectNow()
{
    m_disconnectPending = false;
    // The manager and the table creation window go with the connection
    // (saved, through their close); a loop of theirs still running closes
    // them when it has returned.
    emit disconnecting();
    m_parts.session.close();
    setConnectedButtons(false);
    m_parts.form.control(ctl::kConnectButton)->setText(kConnectIdle);
}

void ConnectionController::disconnectIfAsked()
{
    if (m_disconnectPending)
        disconnectNow();
}

// A statement found the server gone and connecting again failed: the
// connection is closed already. What the action that sent it would still say
// is not shown; when it has returned, the window goes back to its
// disconnected state and says why.
void ConnectionController::serverLost(const QString &reason)
{
    Prompts::setMuted(true);
    QTimer::singleShot(0, this, [this, reason] {
        Prompts::setMuted(false);
        if (m_parts.session.runActive() || m_parts.busy.busy())
            m_disconnectPending = true;
        else
            disconnectNow();
        Prompts::message(&m_parts.window, QStringLiteral("与 MySQL 服务器的连接已断开，重新连接失败：") + reason,
            qs(kDefaultCaption), MessageIcon::None);
    });
}

// Reads the database or table names, with events handled between rows;
// nothing when the server refused.
std::optional<NameList> ConnectionController::readNameList(bool tables)
{
    const std::string_view buttonName = tables ? ctl::kTableListButton : ctl::kDatabaseListButton;
    Control &button = *m_parts.form.control(buttonName);
    const std::string caption = button.text();
    button.setText("读取中");
    // Disabling the focused button would hand the focus on along the chain,
    // to the password box with its text selected; it waits here instead.
    QWidget *pressed = m_parts.form.widget(buttonName);
    const bool hadFocus = pressed->hasFocus();
    if (hadFocus)
        pressed->clearFocus();
    button.setEnabled(false);
    BusyScope busy(m_parts.busy);
    ThrottledPump pump = windowPump();
    std::optional<NameList> names = tables
        ? m_parts.session.catalog().tables(controlText(m_parts.form, ctl::kDatabase), pump.callback())
        : m_parts.session.catalog().databases(pump.callback());
    button.setText(caption);
    button.setEnabled(true);
    if (hadFocus && !QApplication::focusWidget())
        pressed->setFocus(Qt::OtherFocusReason);
    return names;
}

bool ConnectionController::listReadFinished()
{
    // A close or a disconnect asked for while the names were read is carried
    // out now, and then no list is offered.
    const bool closing = m_parts.busy.closePending();
    emit listReadEnded();
    return !closing && m_parts.session.isOpen() && !m_parts.busy.closePending();
}

void ConnectionController::tablePicker()
{
    if (!m_parts.session.isOpen())
        return;
    const std::string key = controlText(m_parts.form, ctl::kServer) + controlText(m_parts.form, ctl::kDatabase);
    // The list offered is the one read here, or the one kept: a list
    // forgotten while a box was open after the read is still the one read.
    NameList offered;
    if (const NameList *kept = m_parts.session.tableNames(key)) {
        offered = *kept;
    } else {
        std::optional<NameList> names = readNameList(true);
        if (!names) {
            Prompts::message(&m_parts.window,
                QStringLiteral("获取表名列表失败！请检查设置的库名是否正确，或连接是否有效（重新连接试试）"),
                qs(kDefaultCaption), MessageIcon::None);
            emit listReadEnded();
            return;
        }
        offered = *names;
        m_parts.session.keepTableNames(key, std::move(*names));
        if (!listReadFinished())
            return;
    }
    putPickedName(ctl::kTable, NamePicker::pick(&m_parts.window, offered));
}

void ConnectionController::databasePicker()
{
    if (!m_parts.session.isOpen())
        return;
    NameList offered;
    if (m_parts.session.databaseNames()) {
        offered = *m_parts.session.databaseNames();
    } else {
        std::optional<NameList> names = readNameList(false);
        if (!names) {
            Prompts::message(&m_parts.window, QStringLiteral("获取库名列表失败！请检查连接是否有效（重新连接试试）"),
                qs(kDefaultCaption), MessageIcon::None);
            emit listReadEnded();
            return;
        }
        offered = *names;
        m_parts.session.keepDatabaseNames(std::move(*names));
        if (!listReadFinished())
            return;
    }
    putPickedName(ctl::kDatabase, NamePicker::pick(&m_parts.window, offered));
}

// The name goes into its box, and the typing goes on there, after the name.
void ConnectionController::putPickedName(std::string_view boxName, const QString &name)
{
    if (name.isEmpty())
        return;
    m_parts.form.control(boxName)->setText(u8(name));
    auto *box = m_parts.form.widgetAs<QLineEdit>(boxName);
    box->setFocus(Qt::OtherFocusReason);
    box->deselect();
    box->end(false);
}

} // namespace varnel::gui
