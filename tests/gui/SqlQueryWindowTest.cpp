// The SQL window against the sandbox server.
#include "GuiSupport.h"

#include "admin/SqlText.h"
#include "gui/MainWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/ResultTableModel.h"
#include "gui/SqlQueryWindow.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <unistd.h>

#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class SqlQueryWindowTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;
    std::unique_ptr<MainWindow> m_main;
    MySqlConnection m_admin;
    std::string m_database;
    std::vector<std::string> m_sent;
    int m_counter = 0;

    QString lastMessage() { return Prompts::messages().value(Prompts::messages().size() - 1); }
    void exec(const std::string &sql) { QVERIFY2(m_admin.execute(sql), sql.c_str()); }
    std::string savedText()
    {
        SettingsStore saved;
        saved.openReadOnly(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        saved.setSection("SQL查询");
        return saved.readText("语句", "(none)");
    }
    ManagerWindow *openManager()
    {
        m_main->openManager();
        return m_main->manager();
    }
    SqlQueryWindow *openSql()
    {
        ManagerWindow *m = openManager();
        if (!m)
            return nullptr;
        m->openSqlWindow();
        return m->sqlWindow();
    }
    QStringList rowTexts(SqlQueryWindow *w, int column)
    {
        QStringList out;
        for (int i = 0; i < w->runList()->topLevelItemCount(); ++i)
            out << w->runList()->topLevelItem(i)->text(column);
        return out;
    }
    void chooseRow(SqlQueryWindow *w, int row) { w->runList()->setCurrentItem(w->runList()->topLevelItem(row)); }
    QStringList modelColumn(SqlQueryWindow *w, int column)
    {
        QStringList out;
        for (int r = 0; r < w->resultModel()->rowCount(); ++r)
            out << w->resultModel()->cellText(r, column);
        return out;
    }

private slots:
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        test::openTestFiles(m_dir, m_settings, m_db);
        m_sent.clear();
        m_db->setStatementObserver([this](std::string_view s) { m_sent.emplace_back(s); });
        QVERIFY(m_admin.connect(m_sandbox.server, m_sandbox.user, m_sandbox.password));
        m_database = "vt" + std::to_string(::getpid()) + "_" + std::to_string(++m_counter) + "_q";
        exec("create database `" + m_database + "`");
        exec("create table `" + m_database + "`.t (v int, s varchar(20))");
        exec("insert into `" + m_database + "`.t values (1,'a\\tb'),(2,'中文')");
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
        QVERIFY2(test::dropGuiTestDatabases(m_admin, m_sandbox, m_database), m_database.c_str());
        m_admin.disconnect();
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void opensWithTheDesignTextAndKeepsTheText()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        ManagerWindow *m = m_main->manager();
        QCOMPARE(w->windowTitle(), QStringLiteral("SQL查询"));
        QCOMPARE(w->parentWidget(), static_cast<QWidget *>(m));
        QVERIFY(w->isWindow());
        QCOMPARE(w->statementText(), std::string(sqlDesignText()));
        QCOMPARE(w->findChild<QGroupBox *>(QStringLiteral("分组框执行"))->title(),
            QStringLiteral("SQL 语句查询 - 一行一条SQL语句"));
        QCOMPARE(w->findChild<QGroupBox *>(QStringLiteral("分组框结果"))->title(),
            QStringLiteral("   执行成功后，单击语句项，即可在这里显示返回的数据"));
        QCOMPARE(w->findChild<QToolButton *>(QStringLiteral("按钮刷新结果"))->toolTip(), QStringLiteral("刷新结果"));
        QCOMPARE(w->runList()->headerItem()->text(0), QStringLiteral("序号"));
        QCOMPARE(w->runList()->headerItem()->text(1), QStringLiteral("SQL 语句"));
        QCOMPARE(w->runList()->headerItem()->text(2), QStringLiteral("执行结果"));
        // One window: opening again raises it.
        m->openSqlWindow();
        QCOMPARE(m->sqlWindow(), w);

        // Paste replaces everything; clear empties.
        QApplication::clipboard()->setText(QStringLiteral("select 1;\r\nselect 2;"));
        w->pasteClipboard();
        QCOMPARE(w->statementText(), std::string("select 1;\r\nselect 2;"));
        w->clearText();
        QCOMPARE(w->statementText(), std::string());

        const std::string text = "select 1;\t//one\r\n\r\nselect '中文';";
        w->setStatementText(text);
        QPointer<SqlQueryWindow> watch(w);
        w->close();
        QTRY_VERIFY(!watch);
        QCOMPARE(savedText(), text);
        w = openSql();
        QVERIFY(w);
        QCOMPARE(w->statementText(), text);
    }

    void runsLineByLineAndShowsEachResult()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        w->setStatementText("USE `" + m_database + "`; //选库\r\n\r\nselect v, s from t order by v\r\n"
            + "select nosuch from t\r\n   \r\nselect a,\r\nb from (select 1 a, 2 b) x\r\n"
            + "insert into t values (9, 'z')\r\n");
        w->findChild<QPushButton *>(QStringLiteral("按钮执行"))->click();
        QCOMPARE(rowTexts(w, 0),
            (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                QStringLiteral("6"), QStringLiteral("7")}));
        QCOMPARE(rowTexts(w, 1).at(0), QStringLiteral("USE `") + qs(m_database) + QStringLiteral("`;  "));
        QCOMPARE(rowTexts(w, 1).at(3), QStringLiteral(" "));
        QCOMPARE(rowTexts(w, 1).at(4), QStringLiteral("select a,b from (select 1 a, 2 b) x"));
        const QString ok = QStringLiteral("执行成功！"), failed = QStringLiteral("执行失败！");
        QCOMPARE(rowTexts(w, 2), (QStringList{ok, ok, failed, failed, ok, ok}));
        // Sent as typed, the comment cut away.
        QVERIFY(std::find(m_sent.begin(), m_sent.end(), "USE `" + m_database + "`;  ") != m_sent.end());
        QCOMPARE(m_admin.execute("select count(*) from `" + m_database + "`.t where v=9"), true);
        QCOMPARE(qs(m_admin.storeResult()->cell(0, 0)), QStringLiteral("1"));

        chooseRow(w, 1);
        QCOMPARE(w->resultModel()->titles(), (QStringList{QStringLiteral("v"), QStringLiteral("s")}));
        QCOMPARE(modelColumn(w, 0), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(modelColumn(w, 1), (QStringList{QStringLiteral("a\tb"), QStringLiteral("中文")}));
        chooseRow(w, 4);
        QCOMPARE(w->resultModel()->titles(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(w->resultModel()->cellText(0, 1), QStringLiteral("2"));
        // No rows: an empty list; a failed line: nothing either.
        chooseRow(w, 5);
        QCOMPARE(w->resultModel()->rowCount(), 0);
        chooseRow(w, 2);
        QCOMPARE(w->resultModel()->rowCount(), 0);

        // A result can be shown again, as often as wanted.
        chooseRow(w, 1);
        w->resultModel()->clear();
        w->findChild<QToolButton *>(QStringLiteral("按钮刷新结果"))->click();
        QCOMPARE(w->resultModel()->rowCount(), 2);
        saveScreenshot(*w, QStringLiteral("sql-window"));

        // Copying and saving, as the viewer does.
        QCOMPARE(w->copyText(false), QStringLiteral("1\t\"a\tb\"\r\n2\t中文\r\n"));
        w->resultView()->selectionModel()->select(
            w->resultModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(w->copyText(true), QStringLiteral("2\t中文\r\n"));
        w->resultMenu()->findChild<QAction *>(QStringLiteral("复制全部"))->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t\"a\tb\"\r\n2\t中文\r\n"));
        w->resultMenu()->findChild<QAction *>(QStringLiteral("复制选定"))->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("2\t中文\r\n"));
        QStringList menu;
        for (QAction *a : w->resultMenu()->actions())
            menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(menu,
            (QStringList{QStringLiteral("复制选定"), QStringLiteral("复制全部"), QStringLiteral("-"),
                QStringLiteral("导出 Csv")}));
        const QString csv = m_dir->filePath(QStringLiteral("r.csv"));
        Prompts::queueFile(csv);
        w->resultMenu()->findChild<QAction *>(QStringLiteral("导出 Csv"))->trigger();
        QCOMPARE(lastMessage(), QStringLiteral("保存成功！"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\"v\"\t\"s\"\r\n1\t\"a\tb\"\r\n2\t\xD6\xD0\xCE\xC4\r\n"));
        Prompts::queueFile(m_dir->filePath(QStringLiteral("no/such/r.csv")));
        w->exportCsv();
        QCOMPARE(lastMessage(), QStringLiteral("保存失败！"));

        // The next run lets the old rows go first.
        w->setStatementText("select 5");
        w->runStatements();
        QCOMPARE(w->runList()->topLevelItemCount(), 1);
        QCOMPARE(w->resultModel()->rowCount(), 0);
        chooseRow(w, 0);
        QCOMPARE(w->resultModel()->cellText(0, 0), QStringLiteral("5"));
    }

    // A typo and a missing table both fail; the server's number and words
    // for each are beside its row and on the status line.
    void aFailedLineSaysWhy()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        w->setStatementText("USE `" + m_database + "`\r\nselec 1\r\nselect * from nosuch\r\nselect 1");
        w->runStatements();
        const QString ok = QStringLiteral("执行成功！"), failed = QStringLiteral("执行失败！");
        QCOMPARE(rowTexts(w, 2), (QStringList{ok, failed, failed, ok}));
        QTreeWidgetItem *typo = w->runList()->topLevelItem(1);
        QTreeWidgetItem *missing = w->runList()->topLevelItem(2);
        QVERIFY2(typo->toolTip(2).startsWith(QStringLiteral("错误 1064：")), qPrintable(typo->toolTip(2)));
        QCOMPARE(missing->toolTip(2),
            QStringLiteral("错误 1146：表 '") + qs(m_database) + QStringLiteral(".nosuch' 不存在"));
        QCOMPARE(typo->toolTip(0), typo->toolTip(2));
        QVERIFY(w->runList()->topLevelItem(3)->toolTip(2).isEmpty());
        // After the run: the last line that failed.
        QCOMPARE(w->statusLine()->text(), QStringLiteral("序号 3 执行失败！") + missing->toolTip(2));
        chooseRow(w, 1);
        QCOMPARE(w->statusLine()->text(), QStringLiteral("序号 2 执行失败！") + typo->toolTip(2));
        chooseRow(w, 0);
        QCOMPARE(w->statusLine()->text(), QString());
        chooseRow(w, 2);
        saveScreenshot(*w, QStringLiteral("sql-window-failed"));

        m_db->disconnect();
        w->setStatementText("select 1");
        w->runStatements();
        QCOMPARE(w->runList()->topLevelItem(0)->toolTip(2), QStringLiteral("没有连接到 MySQL 服务器"));
        QCOMPARE(w->statusLine()->text(), QStringLiteral("序号 1 执行失败！没有连接到 MySQL 服务器"));
    }

    // A transaction begun or ended by a statement typed here is seen by the
    // main window at once: the server says whether one is open.
    void typedTransactionsReachTheMainWindow()
    {
        exec("create table `" + m_database + "`.i (v int) engine=InnoDB");
        const QString empty = m_dir->filePath(QStringLiteral("none"));
        QDir().mkpath(empty);
        m_main->form().control("编辑框文章目录")->setText(u8(empty));
        m_main->form().control("编辑框库名")->setText(m_database);
        m_main->form().control("编辑框表名")->setText("i");
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        const QString refusal = QStringLiteral("请先提交或回滚事务！");
        auto refused = [&](bool exporting) {
            const auto before = Prompts::messages().size();
            if (exporting)
                m_main->exportPressed();
            else
                m_main->importPressed(false);
            return Prompts::messages().mid(before).contains(refusal);
        };
        auto run = [&](const std::string &text) {
            w->setStatementText(text);
            w->runStatements();
            return rowTexts(w, 2);
        };
        const QString ok = QStringLiteral("执行成功！");

        QCOMPARE(run("BEGIN"), QStringList{ok});
        QVERIFY(m_main->transactionOpen());
        QVERIFY(refused(false));
        QVERIFY(refused(true));
        QCOMPARE(run("insert into `" + m_database + "`.i values (1)\r\nCOMMIT"), (QStringList{ok, ok}));
        QVERIFY(!m_main->transactionOpen());
        // (Only the import is started here: an export of this table would
        // list its rows, which have neither name nor content, in a dialog.)
        QVERIFY(!refused(false));

        // A statement that commits by itself ends it too.
        QCOMPARE(run("start transaction\r\ninsert into `" + m_database + "`.i values (2)"), (QStringList{ok, ok}));
        QVERIFY(refused(false));
        QCOMPARE(run("create table `" + m_database + "`.j (v int)"), QStringList{ok});
        QVERIFY(!m_main->transactionOpen());
        QVERIFY(!refused(false));
        QCOMPARE(m_admin.execute("select count(*) from `" + m_database + "`.i"), true);
        QCOMPARE(qs(m_admin.storeResult()->cell(0, 0)), QStringLiteral("2"));
    }

    // The list changes while a copy or a save builds its text (another row
    // chosen, 执行 pressed): the text holds every row of the result chosen
    // when the command was.
    void aCopyOrSaveKeepsTheRowsItWasChosenFor()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        w->setStatementText("select seq from `" + m_database + "`.seq_1_to_400\r\nselect 'x'");
        w->runStatements();
        chooseRow(w, 0);
        QCOMPARE(w->resultModel()->rowCount(), 400);
        QString expected;
        for (int i = 1; i <= 400; ++i)
            expected += QString::number(i) + QStringLiteral("\r\n");

        QTimer::singleShot(0, this, [this, w] { chooseRow(w, 1); });
        w->copy(false);
        QCOMPARE(w->resultModel()->rowCount(), 1);
        QCOMPARE(QApplication::clipboard()->text(), expected);

        chooseRow(w, 0);
        const QString csv = m_dir->filePath(QStringLiteral("seq.csv"));
        Prompts::queueFile(csv);
        QTimer::singleShot(0, this, [w] {
            w->setStatementText("select 'y'");
            w->runStatements();
        });
        w->exportCsv();
        QCOMPARE(w->runList()->topLevelItemCount(), 1);
        QCOMPARE(lastMessage(), QStringLiteral("保存成功！"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(f.readAll()), QStringLiteral("\"seq\"\r\n") + expected);
    }

    void samplesGoInPlaceOfTheSelection()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        QStringList top;
        for (QAction *a : w->sampleMenu()->actions())
            top << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(top.mid(0, 5),
            (QStringList{QStringLiteral("设置当前库"), QStringLiteral("显示当前库"), QStringLiteral("字符集"),
                QStringLiteral("-"), QStringLiteral("创建库")}));
        QCOMPARE(top.last(), QStringLiteral("连接权限修改：从指定IP连接"));
        QMenu *charsets = w->sampleMenu()->findChild<QMenu *>(QStringLiteral("字符集"));
        QVERIFY(charsets);
        QCOMPARE(charsets->actions().size(), 7);

        w->setStatementText("one\r\ntwo\r\nthree");
        QTextCursor c = w->editor()->textCursor();
        c.setPosition(4);
        c.setPosition(7, QTextCursor::KeepAnchor);
        w->editor()->setTextCursor(c);
        charsets->findChild<QAction *>(QStringLiteral("查看系统字符集"))->trigger();
        QCOMPARE(
            w->statementText(), std::string("one\r\nshow variables like \"%char%\";\t//查看系统字符集\r\n\r\nthree"));
        QVERIFY(!w->editor()->textCursor().hasSelection());
        QCOMPARE(w->editor()->textCursor().position(),
            4 + QStringLiteral("show variables like \"%char%\";\t//查看系统字符集\n").size());

        // The password sample names the main window's user.
        m_main->form().control("编辑框用户名")->setText("某用户");
        w->setStatementText("");
        w->sampleMenu()->findChild<QAction *>(QStringLiteral("修改用户密码"))->trigger();
        QCOMPARE(w->statementText(),
            std::string("UPDATE mysql.user SET password=PASSWORD('新密码') WHERE User='某用户';\t//\r\n"
                        "FLUSH PRIVILEGES;\t//修改用户密码\r\n"));
        w->sampleMenu()->findChild<QAction *>(QStringLiteral("转换表为UTF-8"))->trigger();
        QVERIFY(w->statementText().ends_with(
            "ALTER TABLE `表名` CONVERT TO CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;\t//转换表为UTF8\r\n"));
        m_main->form().control("编辑框用户名")->setText(m_sandbox.user);
    }

    void aRunIsNotStartedTwiceAndACloseWaitsForIt()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        const std::string text = "select sleep(0.2)\r\nselect sleep(0.2)\r\nselect sleep(0.2)\r\nselect 4";
        w->setStatementText(text);
        QPointer<SqlQueryWindow> watch(w);
        int rowsWhenPressed = -1;
        QTimer::singleShot(50, this, [&] {
            rowsWhenPressed = watch->runList()->topLevelItemCount();
            watch->findChild<QPushButton *>(QStringLiteral("按钮执行"))->click(); // ignored
            QVERIFY(watch->running());
            QVERIFY(!watch->close()); // waits for the run
            QVERIFY(watch);
        });
        w->runStatements();
        QVERIFY(rowsWhenPressed >= 1);
        QVERIFY(watch);
        // The rows of the run pressed first, not a second run's.
        QCOMPARE(w->runList()->topLevelItem(0)->text(1), QStringLiteral("select sleep(0.2)"));
        QTRY_VERIFY(!watch);
        QCOMPARE(savedText(), text);
        QVERIFY(m_main->manager());
    }

    void closingTheManagerSavesTheText()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        w->setStatementText("select 'kept';");
        w->runStatements();
        chooseRow(w, 0);
        QPointer<ManagerWindow> manager(m_main->manager());
        manager->close();
        QTRY_VERIFY(!manager);
        QCOMPARE(savedText(), std::string("select 'kept';"));
    }

    void aCloseDuringARunClosesTheManagerAfterIt()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        w->setStatementText("select sleep(0.2)\r\nselect sleep(0.2)\r\nselect sleep(0.2)");
        QPointer<ManagerWindow> manager(m_main->manager());
        QTimer::singleShot(50, this, [&] { m_main->connectAction(); }); // disconnect
        w->runStatements();
        QTRY_VERIFY(!manager);
        QCOMPARE(savedText(), std::string("select sleep(0.2)\r\nselect sleep(0.2)\r\nselect sleep(0.2)"));
    }

    void withoutAConnectionEveryLineFails()
    {
        SqlQueryWindow *w = openSql();
        QVERIFY(w);
        m_db->disconnect();
        w->setStatementText("select 1\r\nselect 2");
        w->runStatements();
        QCOMPARE(rowTexts(w, 2), (QStringList{QStringLiteral("执行失败！"), QStringLiteral("执行失败！")}));
    }
};

QTEST_MAIN(SqlQueryWindowTest)
#include "SqlQueryWindowTest.moc"
