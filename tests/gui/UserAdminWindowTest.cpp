// The user administration window against the sandbox server. Every account
// made here has the process id in its name and is dropped afterwards.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/MouseButtons.h"
#include "gui/UserAdminWindow.h"
#include "mysql/MySqlConnection.h"
#include "mysql/ServerAddress.h"
#include "settings/SettingsStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <unistd.h>

#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class UserAdminWindowTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;
    std::unique_ptr<MainWindow> m_main;
    MySqlConnection m_admin;
    std::string m_database;
    std::string m_prefix; // of every account made here
    int m_counter = 0;

    QString lastMessage() { return Prompts::messages().value(Prompts::messages().size() - 1); }
    // The last prompt was an OK/Cancel question with this text.
    void verifyAsked(const QString &text)
    {
        QVERIFY(!Prompts::records().empty());
        const Prompts::Record &r = Prompts::records().back();
        QCOMPARE(r.kind, Prompts::Kind::OkCancel);
        QCOMPARE(r.title, QStringLiteral("信息："));
        QCOMPARE(r.text, text);
    }
    QStringList grantsOf(const std::string &user, const std::string &host)
    {
        QStringList lines = column("SHOW GRANTS FOR " + quoteString(user) + "@" + quoteString(host));
        lines.sort();
        return lines;
    }
    // SHOW GRANTS of every account of that user name.
    QStringList everyGrantOf(const std::string &user)
    {
        QStringList lines;
        for (const QString &host : column("select Host from mysql.user where User=" + quoteString(user)))
            lines << grantsOf(user, u8(host));
        lines.sort();
        return lines;
    }
    void exec(const std::string &sql) { QVERIFY2(m_admin.execute(sql), sql.c_str()); }
    QStringList column(const std::string &sql)
    {
        QStringList out;
        if (!m_admin.execute(sql))
            return out;
        auto r = m_admin.storeResult();
        for (std::uint64_t i = 0; r && i < r->rowCount(); ++i)
            out << qs(r->cell(i, 0));
        return out;
    }
    // Accounts other test programs make meanwhile are left out of both.
    static bool foreign(const QString &user)
    {
        return user.startsWith(QStringLiteral("varnel_")) || user.startsWith(QStringLiteral("o'q"));
    }
    // The accounts of the list the window reads, in its order, as the list
    // shows them: user@host.
    QStringList serverUsers()
    {
        QStringList users;
        if (!m_admin.execute("select * from mysql.user"))
            return users;
        auto r = m_admin.storeResult();
        for (std::uint64_t i = 0; r && i < r->rowCount(); ++i) {
            r->seekRow(i);
            std::string user, host;
            r->readField("User", user);
            r->readField("Host", host);
            users << qs(user) + QLatin1Char('@') + qs(host);
        }
        users.removeIf(foreign);
        return users;
    }
    QStringList listed(UserAdminWindow *w)
    {
        QStringList out;
        for (int i = 0; i < w->list()->count(); ++i)
            out << w->list()->item(i)->text();
        out.removeIf(foreign);
        return out;
    }
    // The user of the current item (its text is user@host).
    QString current(UserAdminWindow *w)
    {
        const QString text = w->list()->currentItem() ? w->list()->currentItem()->text() : QString();
        return text.left(text.lastIndexOf(QLatin1Char('@')));
    }
    int rowOfItem(UserAdminWindow *w, const QString &text)
    {
        const auto found = w->list()->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? -1 : w->list()->row(found.front());
    }
    // The first item of the user, or -1.
    int rowOfUser(UserAdminWindow *w, const std::string &user)
    {
        for (int i = 0; i < w->list()->count(); ++i) {
            if (w->list()->item(i)->text().startsWith(qs(user) + QLatin1Char('@')))
                return i;
        }
        return -1;
    }
    static void answerDialog(const QString &text) { Prompts::queueText(text); }
    UserAdminWindow *openAdmin()
    {
        m_main->openManager();
        ManagerWindow *m = m_main->manager();
        if (!m)
            return nullptr;
        m->openUserAdmin();
        return m->userAdmin();
    }
    void fill(UserAdminWindow *w, const std::string &host, const std::string &user, const std::string &password,
        const std::string &database, const std::string &table, const QString &privileges)
    {
        w->hostBox()->setText(qs(host));
        w->userBox()->setText(qs(user));
        w->passwordBox()->setText(qs(password));
        w->databaseBox()->setText(qs(database));
        w->tableBox()->setText(qs(table));
        w->privilegesBox()->setText(privileges);
    }
    std::string tcpServer()
    {
        const auto address = parseServerAddress(m_sandbox.server);
        return "127.0.0.1:" + std::to_string(address.port);
    }

private slots:
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        test::openTestFiles(m_dir, m_settings, m_db);
        QVERIFY(m_admin.connect(m_sandbox.server, m_sandbox.user, m_sandbox.password));
        ++m_counter;
        m_prefix = "vt" + std::to_string(::getpid()) + "_" + std::to_string(m_counter) + "_u";
        m_database = m_prefix + "db";
        exec("create database `" + m_database + "`");
        exec("create table `" + m_database + "`.t (v int)");
        exec("insert into `" + m_database + "`.t values (1)");
        exec("create database `" + m_database + "2`");
        exec("create table `" + m_database + "2`.o (v int)");
        test::scriptPrompts();
        m_main = std::make_unique<MainWindow>(*m_settings, *m_db);
        m_main->form().control("编辑框服务器")->setText(m_sandbox.server);
        m_main->form().control("编辑框用户名")->setText(m_sandbox.user);
        m_main->form().control("编辑框密码")->setText(m_sandbox.password);
        m_main->show();
    }
    void cleanup()
    {
        if (m_main)
            m_main->close();
        QTest::qWait(10);
        m_main.reset();
        if (m_admin.isOpen()) {
            if (m_admin.execute("select User, Host from mysql.user where User like '" + m_prefix + "%'")) {
                auto r = m_admin.storeResult();
                for (std::uint64_t i = 0; r && i < r->rowCount(); ++i)
                    m_admin.execute("DROP USER " + quoteString(r->cell(i, 0)) + "@" + quoteString(r->cell(i, 1)));
            }
        }
        QVERIFY2(test::dropGuiTestDatabases(m_admin, m_sandbox, m_database), m_database.c_str());
        m_admin.disconnect();
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void listsTheAccountsAndShowsHints()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("用户管理（不建议操作）"));
        QCOMPARE(w->parentWidget(), static_cast<QWidget *>(m_main->manager()));
        QCOMPARE(listed(w), serverUsers());
        QVERIFY(rowOfUser(w, m_sandbox.user) >= 0);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("标签4"))->text(), QStringLiteral("用户列表："));
        QCOMPARE(w->findButton()->text(), QStringLiteral("查找.."));
        QCOMPARE(w->privilegesBox()->text(), QStringLiteral("100"));
        m_main->manager()->openUserAdmin();
        QCOMPARE(m_main->manager()->userAdmin(), w);

        const std::pair<const char *, QString> hints[] = {
            {"超级按钮5", QStringLiteral("用户相关联的主机名，如果为空文本则为所有主机")},
            {"超级按钮1",
                QStringLiteral("用户所操作的库，如果为空文本或“*”，则为所有库，如果为中文表名请在表名两边加“`”")},
            {"超级按钮2",
                QStringLiteral("用户所操作的表，当库名不为空文本或“*”时本参数可以为空文本或“*”即所有表，"
                               "如果为中文表名请在表名两边加“`”，如：`姓名`")},
            {"超级按钮3",
                QStringLiteral("用户对库或表的操作权限。如果为零则为无权限。具体权限值请参考MySql手册\n"
                               "各项的值（相加即为权限值，如 100 = 64 CREATE + 32 ALTER + 4 UPDATE）：\n"
                               "1 SELECT，2 INSERT，4 UPDATE，8 DELETE，16 INDEX，32 ALTER，64 CREATE，"
                               "128 DROP，256 REFERENCES，512 RELOAD，1024 SHUTDOWN，2048 PROCESS，"
                               "4096 FILE，8192 ALL（仅新增时）")},
        };
        for (const auto &[name, hint] : hints) {
            auto *b = w->findChild<QToolButton *>(QString::fromUtf8(name));
            QVERIFY2(b, name);
            QCOMPARE(b->toolTip(), hint);
            b->click();
            QCOMPARE(lastMessage(), hint);
        }

        // A choice shows host and user, never the password column's hash.
        w->passwordBox()->setText(QStringLiteral("typed"));
        const int root = rowOfUser(w, m_sandbox.user);
        w->list()->setCurrentRow(root);
        QCOMPARE(w->userBox()->text(), qs(m_sandbox.user));
        QCOMPARE(w->shownUser(), m_sandbox.user);
        QVERIFY(!w->hostBox()->text().isEmpty());
        QCOMPARE(w->passwordBox()->text(), QStringLiteral("typed"));
        saveScreenshot(*w, QStringLiteral("user-admin"));
    }

    // A chosen account shows the privileges it holds at the level typed,
    // and a change that would take some from the account logged in asks,
    // naming them; declined, nothing changes.
    void privilegesShownAndTheLoginAccountProtected()
    {
        const std::string other = m_prefix + "p";
        exec("CREATE USER '" + other + "'@'%'");
        exec("GRANT SELECT, INSERT, DROP ON `" + m_database + "`.* TO '" + other + "'@'%'");
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        w->list()->setCurrentRow(rowOfItem(w, qs(other) + QStringLiteral("@%")));
        QCOMPARE(w->privilegesBox()->text(), QStringLiteral("0")); // nothing globally
        w->databaseBox()->setText(qs(m_database));
        emit w->databaseBox()->editingFinished();
        QCOMPARE(w->privilegesBox()->text(), QString::number(1 + 2 + 128));
        w->databaseBox()->setText(QStringLiteral("`") + qs(m_database) + QStringLiteral("`"));
        w->tableBox()->setText(QStringLiteral("*"));
        emit w->tableBox()->editingFinished();
        QCOMPARE(w->privilegesBox()->text(), QString::number(1 + 2 + 128));
        // Another account's privileges are changed unasked.
        w->privilegesBox()->setText(QStringLiteral("1"));
        w->modifyAccount();
        QCOMPARE(test::recordedCount(Prompts::Kind::OkCancel), 0);
        QCOMPARE(grantsOf(other, "%").join(QLatin1Char('|')),
            QStringLiteral("GRANT SELECT ON `") + qs(m_database) + QStringLiteral("`.* TO `") + qs(other)
                + QStringLiteral("`@`%`|GRANT USAGE ON *.* TO `") + qs(other) + QStringLiteral("`@`%`"));

        // The account this window is logged in as.
        const QStringList self = column("select current_user()");
        QCOMPARE(self.size(), 1);
        const QString login = self.front();
        const std::string user = u8(login.left(login.lastIndexOf(QLatin1Char('@'))));
        const std::string host = u8(login.mid(login.lastIndexOf(QLatin1Char('@')) + 1));
        const QStringList before = grantsOf(user, host);
        w->databaseBox()->clear();
        w->tableBox()->clear();
        w->list()->setCurrentRow(rowOfItem(w, login));
        const int held = w->privilegesBox()->text().toInt();
        QVERIFY2((held & (1 | 2 | 4 | 8)) == (1 | 2 | 4 | 8), qPrintable(w->privilegesBox()->text()));
        // The design's 100 would leave it UPDATE, ALTER and CREATE.
        w->privilegesBox()->setText(QStringLiteral("100"));
        w->modifyAccount();
        verifyAsked(QStringLiteral("这会去掉当前登录帐号 ") + login
            + QStringLiteral(" 的权限：SELECT, INSERT, DELETE, INDEX, DROP, REFERENCES，确定吗？"));
        // A Return out of habit keeps them.
        QVERIFY(Prompts::records().back().cancelIsDefault);
        QCOMPARE(grantsOf(user, host), before);
        // What it holds already, or more: nothing taken, nothing asked.
        Prompts::clear();
        test::scriptPrompts();
        w->privilegesBox()->setText(QString::number(held));
        w->modifyAccount();
        QCOMPARE(test::recordedCount(Prompts::Kind::OkCancel), 0);
        QCOMPARE(lastMessage(), QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项"));
        QCOMPARE(grantsOf(user, host), before);
    }

    void findsWithoutCaseAndFindsNext()
    {
        const std::string a = m_prefix + "find";
        exec("CREATE USER '" + a + "'@'127.0.0.1'");
        exec("CREATE USER '" + a + "'@'localhost'");
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        answerDialog(qs(a).toUpper());
        w->findUser(false);
        QCOMPARE(w->list()->currentItem()->text(), qs(a) + QStringLiteral("@127.0.0.1"));
        QCOMPARE(w->shownUser(), a);
        QCOMPARE(w->shownHost(), std::string("127.0.0.1"));
        w->findUser(true);
        QCOMPARE(current(w), qs(a));
        QCOMPARE(w->shownHost(), std::string("localhost"));
        // Past the last match: from the first again.
        w->findUser(true);
        QCOMPARE(w->shownHost(), std::string("127.0.0.1"));
        // The right button continues as well.
        emit w->findButton()->rightReleased();
        QCOMPARE(w->shownHost(), std::string("localhost"));
        answerDialog(QStringLiteral("no-such-user"));
        w->findUser(false);
        QCOMPARE(lastMessage(), QStringLiteral("找不到输入的用户：no-such-user"));
        // The term asked for is offered again.
        w->findUser(false);
        QCOMPARE(test::lastRecorded(Prompts::Kind::Text).text, QStringLiteral("no-such-user"));
    }

    void createsModifiesAndDeletes()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        const std::string user = m_prefix + "a";
        fill(w, "%", user, "pw1", m_database, "", QStringLiteral("3"));
        w->createAccount();
        QCOMPARE(column("select Host from mysql.user where User='" + user + "'"), QStringList{QStringLiteral("%")});
        QCOMPARE(listed(w), serverUsers());
        QCOMPARE(current(w), qs(user));
        QCOMPARE(w->shownHost(), std::string("%"));
        QCOMPARE(w->shownUser(), user);

        {
            MySqlConnection as;
            QVERIFY2(as.connect(tcpServer(), user, "pw1"), as.connectError().c_str());
            QVERIFY(as.selectDatabase(m_database));
            QVERIFY(as.execute("select * from t"));
            as.storeResult();
            QVERIFY(as.execute("insert into t values (2)"));
            QVERIFY(!as.execute("insert into `" + m_database + "2`.o values (1)"));
            QVERIFY(!as.execute("delete from t"));
        }

        // The same account again.
        w->createAccount();
        QCOMPARE(lastMessage(), QStringLiteral("创建新用户失败，请确保您有创建用户的权限，或检查用户信息是否正确"));
        QCOMPARE(listed(w), serverUsers());

        // Select only, on the same database: the account shown is changed,
        // whatever the host box says once that was confirmed.
        w->hostBox()->setText(QStringLiteral("elsewhere"));
        w->privilegesBox()->setText(QStringLiteral("1"));
        Prompts::queueAnswer(true);
        w->modifyAccount();
        QCOMPARE(Prompts::messages().value(Prompts::messages().size() - 2),
            QStringLiteral("将修改的是用户 ") + qs(user)
                + QStringLiteral("@%（修改用户名或主机请删除后重新添加），继续吗？"));
        QCOMPARE(lastMessage(), QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项"));
        QCOMPARE(listed(w), serverUsers());
        QCOMPARE(current(w), qs(user));
        {
            MySqlConnection as;
            QVERIFY(as.connect(tcpServer(), user, "pw1"));
            QVERIFY(as.selectDatabase(m_database));
            QVERIFY(as.execute("select * from t"));
            as.storeResult();
            QVERIFY(!as.execute("insert into t values (3)"));
        }

        // Gone behind the window's back: the change fails.
        exec("DROP USER '" + user + "'@'%'");
        w->modifyAccount();
        QCOMPARE(lastMessage(), QStringLiteral("修改用户失败，请确保您有修改用户的权限，或检查用户信息是否正确"));
        QVERIFY(column("select User from mysql.user where User='" + user + "'").isEmpty());
        Prompts::queueAnswer(true);
        w->deleteAccount();
        QCOMPARE(lastMessage(), QStringLiteral("删除用户失败，请确保您有删除权限"));
    }

    // 修改 acts on the account shown; a user or host typed over it is not
    // taken, so the change is asked about first, naming the account.
    void modifyAsksWhenOtherNamesWereTyped()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        const std::string user = m_prefix + "m";
        fill(w, "localhost", user, "", m_database, "", QStringLiteral("1"));
        w->createAccount();
        QCOMPARE(w->shownUser(), user);
        const QStringList before = grantsOf(user, "localhost");
        const QStringList rootBefore = everyGrantOf(m_sandbox.user);
        const QString question = QStringLiteral("将修改的是用户 ") + qs(user)
            + QStringLiteral("@localhost（修改用户名或主机请删除后重新添加），继续吗？");

        // Another user typed, and Cancel: nothing changes.
        w->userBox()->setText(qs(m_sandbox.user));
        w->privilegesBox()->setText(QStringLiteral("3"));
        Prompts::clear();
        Prompts::queueAnswer(false);
        w->modifyAccount();
        QCOMPARE(Prompts::records().size(), std::size_t(1));
        verifyAsked(question);
        QCOMPARE(grantsOf(user, "localhost"), before);
        QCOMPARE(everyGrantOf(m_sandbox.user), rootBefore);
        QCOMPARE(w->shownUser(), user);

        // Another host typed, and OK: the shown account is changed.
        w->userBox()->setText(qs(user));
        w->hostBox()->setText(QStringLiteral("127.0.0.1"));
        Prompts::clear();
        Prompts::queueAnswer(true);
        w->modifyAccount();
        QCOMPARE(Prompts::messages(),
            (QStringList{
                question, QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项")}));
        const QStringList changed = {QStringLiteral("GRANT SELECT, INSERT ON `") + qs(m_database)
                + QStringLiteral("`.* TO `") + qs(user) + QStringLiteral("`@`localhost`"),
            QStringLiteral("GRANT USAGE ON *.* TO `") + qs(user) + QStringLiteral("`@`localhost`")};
        QCOMPARE(grantsOf(user, "localhost"), changed);
        QCOMPARE(everyGrantOf(m_sandbox.user), rootBefore);
        QCOMPARE(w->hostBox()->text(), QStringLiteral("localhost"));

        // The boxes name the shown account (the host in capitals): no question.
        w->hostBox()->setText(QStringLiteral("LOCALHOST"));
        w->privilegesBox()->setText(QStringLiteral("1"));
        Prompts::clear();
        w->modifyAccount();
        QCOMPARE(Prompts::messages(),
            QStringList{QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项")});
    }

    void deleteActsOnTheAccountJustMade()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        const std::string first = m_prefix + "b", second = m_prefix + "c";
        fill(w, "", first, "", m_database, "", QStringLiteral("1"));
        w->createAccount();
        fill(w, "127.0.0.1", second, "pw", m_database, "t", QStringLiteral("2"));
        w->createAccount();
        QCOMPARE(current(w), qs(second));
        QCOMPARE(w->shownHost(), std::string("127.0.0.1"));
        const QStringList before = serverUsers();
        // Boxes typed over after the create do not change the target, which
        // the question names; Cancel deletes nothing.
        w->userBox()->setText(qs(first));
        const QString question = QStringLiteral("确定要删除用户 ") + qs(second) + QStringLiteral("@127.0.0.1 吗？");
        Prompts::queueAnswer(false);
        w->deleteAccount();
        verifyAsked(question);
        QCOMPARE(serverUsers(), before);
        QCOMPARE(current(w), qs(second));
        QCOMPARE(w->shownUser(), second);

        Prompts::queueAnswer(true);
        w->deleteAccount();
        verifyAsked(question);
        QVERIFY(column("select User from mysql.user where User='" + second + "'").isEmpty());
        QCOMPARE(column("select Host from mysql.user where User='" + first + "'"), QStringList{QStringLiteral("%")});
        QCOMPARE(listed(w), serverUsers());
        QCOMPARE(serverUsers().size(), before.size() - 1);
    }

    void quotesInANameAreValues()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        const std::string user = m_prefix + "q'\\x";
        fill(w, "127.0.0.1", user, "p'w", m_database, "", QStringLiteral("1"));
        w->createAccount();
        QCOMPARE(current(w), qs(user));
        {
            MySqlConnection as;
            QVERIFY2(as.connect(tcpServer(), user, "p'w"), as.connectError().c_str());
            QVERIFY(as.selectDatabase(m_database));
        }
        w->privilegesBox()->setText(QStringLiteral("3"));
        w->modifyAccount();
        QCOMPARE(lastMessage(), QStringLiteral("修改成功！注意：修改时只能修改‘主机’、‘数据库’、‘数据表’、‘权限’几项"));
        Prompts::queueAnswer(true);
        w->deleteAccount();
        QCOMPARE(listed(w), serverUsers());
        QVERIFY(rowOfUser(w, user) < 0);
    }

    // After a delete no account is shown: neither a neighbour made current
    // nor boxes holding the deleted account's values, so a second 删除 or a
    // 修改 cannot reach an account nobody chose.
    void aDeleteLeavesNoAccountShown()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        // Accounts are listed by host: this one comes last.
        const std::string user = m_prefix + "z";
        const std::string host = "zzz" + m_prefix + ".invalid";
        fill(w, host, user, "secret", m_database, "t", QStringLiteral("3"));
        w->createAccount();
        QCOMPARE(w->list()->currentRow(), w->list()->count() - 1);
        QCOMPARE(w->shownUser(), user);
        const QStringList users = serverUsers();
        const QStringList rootBefore = everyGrantOf(m_sandbox.user);

        Prompts::clear();
        Prompts::queueAnswer(true);
        w->deleteAccount();
        QCOMPARE(Prompts::messages(),
            QStringList{QStringLiteral("确定要删除用户 ") + qs(user) + QStringLiteral("@") + qs(host)
                + QStringLiteral(" 吗？")});
        QVERIFY(column("select User from mysql.user where User='" + user + "'").isEmpty());
        QCOMPARE(listed(w), serverUsers());
        QCOMPARE(w->list()->currentRow(), -1);
        QVERIFY(!w->list()->currentItem());
        QCOMPARE(w->shownUser(), std::string());
        QCOMPARE(w->shownHost(), std::string());
        for (QLineEdit *box :
            {w->hostBox(), w->userBox(), w->passwordBox(), w->databaseBox(), w->tableBox(), w->privilegesBox()})
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        saveScreenshot(*w, QStringLiteral("user-admin-after-delete"));

        // Pressed again, with OK ready: a plain message each, nothing asked
        // (both answers are left) and nothing sent.
        Prompts::clear();
        Prompts::queueAnswer(true);
        Prompts::queueAnswer(true);
        w->deleteAccount();
        w->modifyAccount();
        QCOMPARE(Prompts::takeUnused().size(), 2);
        QCOMPARE(Prompts::messages(),
            (QStringList{QStringLiteral("请先选定一个用户再删除"), QStringLiteral("请先选定一个用户再修改")}));
        QCOMPARE(Prompts::records().front().kind, Prompts::Kind::Message);
        QCOMPARE(Prompts::records().back().kind, Prompts::Kind::Message);
        QCOMPARE(serverUsers().size(), users.size() - 1);
        QCOMPARE(everyGrantOf(m_sandbox.user), rootBefore);

        // Choosing an account shows it again.
        const int root = rowOfUser(w, m_sandbox.user);
        w->list()->setCurrentRow(root);
        QCOMPARE(w->shownUser(), m_sandbox.user);
        QCOMPARE(w->userBox()->text(), qs(m_sandbox.user));
    }

    void closingTheManagerClosesIt()
    {
        UserAdminWindow *w = openAdmin();
        QVERIFY(w);
        QPointer<UserAdminWindow> watch(w);
        QPointer<ManagerWindow> manager(m_main->manager());
        manager->close();
        QTRY_VERIFY(!manager);
        QVERIFY(!watch);
    }
};

QTEST_MAIN(UserAdminWindowTest)
#include "UserAdminWindowTest.moc"
