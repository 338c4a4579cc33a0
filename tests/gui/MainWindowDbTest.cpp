// The main window against the sandbox server: connecting, the name pickers,
// reading a table's fields, import and export on screen, and closing or
// disconnecting while a run is going on.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "gui/MouseButtons.h"
#include "gui/QtTransferHost.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "util/Clock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class MainWindowDbTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;
    MySqlConnection m_admin;
    std::string m_database;
    std::vector<std::string> m_sent;
    int m_counter = 0;

    std::unique_ptr<MainWindow> open(bool connect = true)
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_db);
        w->form().control("编辑框服务器")->setText(m_sandbox.server);
        w->form().control("编辑框用户名")->setText(m_sandbox.user);
        w->form().control("编辑框密码")->setText(m_sandbox.password);
        w->form().control("编辑框库名")->setText(m_database);
        w->show();
        if (connect)
            w->connectAction();
        return w;
    }
    void click(MainWindow &w, const char *name) { w.form().widgetAs<QPushButton>(name)->click(); }
    std::string text(MainWindow &w, const char *name) { return w.form().control(name)->text(); }
    QString lastMessage() { return Prompts::messages().value(Prompts::messages().size() - 1); }
    // The names the last menu of names offered; how many menus were shown.
    static QStringList pickedFrom() { return test::lastRecorded(Prompts::Kind::Pick).items; }
    static int pickers() { return test::recordedCount(Prompts::Kind::Pick); }
    QStringList writeArticles(int count, const QString &sub = QStringLiteral("articles"))
    {
        QDir(m_dir->path()).mkpath(sub);
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            const QString path = m_dir->filePath(sub + QStringLiteral("/文章%1.txt").arg(i, 3, 10, QLatin1Char('0')));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return {};
            f.write(QStringLiteral("正文 %1").arg(i).toUtf8());
            paths << path;
        }
        return paths;
    }
    // A caption of a run that has stored at least one file.
    static bool started(const std::string &caption)
    {
        return caption.starts_with("总 ") && caption.find("已导入 0 篇") == std::string::npos;
    }
    QStringList column(const std::string &sql)
    {
        QStringList out;
        if (!m_admin.execute(sql))
            return out;
        auto r = m_admin.storeResult();
        for (std::uint64_t i = 0; r && i < r->rowCount(); ++i) {
            r->seekRow(i);
            std::string v;
            r->readField(0.0, v);
            out << qs(v);
        }
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
        m_database = "vt" + std::to_string(::getpid()) + "_" + std::to_string(++m_counter) + "_g";
        QVERIFY(m_admin.execute("create database `" + m_database + "`"));
        test::scriptPrompts();
    }
    void cleanup()
    {
        QtTransferHost::setCaptionObserver({});
        QVERIFY2(test::dropGuiTestDatabases(m_admin, m_sandbox, m_database), m_database.c_str());
        m_admin.disconnect();
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void connectAndDisconnect()
    {
        m_settings->setSection("主界面");
        m_settings->writeText("按钮库列表.标记", "old\r\nlist\r\n");
        auto w = open(false);
        QCOMPARE(w->form().control("按钮库列表")->tag(), std::string("old\r\nlist\r\n"));
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        for (const char *name : {"按钮库列表", "按钮表列表", "按钮读表字段", "按钮导入", "按钮导出"})
            QVERIFY2(w->form().control(name)->isEnabled(), name);
        // A list read from another session is not offered.
        QCOMPARE(w->form().control("按钮库列表")->tag(), std::string());
        for (const std::string &s : m_sent)
            QVERIFY2(s.find("set names") == std::string::npos, s.c_str());
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        QVERIFY(!w->form().control("按钮导入")->isEnabled());
        QVERIFY(!m_db->isOpen());

        // A wrong password: the help dialog, the server's reason first.
        w->form().control("编辑框密码")->setText("wrong" + m_sandbox.password);
        w->connectAction();
        const Prompts::Record shown = test::lastRecorded(Prompts::Kind::Info);
        saveScreenshot(shown, QStringLiteral("connect-failed"));
        const QString &title = shown.title;
        const QString &body = shown.text;
        QCOMPARE(title, QStringLiteral("连接到MySQL失败"));
        QVERIFY2(body.startsWith(QStringLiteral("用户名或密码不对（Access denied")), qPrintable(body));
        QVERIFY(body.contains(QStringLiteral("\r\n连接 Mysql 失败，请检查连接参数和权限！")));
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
    }

    void namePickersReadOnceAndFill()
    {
        QVERIFY(m_admin.execute("create table `" + m_database + "`.`a&b` (v int)"));
        QVERIFY(m_admin.execute("create table `" + m_database + "`.`t2` (v int)"));
        auto w = open();
        Prompts::queueChoice(0);
        click(*w, "按钮表列表");
        QCOMPARE(pickedFrom(), (QStringList{QStringLiteral("a&b"), QStringLiteral("t2")}));
        QCOMPARE(text(*w, "编辑框表名"), std::string("a&b"));
        QCOMPARE(text(*w, "按钮表列表"), std::string("表.."));
        Prompts::queueChoice(1);
        click(*w, "按钮表列表");
        QCOMPARE(text(*w, "编辑框表名"), std::string("t2"));
        QCOMPARE(std::count(m_sent.begin(), m_sent.end(), std::string("show tables")), 1);
        // Another database: read again; one that does not exist: the message.
        w->form().control("编辑框库名")->setText(m_database + "_none");
        click(*w, "按钮表列表");
        QCOMPARE(lastMessage(),
            QStringLiteral("获取表名列表失败！请检查设置的库名是否正确，或连接是否有效（重新连接试试）"));
        QCOMPARE(text(*w, "按钮表列表"), std::string("表.."));
        QVERIFY(w->form().control("按钮表列表")->isEnabled());

        Prompts::queueChoice(-1);
        click(*w, "按钮库列表");
        QVERIFY(pickedFrom().contains(qs(m_database)));
        QCOMPARE(text(*w, "编辑框库名"), m_database + "_none"); // closed without a choice
    }

    // After a choice the typing goes on in the box that got the name, after
    // it; reading the names does not hand the focus on to the password box.
    void aPickedNameTakesTheFocus()
    {
        QVERIFY(m_admin.execute("create table `" + m_database + "`.`t1` (v int)"));
        auto w = open();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto *password = w->form().widgetAs<QLineEdit>("编辑框密码");
        auto *tableButton = w->form().widgetAs<QPushButton>("按钮表列表");
        auto *tableBox = w->form().widgetAs<QLineEdit>("编辑框表名");

        Prompts::queueChoice(-1);
        QTest::mouseClick(tableButton, Qt::LeftButton);
        QCOMPARE(pickers(), 1);
        QCOMPARE(QApplication::focusWidget(), tableButton);
        QVERIFY(!password->hasSelectedText());

        Prompts::queueChoice(0);
        QTest::mouseClick(tableButton, Qt::LeftButton);
        QCOMPARE(tableBox->text(), QStringLiteral("t1"));
        QCOMPARE(QApplication::focusWidget(), tableBox);
        QVERIFY(!tableBox->hasSelectedText());
        QCOMPARE(tableBox->cursorPosition(), 2);

        auto *databaseButton = w->form().widgetAs<QPushButton>("按钮库列表");
        auto *databaseBox = w->form().widgetAs<QLineEdit>("编辑框库名");
        databaseBox->setCursorPosition(0);
        QTest::mouseClick(databaseButton, Qt::LeftButton);
        Prompts::queueChoice(int(pickedFrom().indexOf(qs(m_database))));
        QTest::mouseClick(databaseButton, Qt::LeftButton);
        QCOMPARE(databaseBox->text(), qs(m_database));
        QCOMPARE(QApplication::focusWidget(), databaseBox);
        QVERIFY(!databaseBox->hasSelectedText());
        QCOMPARE(databaseBox->cursorPosition(), databaseBox->text().size());
        QVERIFY(!password->hasSelectedText());
    }

    // Enter in the password box connects, Return or the keypad's; connected,
    // it leaves the connection alone.
    void enterInThePasswordBoxConnects()
    {
        auto w = open(false);
        auto *password = w->form().widgetAs<QLineEdit>("编辑框密码");
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(m_db->isOpen());
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        for (const auto &[key, modifier] :
            {std::pair{Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Return, Qt::NoModifier}}) {
            QTest::keyClick(password, key, modifier);
            QVERIFY(m_db->isOpen());
            QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        }

        w->connectAction(); // disconnect
        QVERIFY(!m_db->isOpen());
        QTest::keyClick(password, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(m_db->isOpen());
        QVERIFY(w->form().control("按钮导入")->isEnabled());
    }

    void readingAFieldList()
    {
        QVERIFY(m_admin.execute("create table `" + m_database
            + "`.t (ID bigint not null auto_increment primary key, 标题 varchar(40), n int(11) unsigned, d "
              "decimal(5,2),"
              " g geometry)"));
        QVERIFY(m_admin.execute("create table `" + m_database + "`.only (ID int not null auto_increment primary key)"));
        auto w = open();
        w->form().control("编辑框库名")->setText("");
        click(*w, "按钮读表字段");
        QCOMPARE(lastMessage(), QStringLiteral("请输入库名！"));
        w->form().control("编辑框库名")->setText(m_database);
        click(*w, "按钮读表字段");
        QCOMPARE(lastMessage(), QStringLiteral("请输入表名！"));
        w->form().control("编辑框表名")->setText("t");
        click(*w, "按钮读表字段");
        QCOMPARE(w->form().rowCount(), 4);
        QCOMPARE(w->form().cell(0, 0), std::string("标题"));
        QCOMPARE(w->form().cell(0, 1), std::string("请设置"));
        QCOMPARE(w->form().cell(3, 2), std::string("小数(decimal)")); // a type outside the list

        // No database of that name: the mapping stays as it is.
        w->form().control("编辑框库名")->setText(m_database + "_none");
        click(*w, "按钮读表字段");
        QCOMPARE(lastMessage(), QStringLiteral("打开表失败，请检查表是否存在或是否可读！"));
        QCOMPARE(w->form().rowCount(), 4);
        w->form().control("编辑框库名")->setText(m_database);
        w->form().control("编辑框表名")->setText("only");
        click(*w, "按钮读表字段");
        QCOMPARE(lastMessage(), QStringLiteral("该数据库中的表[only]字段数量为0"));
    }

    void importAndExportOnScreen()
    {
        writeArticles(5);
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText("文章");
        std::vector<std::string> captions;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            captions.push_back(c);
            if (started(c) && std::count_if(captions.begin(), captions.end(), started) == 1)
                saveScreenshot(*w, QStringLiteral("main-importing"));
        });
        QStringList windowTitles;
        QTimer titles;
        connect(&titles, &QTimer::timeout, this, [&] { windowTitles << w->windowTitle(); });
        click(*w, "按钮导入");
        QCOMPARE(lastMessage(), QStringLiteral("导入完成，已导入 5 篇文章，当前表有 5 条记录！"));
        QCOMPARE(captions.front(), std::string("正在读取文章列表.."));
        QVERIFY(std::find(captions.begin(), captions.end(), std::string("总 5 篇，已导入 5 篇")) != captions.end());
        QCOMPARE(captions.back(), std::string("导入文章到 MySQL 数据库"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnel MySQL 文章导入导出"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.`文章`"), QStringList{QStringLiteral("5")});

        // Ctrl held: the clearing question; Cancel imports nothing.
        Prompts::queueCtrl(true);
        Prompts::queueAnswer(false);
        click(*w, "按钮导入");
        QCOMPARE(lastMessage(), QStringLiteral("确定要清空全部记录再导入？"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.`文章`"), QStringList{QStringLiteral("5")});

        // Export into a folder of its own.
        const QString out = m_dir->filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        w->form().control("编辑框文章目录")->setText(u8(out));
        click(*w, "按钮导出");
        QCOMPARE(lastMessage(), QStringLiteral("导出完成，已导出 5 篇文章，表中有 5 条记录！"));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 5);
    }

    void aStopPressedDuringARunEndsItWithinAFile()
    {
        writeArticles(60);
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText("t");
        w->importer().setBatchSize(1);
        bool pressed = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            // What the pump would do with a click on the button: the same
            // handler, inside the run.
            if (!pressed && started(c)) {
                pressed = true;
                click(*w, "按钮导入");
            }
        });
        click(*w, "按钮导入");
        QVERIFY(pressed);
        const int stored = column("select count(*) from `" + m_database + "`.t").value(0).toInt();
        QVERIFY2(stored >= 1 && stored < 60, qPrintable(QString::number(stored)));
        // The message says that the run stopped and how many it left; the
        // files it did not come to are listed after it.
        QCOMPARE(Prompts::messages().filter(QStringLiteral("导入完成")).back(),
            QStringLiteral("导入完成，已导入 %1 篇文章，当前表有 %1 条记录！\r\n已停止，还有 %2 篇未导入")
                .arg(stored)
                .arg(60 - stored));
        const Prompts::Record list = test::lastRecorded(Prompts::Kind::Info);
        QCOMPARE(list.title, QStringLiteral("运行停止时尚未导入的文件"));
        QCOMPARE(list.text.count(QStringLiteral("运行已停止")), 60 - stored);
        saveScreenshot(list, QStringLiteral("import-stopped"));
        QVERIFY(!w->runActive());
        QCOMPARE(text(*w, "按钮导入"), std::string("导入文章到 MySQL 数据库"));
    }

    // A stop pressed while the run waits to send a statement again after a
    // conflict ends it there, with the window live all along; the files
    // given up are listed as not imported, not as in doubt.
    void aStopDuringAConflictPauseEndsTheRunAtOnce()
    {
        writeArticles(5);
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText("t");
        click(*w, "按钮导入");
        QVERIFY(m_admin.execute("delete from `" + m_database + "`.t"));
        QVERIFY(m_admin.execute("create trigger `" + m_database + "`.conflict before insert on `" + m_database
            + "`.t for each row signal sqlstate '40001' set message_text = 'Deadlock found when trying to get lock', "
              "mysql_errno = 1213"));
        w->importer().setBatchSize(1);
        // The run's clock: the stop is pressed once the run has waited half
        // a second, as a click the pump hands over would be.
        struct PressingClock : Clock {
            DateTime now() override { return {}; }
            std::chrono::steady_clock::time_point steadyNow() override
            {
                return std::chrono::steady_clock::time_point{} + elapsed;
            }
            std::chrono::milliseconds elapsed{0};
            std::function<void()> press;
            std::optional<std::chrono::milliseconds> pressedAt;
            void sleepFor(std::chrono::milliseconds d) override
            {
                elapsed += d;
                if (!pressedAt && elapsed >= std::chrono::milliseconds(500)) {
                    pressedAt = elapsed;
                    press();
                }
            }
        } clock;
        clock.press = [&] { click(*w, "按钮导入"); };
        w->importer().setClock(clock);
        click(*w, "按钮导入");
        QVERIFY(clock.pressedAt);
        QVERIFY2(clock.elapsed - *clock.pressedAt <= std::chrono::milliseconds(100),
            qPrintable(QString::number((clock.elapsed - *clock.pressedAt).count())));
        w->importer().setClock(systemClock());
        QCOMPARE(Prompts::messages().filter(QStringLiteral("导入完成")).back(),
            QStringLiteral("导入完成，已导入 0 篇文章，当前表有 0 条记录！\r\n已停止，还有 5 篇未导入"));
        const Prompts::Record list = test::lastRecorded(Prompts::Kind::Info);
        QCOMPARE(list.title, QStringLiteral("运行停止时尚未导入的文件"));
        QCOMPARE(list.text.count(QStringLiteral("运行已停止")), 5);
        QVERIFY(!w->runActive());
    }

    void closingOrDisconnectingDuringARunWaitsForIt()
    {
        writeArticles(60);
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText("t");
        w->form().control("组合框数据来源")->setCurrentIndex(12);
        w->form().control("编辑框字段名")->setText("序号");
        click(*w, "按钮添加");
        w->importer().setBatchSize(1);
        bool asked = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            if (!asked && started(c)) {
                asked = true;
                w->close();
            }
        });
        click(*w, "按钮导入");
        QVERIFY2(asked, qPrintable(Prompts::messages().join(QLatin1Char('|'))));
        QTRY_VERIFY(w->isHidden());
        // Saved after the run: the counter's start went on from where it was.
        SettingsStore saved;
        saved.openReadOnly(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        saved.setSection("主界面");
        const std::string options = saved.readText("数据配置(5)");
        QVERIFY2(!options.starts_with("1┊?┊"), options.c_str());

        // Disconnect during a run: the run ends first.
        m_db->disconnect();
        auto w2 = open();
        w2->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w2->form().control("编辑框表名")->setText("t");
        w2->importer().setBatchSize(1);
        asked = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            if (!asked && started(c)) {
                asked = true;
                click(*w2, "按钮建立连接");
            }
        });
        click(*w2, "按钮导入");
        QVERIFY(asked);
        QVERIFY(lastMessage().startsWith(QStringLiteral("导入完成")));
        QCOMPARE(text(*w2, "按钮建立连接"), std::string("建立连接"));
        QVERIFY(!m_db->isOpen());
    }

    void droppedFilesImportAfterTheDrop()
    {
        const QStringList files = writeArticles(2, QStringLiteral("dropped"));
        auto w = open();
        w->form().control("编辑框表名")->setText("d");
        Prompts::queueAnswer(true);
        w->dropPaths(files);
        QCOMPARE(lastMessage(), QStringLiteral("导入完成，已导入 2 篇文章，当前表有 2 条记录！"));

        // A drop while a run is going on.
        writeArticles(30);
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->importer().setBatchSize(1);
        bool dropped = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            if (!dropped && started(c)) {
                dropped = true;
                Prompts::queueAnswer(true);
                w->dropPaths(files);
            }
        });
        click(*w, "按钮导入");
        QVERIFY(dropped);
        QVERIFY(Prompts::messages().contains(QStringLiteral("已经有导入在执行，请稍后！")));
    }

    void closingDuringANameReadShowsNoPicker()
    {
        QVERIFY(m_admin.execute("create table `" + m_database + "`.t1 (v int)"));
        for (const char *picker : {"按钮表列表", "按钮库列表"}) {
            auto w = open();
            // The close arrives while the names are read a row at a time.
            QTimer::singleShot(0, w.get(), [&] { w->close(); });
            click(*w, picker);
            QVERIFY2(pickers() == 0, picker);
            QTRY_VERIFY(w->isHidden());
            QCOMPARE(text(*w, "编辑框表名"), std::string());
            m_db->disconnect();
        }
    }

    void disconnectingDuringANameReadWaitsForIt()
    {
        QVERIFY(m_admin.execute("create table `" + m_database + "`.t1 (v int)"));
        auto w = open();
        QTimer::singleShot(0, w.get(), [&] { click(*w, "按钮建立连接"); });
        click(*w, "按钮库列表");
        QVERIFY(!m_db->isOpen());
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        for (const char *name : {"按钮库列表", "按钮表列表", "按钮读表字段", "按钮导入", "按钮导出"})
            QVERIFY2(!w->form().control(name)->isEnabled(), name);
        QCOMPARE(text(*w, "按钮库列表"), std::string("库.."));
        QCOMPARE(pickers(), 0);
        QCOMPARE(w->form().control("按钮库列表")->tag(), std::string());
    }

    void theOtherButtonsDuringAnImportLeaveItWhole()
    {
        writeArticles(40);
        const QString config = m_dir->filePath(QStringLiteral("other.ini"));
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText("t");
        Prompts::queueFile(config);
        click(*w, "按钮导出配置");
        w->importer().setBatchSize(1);
        bool pressed = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            if (pressed || !started(c))
                return;
            pressed = true;
            click(*w, "按钮导出"); // one run at a time: ignored
            QVERIFY(!w->exporter().isRunning());
            Prompts::queueChoice(0);
            click(*w, "按钮库列表");
            click(*w, "按钮读表字段");
            Prompts::queueAnswer(true);
            emit w->form().widgetAs<RightButton>("按钮删除")->rightPressed();
            Prompts::queueFile(config);
            click(*w, "按钮导入配置");
            w->form().control("编辑框字段名")->setText("标题");
            click(*w, "按钮添加");
            w->close(); // waits for the run
        });
        click(*w, "按钮导入");
        QVERIFY(pressed);
        QVERIFY2(Prompts::messages().filter(QStringLiteral("导入完成")).size() == 1,
            qPrintable(Prompts::messages().join(QLatin1Char('|'))));
        QTRY_VERIFY(w->isHidden());
        QVERIFY(!w->runActive());
        QCOMPARE(text(*w, "按钮导入"), std::string("导入文章到 MySQL 数据库"));
        const int stored = column("select count(*) from `" + m_database + "`.t").value(0).toInt();
        QVERIFY2(stored >= 1, qPrintable(QString::number(stored)));
    }

    void disconnectingDuringAnExportWaitsForIt()
    {
        QVERIFY(m_admin.execute("create table `" + m_database + "`.t (标题 varchar(20), 内容 text)"));
        for (int i = 0; i < 40; ++i)
            QVERIFY(m_admin.execute("insert into `" + m_database + "`.t values ('n" + std::to_string(i) + "', 'x')"));
        const QString out = m_dir->filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(out));
        w->form().control("编辑框表名")->setText("t");
        bool pressed = false;
        QtTransferHost::setCaptionObserver([&](const std::string &c) {
            if (!pressed && c.starts_with("总 ") && c.find("已导出 0 篇") == std::string::npos) {
                pressed = true;
                click(*w, "按钮建立连接");
                QVERIFY(m_db->isOpen());
            }
        });
        click(*w, "按钮导出");
        QVERIFY(pressed);
        QVERIFY2(lastMessage().startsWith(QStringLiteral("导出完成")), qPrintable(lastMessage()));
        QVERIFY(!m_db->isOpen());
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        QVERIFY(!w->form().control("按钮导出")->isEnabled());
        QCOMPARE(text(*w, "按钮导出"), std::string("从 MySQL 数据库导出文章"));
    }

    void oddTableNamesGoBothWays()
    {
        writeArticles(2);
        const QString out = m_dir->filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        auto w = open();
        for (const std::string &table : {std::string("a&b`c 文章"), std::string(64, 'x')}) {
            w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
            w->form().control("编辑框表名")->setText(table);
            click(*w, "按钮导入");
            QCOMPARE(lastMessage(), QStringLiteral("导入完成，已导入 2 篇文章，当前表有 2 条记录！"));
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            w->form().control("编辑框文章目录")->setText(u8(out));
            click(*w, "按钮导出");
            QCOMPARE(lastMessage(), QStringLiteral("导出完成，已导出 2 篇文章，表中有 2 条记录！"));
        }
        // A name the server cannot take is not reported as imported.
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("articles"))));
        w->form().control("编辑框表名")->setText(std::string(65, 'y'));
        click(*w, "按钮导入");
        QVERIFY2(!lastMessage().startsWith(QStringLiteral("导入完成")), qPrintable(lastMessage()));
        QCOMPARE(text(*w, "按钮导入"), std::string("导入文章到 MySQL 数据库"));
    }

    void emptyFoldersAndFifosEndTheRun()
    {
        auto w = open();
        const QString empty = m_dir->filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);
        w->form().control("编辑框文章目录")->setText(u8(empty));
        w->form().control("编辑框表名")->setText("t");
        click(*w, "按钮导入");
        QVERIFY(!Prompts::messages().isEmpty());
        QVERIFY2(!lastMessage().startsWith(QStringLiteral("导入完成，已导入 1")), qPrintable(lastMessage()));
        QVERIFY(!w->runActive());

        writeArticles(1, QStringLiteral("fifo"));
        const QString fifo = m_dir->filePath(QStringLiteral("fifo/管道.txt"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("fifo"))));
        // The list of files not imported comes after the run, in a dialog.
        Prompts::clear();
        click(*w, "按钮导入");
        QVERIFY2(lastMessage().startsWith(QStringLiteral("导入完成，已导入 1 篇文章")), qPrintable(lastMessage()));
        // The folder lister takes regular files only: the pipe is never opened.
        const QString report = test::lastRecorded(Prompts::Kind::Info).text;
        QVERIFY2(report.isEmpty(), qPrintable(report));
    }

    // Files the server refused are listed, with its reason, in a dialog
    // that comes after the final message.
    void failuresAreShownAfterTheFinalMessage()
    {
        QVERIFY(m_admin.execute(
            "create table `" + m_database + "`.nums (ID bigint not null auto_increment primary key, n int)"));
        QDir(m_dir->path()).mkpath(QStringLiteral("nums"));
        for (const char *name : {"1.txt", "2.txt", "x.txt"}) {
            QFile f(m_dir->filePath(QStringLiteral("nums/") + QString::fromUtf8(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("text");
        }
        auto w = open();
        w->form().control("编辑框文章目录")->setText(u8(m_dir->filePath(QStringLiteral("nums"))));
        w->form().control("编辑框表名")->setText("nums");
        w->form().clearRows();
        const int row = w->form().appendRow();
        w->form().setCell(row, 0, "n");
        w->form().setCell(row, 1, "文件主名");
        w->form().setCell(row, 2, "无");
        QString messageBefore;
        Prompts::setObserver([&](const Prompts::Record &r) {
            if (r.kind == Prompts::Kind::Info)
                messageBefore = lastMessage();
        });
        click(*w, "按钮导入");
        Prompts::setObserver({});
        const Prompts::Record shown = test::lastRecorded(Prompts::Kind::Info);
        const QString &report = shown.text;
        const QString &title = shown.title;
        QCOMPARE(messageBefore, QStringLiteral("导入完成，已导入 2 篇文章，当前表有 2 条记录！\r\n未能导入 1 篇"));
        QCOMPARE(title, QStringLiteral("未能导入的文件"));
        QVERIFY2(report.contains(QStringLiteral("x.txt")), qPrintable(report));
        QVERIFY2(!report.contains(QStringLiteral("1.txt")), qPrintable(report));

        // The dialog's 保存报告 writes the run's report, as varnel-cli does.
        QVERIFY(shown.dialog.extra.has_value());
        QCOMPARE(shown.dialog.extra->caption, QStringLiteral("保存报告"));
        saveScreenshot(shown, QStringLiteral("import-failures"));
        const QString reportFile = m_dir->filePath(QStringLiteral("run.jsonl"));
        Prompts::queueFile(reportFile);
        shown.dialog.extra->action(w.get());
        QCOMPARE(lastMessage(), QStringLiteral("运行报告已保存：") + reportFile);
        QFile written(reportFile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(
            lines.filter(QStringLiteral("\"outcome\":\"failed\"")).join(QString()).contains(QStringLiteral("x.txt")),
            qPrintable(lines.join(QLatin1Char('\n'))));
        QCOMPARE(lines.filter(QStringLiteral("\"outcome\":\"stored\"")).size(), 2);
        QVERIFY2(lines.back().contains(QStringLiteral("\"exit_status\":3")), qPrintable(lines.back()));

        // With n as the key, the files are there already: counted apart.
        w->form().control("编辑框唯一键")->setText("n");
        click(*w, "按钮导入");
        QCOMPARE(Prompts::messages().filter(QStringLiteral("导入完成")).back(),
            QStringLiteral("导入完成，已导入 0 篇文章，当前表有 2 条记录！\r\n已存在 2 篇\r\n未能导入 1 篇"));
        QCOMPARE(column("select count(*) from `" + m_database + "`.nums"), QStringList{QStringLiteral("2")});
        // The column has no unique index: the run says so after it ends,
        // below the files that failed (x.txt again).
        const Prompts::Record said = test::lastRecorded(Prompts::Kind::Info);
        QCOMPARE(said.title, QStringLiteral("未能导入的文件"));
        QVERIFY2(said.text.contains(QStringLiteral("x.txt")), qPrintable(said.text));
        QVERIFY2(said.text.contains(QStringLiteral("运行中的提示：\r\n字段 n 没有唯一索引")), qPrintable(said.text));
        // Without failures the notice stands alone.
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("nums/x.txt"))));
        QVERIFY(m_admin.execute("create table `" + m_database + "`.nums2 like `" + m_database + "`.nums"));
        w->form().control("编辑框表名")->setText("nums2");
        click(*w, "按钮导入");
        const Prompts::Record alone = test::lastRecorded(Prompts::Kind::Info);
        QCOMPARE(alone.title, QStringLiteral("运行中的提示"));
        QVERIFY2(
            alone.text.startsWith(QStringLiteral("运行中的提示：\r\n字段 n 没有唯一索引")), qPrintable(alone.text));
    }

    void aDropDuringADropsQuestionWaitsItsTurn()
    {
        const QStringList first = writeArticles(2, QStringLiteral("one"));
        const QStringList second = writeArticles(3, QStringLiteral("two"));
        auto w = open();
        w->form().control("编辑框表名")->setText("d");
        bool again = false;
        Prompts::setObserver([&](const Prompts::Record &r) {
            if (!again && r.kind == Prompts::Kind::OkCancel) {
                again = true;
                w->dropPaths(second);
            }
        });
        Prompts::queueAnswer(true);
        Prompts::queueAnswer(true);
        w->dropPaths(first);
        Prompts::setObserver({});
        QVERIFY(again);
        QCOMPARE(Prompts::messages().filter(QStringLiteral("导入完成")).size(), 2);
        QCOMPARE(column("select count(*) from `" + m_database + "`.d"), QStringList{QStringLiteral("5")});
    }
};

QTEST_MAIN(MainWindowDbTest)
#include "MainWindowDbTest.moc"
