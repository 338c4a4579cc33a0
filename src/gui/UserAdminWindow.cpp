#include "gui/UserAdminWindow.h"

#include "gui/ConnectionSession.h"
#include "gui/InfoDialogs.h"
#include "gui/ListSearch.h"
#include "gui/ManagerWindow.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtControl.h"
#include "gui/QtText.h"
#include "gui/SvgPicture.h"
#include "gui/WindowPlace.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"
#include "util/AsciiCase.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {
namespace {

constexpr std::string_view kSection = "用户管理";
constexpr const char *kHostHint = "用户相关联的主机名，如果为空文本则为所有主机";
constexpr const char *kDatabaseHint = "用户所操作的库，如果为空文本或“*”，则为所有库，如果为中文表名请在表名两边加“`”";
constexpr const char *kTableHint = "用户所操作的表，当库名不为空文本或“*”时本参数可以为空文本或“*”即所有表，"
                                   "如果为中文表名请在表名两边加“`”，如：`姓名`";
constexpr const char *kPrivilegesHint = "用户对库或表的操作权限。如果为零则为无权限。具体权限值请参考MySql手册\n"
                                        "各项的值（相加即为权限值，如 100 = 64 CREATE + 32 ALTER + 4 UPDATE）：\n"
                                        "1 SELECT，2 INSERT，4 UPDATE，8 DELETE，16 INDEX，32 ALTER，64 CREATE，"
                                        "128 DROP，256 REFERENCES，512 RELOAD，1024 SHUTDOWN，2048 PROCESS，"
                                        "4096 FILE，8192 ALL（仅新增时）";

// "user@host", as the list shows an account.
QString accountText(const std::string &user, const std::string &host)
{
    return qs(user) + QLatin1Char('@') + qs(host);
}

// "SELECT, INSERT", the names of the bits in table order.
QString privilegeList(int mask)
{
    QStringList names;
    for (const std::string &name : sql::privilegeNames(mask))
        names << qs(name).toUpper();
    return names.join(QStringLiteral(", "));
}

QLineEdit *edit(const char *name, const char *text = "")
{
    auto *e = new QLineEdit(QString::fromUtf8(text));
    e->setObjectName(QString::fromUtf8(name));
    return e;
}

} // namespace

UserAdminWindow::UserAdminWindow(ManagerWindow &manager, ConnectionSession &session, SettingsStore &settings)
    : QWidget(&manager, Qt::Window)
    , m_settings(settings)
    , m_session(session)
{
    setObjectName(QStringLiteral("UserAdminWindow"));
    setWindowTitle(QStringLiteral("用户管理（不建议操作）"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildLayout();
    resize(std::max(358, minimumSizeHint().width()), std::max(265, minimumSizeHint().height()));
    restoreWindowPlace(*this, m_settings, kSection);
}

UserAdminWindow::~UserAdminWindow() = default;

// The account's boxes, each with its label and, where the box takes a
// pattern or a level, a button that explains it.
QGridLayout *UserAdminWindow::buildBoxes()
{
    m_host = edit("编辑框主机");
    m_user = edit("编辑框用户", "newuser");
    m_password = edit("编辑框密码", "password");
    m_database = edit("编辑框数据库");
    m_table = edit("编辑框数据表");
    m_privileges = edit("编辑框权限", "100");
    ensurePictures();
    auto hintButton = [this](const char *name, const char *hint) {
        auto *b = new QToolButton;
        b->setObjectName(QString::fromUtf8(name));
        b->setToolTip(QString::fromUtf8(hint));
        b->setIcon(svgIcon(QStringLiteral(":/varnel/help.svg"), 16));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, hint] { showHint(QString::fromUtf8(hint)); });
        return b;
    };
    struct Row {
        const char *label;
        QLineEdit *edit;
        const char *button;
        const char *hint;
    };
    const Row rows[] = {
        {"主机：", m_host, "超级按钮5", kHostHint},
        {"用户名：", m_user, nullptr, nullptr},
        {"密码：", m_password, nullptr, nullptr},
        {"数据库：", m_database, "超级按钮1", kDatabaseHint},
        {"数据表：", m_table, "超级按钮2", kTableHint},
        {"权限：", m_privileges, "超级按钮3", kPrivilegesHint},
    };
    auto *boxes = new QGridLayout;
    boxes->setHorizontalSpacing(4);
    for (int r = 0; r < 6; ++r) {
        auto *label = new QLabel(QString::fromUtf8(rows[r].label));
        label->setBuddy(rows[r].edit);
        boxes->addWidget(label, r, 0, Qt::AlignRight);
        boxes->addWidget(rows[r].edit, r, 1);
        if (rows[r].button)
            boxes->addWidget(hintButton(rows[r].button, rows[r].hint), r, 2);
    }
    boxes->setColumnStretch(1, 1);
    return boxes;
}

void UserAdminWindow::buildLayout()
{
    auto *listLabel = new QLabel(QStringLiteral("用户列表："));
    listLabel->setObjectName(QStringLiteral("标签4"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("列表框"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Wide enough for the usual accounts, user@host, without scrolling.
    m_list->setMinimumWidth(m_list->fontMetrics().horizontalAdvance(QStringLiteral("mariadb.sys@localhost__")) + 8);
    m_find = new RightButton(QStringLiteral("查找.."));
    m_find->setObjectName(QStringLiteral("按钮查找"));
    auto *left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_list, 1);
    left->addWidget(m_find);

    QGridLayout *boxes = buildBoxes();

    auto *create = new QPushButton(QStringLiteral("新增"));
    create->setObjectName(QStringLiteral("按钮新增"));
    auto *modify = new QPushButton(QStringLiteral("修改"));
    modify->setObjectName(QStringLiteral("按钮修改"));
    auto *remove = new QPushButton(QStringLiteral("删除"));
    remove->setObjectName(QStringLiteral("按钮删除"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(create);
    buttons->addWidget(modify);
    buttons->addWidget(remove);

    auto *right = new QVBoxLayout;
    right->addLayout(boxes);
    right->addStretch(1);
    right->addLayout(buttons);

    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(8, 8, 8, 8);
    h->addLayout(left, 2);
    h->addSpacing(6);
    h->addLayout(right, 3);

    connect(m_list, &QListWidget::currentRowChanged, this, &UserAdminWindow::showSelectedAccount);
    // Another level typed: its privileges are the ones shown.
    for (QLineEdit *level : {m_database, m_table})
        connect(level, &QLineEdit::editingFinished, this, &UserAdminWindow::showPrivileges);
    connect(m_find, &QPushButton::clicked, this, [this] { findUser(false); });
    connect(m_find, &RightButton::rightReleased, this, [this] { findUser(true); });
    connect(create, &QPushButton::clicked, this, &UserAdminWindow::createAccount);
    connect(modify, &QPushButton::clicked, this, &UserAdminWindow::modifyAccount);
    connect(remove, &QPushButton::clicked, this, &UserAdminWindow::deleteAccount);
}

// --- state ------------------------------------------------------------------

std::string UserAdminWindow::shownHost() const
{
    return LineEditControl(m_host).tag();
}

std::string UserAdminWindow::shownUser() const
{
    return LineEditControl(m_user).tag();
}

void UserAdminWindow::message(const QString &text)
{
    {
        BusyScope busy(m_busy);
        Prompts::message(this, text, qs(kDefaultCaption), MessageIcon::None);
    }
    closeWhenIdle(*this, m_busy);
}

bool UserAdminWindow::ask(const QString &text, bool cancelIsDefault)
{
    bool ok = false;
    {
        BusyScope busy(m_busy);
        ok = Prompts::okCancel(this, text, qs(kDefaultCaption), MessageIcon::None, cancelIsDefault);
    }
    if (!ok)
        closeWhenIdle(*this, m_busy);
    return ok;
}

void UserAdminWindow::showHint(const QString &hint)
{
    message(hint);
}

void UserAdminWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy.busy()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
    }
    m_accounts.clear();
    saveWindowPlace(*this, m_settings, kSection);
    event->accept();
}

// --- the list ---------------------------------------------------------------

void UserAdminWindow::readUserList()
{
    if (!reloadUsers({}, {}, -1))
        message(QStringLiteral("获取用户列表失败，请检查当前登录的帐号是否有此权限！"));
}

bool UserAdminWindow::reloadUsers(const std::string &host, const std::string &user, int fallback)
{
    std::optional<std::vector<Account>> accounts = listAccounts(m_session.db());
    if (!accounts)
        return false;
    m_accounts = std::move(*accounts);
    // Item k is row k: the items are made anew from every list read.
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
        // The same user may come from several hosts: each item says which.
        for (const Account &account : m_accounts)
            m_list->addItem(accountText(account.user, account.host));
    }
    int row = user.empty() && host.empty() ? -1 : rowOf(host, user);
    if (row < 0)
        row = fallback < m_list->count() ? fallback : 0;
    if (m_list->count() == 0)
        row = -1;
    setCurrentRow(row);
    return true;
}

int UserAdminWindow::rowOf(const std::string &host, const std::string &user) const
{
    for (std::size_t r = 0; r < m_accounts.size(); ++r) {
        // Host names are kept in small letters by the server.
        if (m_accounts[r].user == user && equalsIgnoringAsciiCase(m_accounts[r].host, host))
            return static_cast<int>(r);
    }
    return -1;
}

void UserAdminWindow::setCurrentRow(int row)
{
    {
        const QSignalBlocker block(m_list);
        m_list->setCurrentRow(row);
    }
    if (row >= 0)
        m_list->scrollToItem(m_list->item(row));
    showSelectedAccount();
}

void UserAdminWindow::showNoAccount()
{
    // Nothing chosen after a delete: boxes still holding the deleted
    // account's values, or a neighbour made current, would let the next
    // 修改 or 删除 act on an account nobody chose.
    setCurrentRow(-1);
    for (QLineEdit *box : {m_host, m_user}) {
        LineEditControl control(box);
        control.setText("");
        control.setTag("");
    }
    for (QLineEdit *box : {m_password, m_database, m_table, m_privileges})
        box->clear();
}

void UserAdminWindow::showSelectedAccount()
{
    const int row = m_list->currentRow();
    LineEditControl host(m_host), user(m_user);
    if (row < 0 || static_cast<std::size_t>(row) >= m_accounts.size()) {
        // No account left to show: nothing names one.
        if (m_list->count() == 0) {
            for (LineEditControl *box : {&host, &user}) {
                box->setText("");
                box->setTag("");
            }
            m_password->clear();
        }
        return;
    }
    const Account &account = m_accounts[static_cast<std::size_t>(row)];
    const std::string h = account.host;
    const std::string u = account.user;
    host.setText(h);
    host.setTag(h);
    user.setText(u);
    user.setTag(u);
    // The list's password column holds a hash, never the password: the box
    // is left as it is.
    showPrivileges();
}

void UserAdminWindow::showPrivileges()
{
    const std::string user = shownUser(), host = shownHost();
    if (m_list->currentRow() < 0 || user.empty())
        return;
    // What the account holds at the level the boxes name, so 修改 starts
    // from the account's own privileges and not from a leftover value.
    if (const auto mask = readPrivileges(m_session.db(), user, host, u8(m_database->text()), u8(m_table->text())))
        m_privileges->setText(QString::number(*mask));
}

// The privileges a change would take from the account this window is
// logged in as; 0 when it changes another account or takes none.
int UserAdminWindow::privilegesTakenFromSelf(const std::string &user, const std::string &host, int mask)
{
    const std::optional<Account> self = currentAccount(m_session.db());
    if (!self || self->user != user || !equalsIgnoringAsciiCase(self->host, sql::accountHost(host)))
        return 0;
    const std::string database = u8(m_database->text()), table = u8(m_table->text());
    const std::optional<int> held = readPrivileges(m_session.db(), user, host, database, table);
    // Not known: every privilege the change sets counts as held.
    return held.value_or(~0) & ~mask & replacedPrivileges(database, table);
}

// --- accounts ---------------------------------------------------------------

void UserAdminWindow::createAccount()
{
    const int mask = sql::privilegeMaskFromText(u8(m_privileges->text()));
    const std::string host = u8(m_host->text());
    const std::string user = u8(m_user->text());
    if (!m_session.db().grantUser(
            host, user, u8(m_password->text()), u8(m_database->text()), u8(m_table->text()), mask)) {
        message(QStringLiteral("创建新用户失败，请确保您有创建用户的权限，或检查用户信息是否正确"));
        return;
    }
    reloadUsers(sql::accountHost(host), user, m_list->currentRow());
}

void UserAdminWindow::modifyAccount()
{
    if (m_list->currentRow() < 0) {
        message(QStringLiteral("请先选定一个用户再修改"));
        return;
    }
    const int mask = sql::privilegeMaskFromText(u8(m_privileges->text()));
    const std::string host = shownHost();
    const std::string user = shownUser();
    // The change goes to the account shown, never to a user or host typed
    // over it: when they differ, say which account that is before going on.
    const bool typedOther = u8(m_user->text()) != user
        || !equalsIgnoringAsciiCase(sql::accountHost(u8(m_host->text())), sql::accountHost(host));
    if (typedOther
        && !ask(QStringLiteral("将修改的是用户 ") + qs(user) + QStringLiteral("@") + qs(host)
            + QStringLiteral("（修改用户名或主机请删除后重新添加），继续吗？")))
        return;
    // Taking privileges from the account this window works through can
    // lock the user out of the server: asked first.
    if (const int taken = privilegesTakenFromSelf(user, host, mask); taken != 0
        && !ask(QStringLiteral("这会去掉当前登录帐号 ") + accountText(user, sql::accountHost(host))
                + QStringLiteral(" 的权限：") + privilegeList(taken) + QStringLiteral("，确定吗？"),
            true))
        return;
    if (!m_session.db().setUserPrivileges(user, host, u8(m_database->text()), u8(m_table->text()), mask)) {
        message(QStringLiteral("修改用户失败，请确保您有修改用户的权限，或检查用户信息是否正确"));
        return;
    }
    reloadUsers(host, user, m_list->currentRow());
    message(QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项"));
}

void UserAdminWindow::deleteAccount()
{
    if (m_list->currentRow() < 0) {
        message(QStringLiteral("请先选定一个用户再删除"));
        return;
    }
    const std::string host = shownHost();
    const std::string user = shownUser();
    if (!ask(QStringLiteral("确定要删除用户 ") + qs(user) + QStringLiteral("@") + qs(host) + QStringLiteral(" 吗？")))
        return;
    if (!m_session.db().deleteUser(user, host)) {
        message(QStringLiteral("删除用户失败，请确保您有删除权限"));
        return;
    }
    reloadUsers({}, {}, -1);
    showNoAccount();
    closeWhenIdle(*this, m_busy);
}

void UserAdminWindow::findUser(bool next)
{
    ButtonControl button(m_find);
    const int found = searchList(this, m_busy, button, *m_list, m_list->currentRow(), next,
        {QStringLiteral("输入要定位的用户名称(右击按钮继续查找)："), QStringLiteral("找不到输入的用户：")});
    if (found < 0) {
        closeWhenIdle(*this, m_busy);
        return;
    }
    setCurrentRow(found);
    m_list->setFocus(Qt::OtherFocusReason);
    closeWhenIdle(*this, m_busy);
}

} // namespace varnel::gui
