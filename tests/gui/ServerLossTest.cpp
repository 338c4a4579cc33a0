// The main window when its server goes away: statements of the window
// connect again and go on; when the server stays away the window says so
// once, in place of what the action would have blamed, and goes back to its
// disconnected state. Each test has a server of its own to kill.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"
#include "support/ThrowawayServer.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

using namespace varnel;
using namespace varnel::gui;

class ServerLossTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ThrowawayServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;

    std::unique_ptr<MainWindow> openConnected()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_db);
        w->form().control("编辑框服务器")->setText(m_server->address());
        w->form().control("编辑框用户名")->setText("root");
        w->form().control("编辑框密码")->setText("");
        w->form().control("编辑框库名")->setText("d");
        w->form().control("编辑框表名")->setText("t");
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->show();
        w->connectAction();
        return w;
    }
    // The window is back in its disconnected state.
    static void expectDisconnected(MainWindow &w, MySqlConnection &db)
    {
        QVERIFY(!db.isOpen());
        QCOMPARE(w.form().control("按钮建立连接")->text(), std::string("建立连接"));
        for (const char *name : {"按钮库列表", "按钮表列表", "按钮读表字段", "按钮导入", "按钮导出"})
            QVERIFY2(!w.form().widget(name)->isEnabled(), name);
    }
    static const QString &lostMessage()
    {
        static const QString prefix = QStringLiteral("与 MySQL 服务器的连接已断开，重新连接失败：");
        return prefix;
    }

private slots:
    void init()
    {
        if (!test::mariadbInstalled()) {
            if (test::guiInCi())
                QFAIL("no MariaDB server installed");
            QSKIP("no MariaDB server installed");
        }
        m_server = std::make_unique<test::ThrowawayServer>();
        QCOMPARE(m_server->error(), std::string());
        MySqlConnection admin;
        QVERIFY(admin.connect(m_server->address(), "root", ""));
        QVERIFY(admin.execute("create database d"));
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(m_dir->path()).mkpath(QStringLiteral("articles"));
        QFile f(m_dir->filePath(QStringLiteral("articles/一.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("正文");
        f.close();
        m_settings = std::make_unique<SettingsStore>();
        m_settings->open(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        m_db = std::make_unique<MySqlConnection>();
        test::scriptPrompts();
    }
    void cleanup()
    {
        Prompts::setMuted(false);
        test::closeTestFiles(m_dir, m_settings, m_db);
        m_server.reset();
        test::verifyPromptsUsed();
    }

    // A restarted server: the pickers and a run find it again by themselves.
    void restartedServerIsReachedAgain()
    {
        auto w = openConnected();
        QVERIFY(m_db->isOpen());
        m_server->kill();
        QVERIFY(m_server->start());

        w->databasePicker();
        const QStringList names = test::lastRecorded(Prompts::Kind::Pick).items;
        QVERIFY2(names.contains(QStringLiteral("d")), qPrintable(names.join(u',')));
        QCOMPARE(Prompts::messages(), QStringList());

        m_server->kill();
        QVERIFY(m_server->start());
        w->importPressed(false);
        QCOMPARE(Prompts::messages(), QStringList{QStringLiteral("导入完成，已导入 1 篇文章，当前表有 1 条记录！")});
        QCOMPARE(w->form().control("按钮建立连接")->text(), std::string("断开连接"));
    }

    // A server that stays away: one message that says so, never one that
    // blames the database name, and the window disconnected.
    void serverThatStaysAwayDisconnectsTheWindow()
    {
        for (int action = 0; action < 3; ++action) {
            auto w = openConnected();
            QVERIFY(m_db->isOpen());
            test::scriptPrompts();
            w->form().widget("编辑框文章目录")->setFocus();
            m_server->kill();
            if (action == 0)
                w->importPressed(false);
            else if (action == 1)
                w->exportPressed();
            else
                w->tablePicker();
            QTRY_VERIFY(!Prompts::messages().isEmpty());
            const QStringList messages = Prompts::messages();
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages[0].startsWith(lostMessage()), qPrintable(messages[0]));
            QVERIFY(messages[0].size() > lostMessage().size());
            expectDisconnected(*w, *m_db);
            // Nothing the user typed is pointed at.
            QVERIFY(w->focusWidget() != w->form().widget("编辑框库名"));
            QVERIFY(m_server->start());
        }
    }
};

QTEST_MAIN(ServerLossTest)
#include "ServerLossTest.moc"
