// The database manager and the record viewer against the sandbox server.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/MouseButtons.h"
#include "gui/RecordViewerWindow.h"
#include "gui/ResultTableModel.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class ManagerWindowTest : public QObject {
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
    void exec(const std::string &sql) { QVERIFY2(m_admin.execute(sql), sql.c_str()); }
    // Answers the next text dialog with `text`.
    static void answerDialog(const QString &text) { Prompts::queueText(text); }
    ManagerWindow *openManager()
    {
        m_main->openManager();
        ManagerWindow *m = m_main->manager();
        if (m) {
            (void)QTest::qWaitFor([m] { return m->databaseList()->count() > 0; }, 5000);
            const auto found = m->databaseList()->findItems(qs(m_database), Qt::MatchExactly);
            if (!found.isEmpty())
                m->databaseList()->setCurrentItem(found.front());
        }
        return m;
    }
    QListWidget *tables(ManagerWindow *m) { return m->tableList(); }
    void selectTables(ManagerWindow *m, std::initializer_list<int> rows)
    {
        m->tableList()->clearSelection();
        for (int r : rows)
            m->tableList()->item(r)->setSelected(true);
    }

private slots:
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        test::openTestFiles(m_dir, m_settings, m_db);
        m_sent.clear();
        m_db->setStatementObserver([this](std::string_view s) { m_sent.emplace_back(s); });
        QVERIFY(m_admin.connect(m_sandbox.server, m_sandbox.user, m_sandbox.password));
        m_database = "vt" + std::to_string(::getpid()) + "_" + std::to_string(++m_counter) + "_m";
        exec("create database `" + m_database + "`");
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
        m_main.reset();
        QVERIFY2(test::dropGuiTestDatabases(m_admin, m_sandbox, m_database), m_database.c_str());
        m_admin.disconnect();
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void openingConnectsOrRefuses()
    {
        m_main->form().control("编辑框密码")->setText("wrong" + m_sandbox.password);
        m_main->openManager();
        QCOMPARE(lastMessage(), QStringLiteral("主界面尚未连接到MySQL，无法使用管理器功能！"));
        QVERIFY(!m_main->manager());
        const auto windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(),
            [](QWidget *w) { return w->objectName() == QStringLiteral("ManagerWindow") && w->isVisible(); }));

        m_main->form().control("编辑框密码")->setText(m_sandbox.password);
        ManagerWindow *m = openManager();
        QVERIFY(m);
        QVERIFY(!m->parentWidget());
        QCOMPARE(m->windowTitle(), QStringLiteral("MySQL 管理器"));
        QVERIFY(m->databaseGroup()->title().startsWith(QStringLiteral("   在 MySQL 上的库( ")));
        m_main->openManager();
        QCOMPARE(m_main->manager(), m);
    }

    void databasesAreCreatedDroppedAndFound()
    {
        ManagerWindow *m = openManager();
        QVERIFY(m);
        const int before = m->databaseList()->count();
        answerDialog(qs(m_database + "_b`q"));
        m->createDatabase();
        QCOMPARE(m->databaseList()->count(), before + 1);
        QCOMPARE(m->currentDatabase(), m_database + "_b`q");
        QCOMPARE(column("select DEFAULT_CHARACTER_SET_NAME from information_schema.SCHEMATA where SCHEMA_NAME='"
                     + escapeString(m_database + "_b`q") + "'"),
            QStringList{QStringLiteral("utf8mb4")});
        answerDialog(qs(m_database));
        m->createDatabase();
        QVERIFY(lastMessage().startsWith(QStringLiteral(
            "创建库失败，请检查库名是否正确（如是否与已有库名重复）！或检查连接是否可用！或检查是否有权限创建！\r\n")));

        Prompts::queueAnswer(true);
        m->dropDatabase();
        QCOMPARE(Prompts::records()[Prompts::records().size() - 1].text,
            QStringLiteral("确定要删除当前库 ") + qs(m_database + "_b`q") + QStringLiteral(" 吗？"));
        QCOMPARE(m->databaseList()->count(), before);
        QVERIFY(column("show databases like '" + m_database + "\\_b`q'").isEmpty());

        answerDialog(qs(m_database).toUpper());
        m->findDatabase(false);
        QCOMPARE(m->currentDatabase(), m_database);
        QCOMPARE(m->form().control("按钮查找库")->tag(), u8(qs(m_database).toUpper()));
        answerDialog(QStringLiteral("no-such-database"));
        m->findDatabase(false);
        QCOMPARE(lastMessage(), QStringLiteral("找不到输入的库名：no-such-database"));
    }

    // Tabbing into the list makes its first row current: it is shown chosen,
    // as the database whose tables are listed.
    void aDatabaseMadeCurrentByFocusIsShownChosen()
    {
        ManagerWindow *m = openManager();
        QVERIFY(m);
        QListWidget *list = m->databaseList();
        list->setCurrentRow(-1);
        QVERIFY(!list->currentItem());
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m));
        list->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(list->currentItem());
        QVERIFY(list->currentItem()->isSelected());
        QCOMPARE(qs(m->currentDatabase()), list->currentItem()->text());
    }

    void tablesAreDroppedClearedRenamedAndCounted()
    {
        exec("create table `" + m_database + "`.a (v int)");
        exec("create table `" + m_database + "`.b (v int)");
        exec("create table `" + m_database + "`.c (v int)");
        exec("create table `" + m_database + "`.p (id int primary key) engine=InnoDB");
        exec("create table `" + m_database + "`.k (pid int, foreign key (pid) references p(id)) engine=InnoDB");
        exec("insert into `" + m_database + "`.a values (1),(2)");
        exec("insert into `" + m_database + "`.p values (1)");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        QCOMPARE(tables(m)->count(), 5);
        QCOMPARE(
            m->tableGroup()->title(), QStringLiteral("   当前库 ") + qs(m_database) + QStringLiteral(" 的表( 5 个)："));

        // Counting: the number, titled by the table; one count statement.
        selectTables(m, {0});
        m->countRecords();
        QCOMPARE(Prompts::records().back().title, QStringLiteral("a的记录行数"));
        QCOMPARE(lastMessage(), QStringLiteral("2"));
        QVERIFY(std::find(m_sent.begin(), m_sent.end(), std::string("select count(*) from `a`;")) != m_sent.end());

        // Another window's USE does not move the manager off its database.
        QVERIFY(m_db->execute("use mysql"));
        Prompts::queueAnswer(true);
        m->dropTables(true);
        QCOMPARE(Prompts::records()[Prompts::records().size() - 2].text,
            QStringLiteral("确定要删除表 a 的全部记录数据吗？"));
        QCOMPARE(lastMessage(), QStringLiteral("已清空表记录！"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.a"), QStringList{QStringLiteral("0")});

        // Three tables, one of them referenced by a key elsewhere.
        selectTables(m, {1, 2, 4});
        Prompts::queueAnswer(true);
        m->dropTables(false);
        QVERIFY(Prompts::messages().contains(
            QStringLiteral("确定要删除选定的 3 个表吗？\r\n\r\n（右击‘删除表’按钮可删除表的全部记录）")));
        // The server's reason follows: a key elsewhere refers to it.
        QVERIFY2(lastMessage().startsWith(QStringLiteral("删除表 p 失败！请检查权限或网络连接！\r\n错误 1451：")),
            qPrintable(lastMessage()));
        QCOMPARE(column("show tables from `" + m_database + "`"),
            (QStringList{QStringLiteral("a"), QStringLiteral("k"), QStringLiteral("p")}));
        QCOMPARE(tables(m)->count(), 3);

        // Rename: the two rules, the same name, then a good one.
        selectTables(m, {0});
        for (const auto &[name, text] : std::vector<std::pair<QString, QString>>{
                 {QStringLiteral("2abc"), QStringLiteral("表名首字符不能为【半角英文标点、空格和数字】！")},
                 {QStringLiteral("a_b"), QStringLiteral("表名不允许包含【半角英文标点、空格】")},
                 {QStringLiteral("a b"), QStringLiteral("表名不允许包含【半角英文标点、空格】")}}) {
            answerDialog(name);
            m->renameTable();
            QCOMPARE(lastMessage(), text);
        }
        // The same name: nothing said.
        const auto shown = Prompts::messages().size();
        answerDialog(QStringLiteral("a"));
        m->renameTable();
        QCOMPARE(Prompts::messages().size(), shown);
        answerDialog(QStringLiteral("文章"));
        m->renameTable();
        QCOMPARE(tables(m)->item(0)->text(), QStringLiteral("文章"));
        QCOMPARE(column("show tables from `" + m_database + "` like '文章'"), QStringList{QStringLiteral("文章")});

        // Find next: from the next item, wrapping once.
        answerDialog(QStringLiteral("P"));
        m->findTable(false);
        QCOMPARE(m->currentTable(), std::string("p"));
        m->findTable(true);
        QCOMPARE(m->currentTable(), std::string("p"));
        answerDialog(QStringLiteral("x"));
        m->findTable(false);
        QCOMPARE(lastMessage(), QStringLiteral("找不到输入的表名：x"));

        // Double-click: the names go to the main window.
        selectTables(m, {1});
        m->tableDoubleClicked();
        QCOMPARE(m_main->form().control("编辑框表名")->text(), std::string("k"));
        QCOMPARE(m_main->form().control("编辑框库名")->text(), m_database);

        saveScreenshot(*m, QStringLiteral("manager"));
        if (auto *menu = m->findChild<QMenu *>(QStringLiteral("事务"))) {
            menu->adjustSize();
            saveScreenshot(*menu, QStringLiteral("manager-transactions"));
        }
    }

    // A name is one line: Enter answers the dialog, and blanks and line
    // breaks around a typed or pasted name are not part of it. A refusal
    // says the server's reason.
    void namesAreOneLineAndRefusalsSayWhy()
    {
        exec("create table `" + m_database + "`.a (v int)");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        const std::string pasted = m_database + "_h1";
        answerDialog(QStringLiteral(" ") + qs(pasted) + QStringLiteral("\r\n"));
        m->createDatabase();
        QCOMPARE(m->currentDatabase(), pasted);
        QCOMPARE(column("show databases like '" + pasted + "'"), QStringList{qs(pasted)});

        // Typed, with Enter at the end: the dialog is a one-line one, where
        // Enter confirms.
        const std::string typed = m_database + "_h2";
        answerDialog(qs(typed));
        m->createDatabase();
        QVERIFY(test::lastRecorded(Prompts::Kind::Text).dialog.singleLine);
        QCOMPARE(m->currentDatabase(), typed);
        QCOMPARE(column("show databases like '" + typed + "'"), QStringList{qs(typed)});

        answerDialog(qs(m_database));
        m->createDatabase();
        QVERIFY2(lastMessage().startsWith(QStringLiteral("创建库失败，请检查库名是否正确（如是否与已有库名重复）！"
                                                         "或检查连接是否可用！或检查是否有权限创建！\r\n错误 1007：")),
            qPrintable(lastMessage()));

        // Renaming: the same for the new name.
        const auto found = m->databaseList()->findItems(qs(m_database), Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        m->databaseList()->setCurrentItem(found.front());
        selectTables(m, {0});
        answerDialog(QStringLiteral("b"));
        m->renameTable();
        QVERIFY(test::lastRecorded(Prompts::Kind::Text).dialog.singleLine);
        QCOMPARE(column("show tables from `" + m_database + "`"), QStringList{QStringLiteral("b")});
        answerDialog(QStringLiteral("\tc \r\n"));
        m->renameTable();
        QCOMPARE(tables(m)->item(0)->text(), QStringLiteral("c"));
        QCOMPARE(column("show tables from `" + m_database + "`"), QStringList{QStringLiteral("c")});

        // A table made elsewhere since the list was read.
        exec("create table `" + m_database + "`.d (v int)");
        answerDialog(QStringLiteral("d"));
        m->renameTable();
        QVERIFY2(lastMessage().startsWith(QStringLiteral("修改表失败！\r\n错误 1050：")), qPrintable(lastMessage()));
    }

    // The menu says what happened; whether a transaction is open is what
    // the server says, whoever began or ended it.
    void transactionsSayWhatHappened()
    {
        exec("create table `" + m_database + "`.t (v int) engine=InnoDB");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        m->transaction(0);
        QCOMPARE(lastMessage(), QStringLiteral("事务已开始"));
        QVERIFY(m_main->transactionOpen());
        m_main->importPressed(false);
        QCOMPARE(lastMessage(), QStringLiteral("请先提交或回滚事务！"));
        m->transaction(1);
        QCOMPARE(lastMessage(), QStringLiteral("事务已提交"));
        QVERIFY(!m_main->transactionOpen());
        m->transaction(0);
        QVERIFY(m_db->execute("insert into `" + m_database + "`.t values (1)"));
        m->transaction(2);
        QCOMPARE(lastMessage(), QStringLiteral("事务已回滚"));
        QVERIFY(!m_main->transactionOpen());
        QCOMPARE(column("select count(*) from `" + m_database + "`.t"), QStringList{QStringLiteral("0")});

        // Refused by the server: its reason, and the state as it is.
        QVERIFY(m_db->execute("xa start 'vt'"));
        QVERIFY(m_main->transactionOpen());
        m->transaction(0);
        QVERIFY2(lastMessage().startsWith(QStringLiteral("开始事务失败！\r\n错误 1399：")), qPrintable(lastMessage()));
        m->transaction(1);
        QVERIFY2(lastMessage().startsWith(QStringLiteral("提交事务失败！\r\n错误 1399：")), qPrintable(lastMessage()));
        QVERIFY(m_main->transactionOpen());
        QVERIFY(m_db->execute("xa end 'vt'"));
        QVERIFY(m_db->execute("xa rollback 'vt'"));
        QVERIFY(!m_main->transactionOpen());

        // Without a connection nothing is open, and the menu says why it
        // failed.
        m_db->disconnect();
        m->transaction(2);
        QCOMPARE(lastMessage(), QStringLiteral("回滚事务失败！\r\n没有连接到 MySQL 服务器"));
        QVERIFY(!m_main->transactionOpen());
    }

    void findTermsAreKept()
    {
        ManagerWindow *m = openManager();
        QVERIFY(m);
        answerDialog(qs(m_database));
        m->findDatabase(false);
        m->close();
        QTRY_VERIFY(!m_main->manager());
        m = openManager();
        QVERIFY(m);
        QCOMPARE(m->form().control("按钮查找库")->tag(), m_database);
    }

    void viewerShowsCopiesAndDeletes()
    {
        exec("create table `" + m_database + "`.t (id int primary key, title varchar(20), n double, note text)");
        exec("insert into `" + m_database
            + "`.t values (1,'a\\tb',0.1,NULL),(2,'c\\r\\nd',NULL,'x\"y'),(3,'e\\nf',2,'')");
        exec("create table `" + m_database + "`.nokey (f float, b blob, s varchar(5))");
        exec("insert into `" + m_database + "`.nokey values (0.1, 'a\\0b', NULL),(0.1, 'a\\0b', NULL),(1, '', 'z')");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        const auto items = tables(m)->findItems(QStringLiteral("t"), Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        selectTables(m, {tables(m)->row(items.front())});
        m->openViewer(false);
        RecordViewerWindow *v = m->viewer();
        QVERIFY(v);
        QCOMPARE(v->windowTitle(), QStringLiteral("表 t 记录列表(3)"));
        QCOMPARE(v->model()->titles(),
            (QStringList{QStringLiteral("id(1)"), QStringLiteral("title(2)"), QStringLiteral("n(3)"),
                QStringLiteral("note(4)")}));
        QCOMPARE(
            v->copyText(false), QStringLiteral("1\t\"a\tb\"\t0.1\t\r\n2\t\"c\nd\"\t\tx\"y\r\n3\t\"e\nf\"\t2\t\r\n"));
        v->view()->selectionModel()->select(
            v->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(v->copyText(true), QStringLiteral("3\t\"e\nf\"\t2\t\r\n"));
        saveScreenshot(*v, QStringLiteral("viewer-records"));
        v->menu()->adjustSize();
        saveScreenshot(*v->menu(), QStringLiteral("viewer-menu"));

        const QString csv = m_dir->filePath(QStringLiteral("t.csv"));
        Prompts::queueFile(csv);
        v->exportCsv();
        QCOMPARE(lastMessage(), QStringLiteral("保存成功！"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("\"id(1)\"\t\"title(2)\"\t\"n(3)\"\t\"note(4)\"\r\n1\t"));
        Prompts::queueFile(m_dir->filePath(QStringLiteral("no/such/t.csv")));
        v->exportCsv();
        QCOMPARE(lastMessage(), QStringLiteral("保存失败！"));
        // A name without an extension is saved as .csv.
        Prompts::queueFile(m_dir->filePath(QStringLiteral("records")));
        v->exportCsv();
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("records.csv"))));

        // Two selected records, one holding NULL and a FLOAT-like double.
        v->view()->selectionModel()->clearSelection();
        for (int r : {0, 1})
            v->view()->selectionModel()->select(
                v->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Prompts::queueAnswer(true);
        v->deleteRows(true);
        QVERIFY(Prompts::messages().contains(QStringLiteral("确定要删除选定的 2 条记录吗？")));
        QCOMPARE(v->windowTitle(), QStringLiteral("总 2 条要删除的记录，实际删除成功 2 条"));
        QCOMPARE(column("select id from `" + m_database + "`.t"), QStringList{QStringLiteral("3")});
        QCOMPARE(v->model()->rowCount(), 1);

        // A table without a key: FLOAT, a BLOB with a NUL, NULL; of two equal
        // rows one goes.
        const auto nokey = tables(m)->findItems(QStringLiteral("nokey"), Qt::MatchExactly);
        selectTables(m, {tables(m)->row(nokey.front())});
        QCOMPARE(v->windowTitle(), QStringLiteral("表 nokey 记录列表(3)"));
        v->view()->selectionModel()->select(
            v->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Prompts::queueAnswer(true);
        v->deleteRows(true);
        QCOMPARE(v->windowTitle(), QStringLiteral("总 1 条要删除的记录，实际删除成功 1 条"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.nokey"), QStringList{QStringLiteral("2")});

        // A row another client changed meanwhile is not counted and stays.
        exec("update `" + m_database + "`.nokey set s='w' where s='z'");
        v->view()->selectionModel()->clearSelection();
        v->view()->selectionModel()->select(
            v->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Prompts::queueAnswer(true);
        v->deleteRows(true);
        QCOMPARE(v->windowTitle(), QStringLiteral("总 1 条要删除的记录，实际删除成功 0 条"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.nokey"), QStringList{QStringLiteral("2")});

        // Fields mode: no numbers; dropping every column fails on the last.
        m->openViewer(true);
        QCOMPARE(v->windowTitle(), QStringLiteral("表 nokey 的字段列表(3)"));
        QCOMPARE(v->model()->titles().front(), QStringLiteral("Field"));
        saveScreenshot(*v, QStringLiteral("viewer-fields"));
        Prompts::queueAnswer(true);
        v->deleteRows(false);
        QVERIFY(Prompts::messages().contains(QStringLiteral("确定要删除全部字段吗？")));
        QCOMPARE(v->windowTitle(), QStringLiteral("总 3 个要删除的字段，实际删除成功 2 个"));

        // A table that cannot be read is not shown as empty.
        exec("drop table `" + m_database + "`.t");
        const auto again = tables(m)->findItems(QStringLiteral("t"), Qt::MatchExactly);
        selectTables(m, {tables(m)->row(again.front())});
        QCOMPARE(v->windowTitle(), QStringLiteral("打开表失败：t"));
    }

    // A table chosen in the manager while the viewer deletes: the delete
    // stops at once, nothing of the other table is touched, no crash.
    // A drop or a rename acts on the database chosen when it was asked for:
    // another database chosen while its question is open, with a table of
    // the same name, keeps its table.
    void aDatabaseChosenDuringTheQuestionKeepsItsTables()
    {
        const std::string other = m_database + "_b";
        exec("create database `" + other + "`");
        for (const std::string &db : {m_database, other}) {
            exec("create table `" + db + "`.t (v int)");
            exec("create table `" + db + "`.u (v int)");
        }
        ManagerWindow *m = openManager();
        QVERIFY(m);
        // While a question is open the user chooses the other database.
        auto chooseOther = [m, &other](const Prompts::Record &) {
            const auto found = m->databaseList()->findItems(qs(other), Qt::MatchExactly);
            if (!found.isEmpty() && m->currentDatabase() != other)
                m->databaseList()->setCurrentItem(found.front());
        };

        selectTables(m, {0});
        QCOMPARE(m->currentTable(), std::string("t"));
        Prompts::setObserver(chooseOther);
        Prompts::queueAnswer(true);
        m->dropTables(false);
        Prompts::setObserver({});
        QCOMPARE(m->currentDatabase(), other);
        QCOMPARE(column("show tables from `" + m_database + "`"), QStringList{QStringLiteral("u")});
        QCOMPARE(column("show tables from `" + other + "`"), (QStringList{QStringLiteral("t"), QStringLiteral("u")}));

        // Back in the first database: u renamed to t there, though the
        // other database's list shows a t by then.
        const auto first = m->databaseList()->findItems(qs(m_database), Qt::MatchExactly);
        QVERIFY(!first.isEmpty());
        m->databaseList()->setCurrentItem(first.front());
        selectTables(m, {0});
        QCOMPARE(m->currentTable(), std::string("u"));
        Prompts::setObserver(chooseOther);
        answerDialog(QStringLiteral("t"));
        m->renameTable();
        Prompts::setObserver({});
        QCOMPARE(column("show tables from `" + m_database + "`"), QStringList{QStringLiteral("t")});
        QCOMPARE(column("show tables from `" + other + "`"), (QStringList{QStringLiteral("t"), QStringLiteral("u")}));
    }

    void aTableSwitchDuringADeleteStopsIt()
    {
        exec("create table `" + m_database + "`.big (id int primary key)");
        exec("insert into `" + m_database + "`.big select seq from `" + m_database + "`.seq_1_to_3000");
        exec("create table `" + m_database + "`.other (id int primary key)");
        exec("insert into `" + m_database + "`.other values (1),(2)");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        selectTables(m, {0});
        QCOMPARE(m->currentTable(), std::string("big"));
        m->openViewer(false);
        RecordViewerWindow *v = m->viewer();
        QVERIFY(v);
        QCOMPARE(v->model()->rowCount(), 3000);
        bool switched = false;
        QTimer::singleShot(0, this, [&] {
            switched = true;
            selectTables(m, {1});
        });
        Prompts::queueAnswer(true);
        v->deleteRows(false);
        QVERIFY(switched);
        const int left = column("select count(*) from `" + m_database + "`.big").value(0).toInt();
        QVERIFY2(left > 0 && left < 3000, qPrintable(QString::number(left)));
        QCOMPARE(v->windowTitle(), QStringLiteral("总 3000 条要删除的记录，实际删除成功 %1 条").arg(3000 - left));
        QCOMPARE(column("select count(*) from `" + m_database + "`.other"), QStringList{QStringLiteral("2")});
        QCOMPARE(v->model()->rowCount(), 2);
    }

    // Another table chosen while a copy or a save builds its text (the loop
    // handles events): the text still holds every row of the table shown
    // when the command was chosen.
    void aTableSwitchDuringACopyOrSaveKeepsEveryRow()
    {
        exec("create table `" + m_database + "`.big (id int primary key, s varchar(10))");
        exec(
            "insert into `" + m_database + "`.big select seq, concat('r', seq) from `" + m_database + "`.seq_1_to_500");
        exec("create table `" + m_database + "`.other (id int primary key)");
        exec("insert into `" + m_database + "`.other values (1),(2)");
        ManagerWindow *m = openManager();
        QVERIFY(m);
        selectTables(m, {0});
        m->openViewer(false);
        RecordViewerWindow *v = m->viewer();
        QVERIFY(v);
        QCOMPARE(v->model()->rowCount(), 500);
        QString expected;
        for (int i = 1; i <= 500; ++i)
            expected += QStringLiteral("%1\tr%1\r\n").arg(i);
        auto switchSoon = [&](int to) { QTimer::singleShot(0, this, [this, m, to] { selectTables(m, {to}); }); };

        switchSoon(1);
        v->copy(false);
        QCOMPARE(v->windowTitle(), QStringLiteral("表 other 记录列表(2)"));
        QCOMPARE(QApplication::clipboard()->text(), expected);

        selectTables(m, {0});
        QCOMPARE(v->model()->rowCount(), 500);
        const QString csv = m_dir->filePath(QStringLiteral("big.csv"));
        Prompts::queueFile(csv);
        switchSoon(1);
        v->exportCsv();
        QCOMPARE(v->model()->rowCount(), 2);
        QCOMPARE(lastMessage(), QStringLiteral("保存成功！"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(f.readAll()), QStringLiteral("\"id(1)\"\t\"s(2)\"\r\n") + expected);
    }

    void disconnectClosesTheManagerAndSavesIt()
    {
        ManagerWindow *m = openManager();
        QVERIFY(m);
        QPointer<ManagerWindow> watch(m);
        exec("create table `" + m_database + "`.t (v int)");
        m->refreshTableList();
        selectTables(m, {0});
        m->openViewer(true);
        QPointer<RecordViewerWindow> viewer(m->viewer());
        QVERIFY(viewer);
        m->form().control("按钮查找表")->setTag("kept");
        m_main->connectAction(); // disconnect
        QTRY_VERIFY(!watch);
        QTRY_VERIFY(!viewer);
        SettingsStore saved;
        saved.openReadOnly(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        saved.setSection("管理器");
        QCOMPARE(saved.readText("按钮查找表.标记"), std::string("kept"));
    }
};

QTEST_MAIN(ManagerWindowTest)
#include "ManagerWindowTest.moc"
