// The table creation window against the sandbox server.
#include "GuiSupport.h"

#include "gui/CreateTableWindow.h"
#include "gui/MainWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <unistd.h>

#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

namespace {

constexpr int kVarchar = 19;
constexpr int kEnum = 24;
constexpr int kSet = 25;
constexpr int kText = 15;

QStringList texts(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *t : list)
        out << QString::fromUtf8(t);
    return out;
}

} // namespace

class CreateTableWindowTest : public QObject {
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
    // Answers the next text dialog with `text` (or cancels it).
    static void answerDialog(const QString &text, bool ok = true)
    {
        if (ok)
            Prompts::queueText(text);
        else
            Prompts::queueTextCancelled();
    }
    // How many text dialogs asked; what the last one showed when it came up.
    static int dialogs() { return test::recordedCount(Prompts::Kind::Text); }
    static QString dialogText() { return test::lastRecorded(Prompts::Kind::Text).text; }
    CreateTableWindow *openWindow()
    {
        m_main->openCreateTable();
        return m_main->createTableWindow();
    }
    // A choice of the user in the type box: the keyboard's arrows.
    void chooseType(CreateTableWindow *w, int index)
    {
        QComboBox *box = w->typeBox();
        box->setCurrentIndex(index - 1);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentIndex(), index);
    }
    void setName(CreateTableWindow *w, const char *name) { w->form().control("编辑框字段名")->setText(name); }
    void click(CreateTableWindow *w, const char *button) { w->form().widgetAs<QPushButton>(button)->click(); }
    void addField(CreateTableWindow *w, const char *name, int type)
    {
        setName(w, name);
        w->typeBox()->setCurrentIndex(type);
        click(w, "按钮添加字段");
    }
    QStringList row(CreateTableWindow *w, int r)
    {
        return {qs(w->form().cell(r, 0)), qs(w->form().cell(r, 1)), qs(w->form().cell(r, 2))};
    }
    void setMainNames(const std::string &database, const std::string &table)
    {
        m_main->form().control("编辑框库名")->setText(database);
        m_main->form().control("编辑框表名")->setText(table);
    }
    QStringList columnTypes(const std::string &database, const std::string &table)
    {
        return column("select concat(COLUMN_NAME, ' ', COLUMN_TYPE) from information_schema.COLUMNS where "
                      "TABLE_SCHEMA='"
            + escapeString(database) + "' and TABLE_NAME='" + escapeString(table) + "' order by ORDINAL_POSITION");
    }
    bool windowVisible()
    {
        const auto windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(),
            [](QWidget *w) { return w->objectName() == QStringLiteral("CreateTableWindow") && w->isVisible(); });
    }

private slots:
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        test::openTestFiles(m_dir, m_settings, m_db);
        m_sent.clear();
        m_db->setStatementObserver([this](std::string_view s) { m_sent.emplace_back(s); });
        QVERIFY(m_admin.connect(m_sandbox.server, m_sandbox.user, m_sandbox.password));
        m_database = "vt" + std::to_string(::getpid()) + "_" + std::to_string(++m_counter) + "_c";
        exec("create database `" + m_database + "` character set utf8mb4");
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
        m_main->openCreateTable();
        QCOMPARE(lastMessage(), QStringLiteral("主界面尚未连接到MySQL，无法使用创建表功能！"));
        QVERIFY(!m_main->createTableWindow());
        QVERIFY(!windowVisible());

        // Not connected yet: opening connects first.
        m_main->form().control("编辑框密码")->setText(m_sandbox.password);
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        QVERIFY(m_db->isOpen());
        QCOMPARE(m_main->form().control("按钮建立连接")->text(), std::string("断开连接"));
        QCOMPARE(w->windowTitle(), QStringLiteral("新建表 - 请在主界面连接到MySQL，设置好库名和表名"));
        QCOMPARE(w->parentWidget(), m_main.get());
        QVERIFY(w->isWindow());
        QVERIFY(w->acceptDrops());
        QVERIFY(w->width() >= 525 && w->height() >= 397);
        QCOMPARE(w->fieldGroup()->title(), QStringLiteral("数据字段设置(MySQL.field)"));
        QCOMPARE(w->typeBox()->count(), 26);
        QCOMPARE(w->typeBox()->itemText(0), QStringLiteral("小数(decimal)"));
        QCOMPARE(w->typeBox()->itemText(25), QStringLiteral("集合(set)"));
        // First run: nothing stored, float selected.
        QCOMPARE(w->typeBox()->currentIndex(), 7);
        QCOMPARE(w->typeBox()->currentText(), QStringLiteral("单精度小数(float)"));
        for (int i = 0; i < 26; ++i)
            QCOMPARE(w->storedValue(i), QStringLiteral("0"));
        QCOMPARE(w->fieldList()->headerItem()->text(2), QStringLiteral("长度或取值范围"));
        QCOMPARE(dialogs(), 0);
        // Opening again raises the same window.
        m_main->openCreateTable();
        QCOMPARE(m_main->createTableWindow(), w);
    }

    void lengthIsAskedOnlyWhenTheUserChoosesAType()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        answerDialog(QStringLiteral("100"));
        chooseType(w, kVarchar);
        QCOMPARE(dialogs(), 1);
        QCOMPARE(dialogText(), QStringLiteral("0"));
        QCOMPARE(w->storedValue(kVarchar), QStringLiteral("100"));
        addField(w, "name", kVarchar);
        QCOMPARE(row(w, 0), (texts({"name", "变长字符串(varchar)", "100"})));

        // A text after the digits is dropped; a cancelled dialog keeps the
        // value.
        answerDialog(QStringLiteral("64 chars"));
        chooseType(w, kVarchar);
        QCOMPARE(dialogText(), QStringLiteral("100"));
        QCOMPARE(w->storedValue(kVarchar), QStringLiteral("64"));
        answerDialog(QStringLiteral("9"), false);
        chooseType(w, kVarchar);
        QCOMPARE(w->storedValue(kVarchar), QStringLiteral("64"));
        QCOMPARE(dialogs(), 3);

        // A type without a length asks nothing.
        chooseType(w, kText);
        QCoreApplication::processEvents();
        QCOMPARE(dialogs(), 3);
        addField(w, "body", kText);
        QCOMPARE(row(w, 1), (texts({"body", "文本(text)", "无"})));

        // Choosing a row loads it without asking: the stored value is the
        // row's.
        w->fieldList()->makeCurrent(0);
        QCoreApplication::processEvents();
        QCOMPARE(dialogs(), 3);
        QCOMPARE(w->typeBox()->currentIndex(), kVarchar);
        QCOMPARE(w->storedValue(kVarchar), QStringLiteral("100"));
        QCOMPARE(w->form().control("编辑框字段名")->text(), std::string("name"));
        w->fieldList()->makeCurrent(1);
        QCOMPARE(w->typeBox()->currentIndex(), kText);
        QCOMPARE(w->storedValue(kText), QStringLiteral("0"));

        // Enum and set keep the text as typed.
        answerDialog(QStringLiteral("'a','b'"));
        chooseType(w, kEnum);
        QCOMPARE(w->storedValue(kEnum), QStringLiteral("'a','b'"));
        answerDialog(QStringLiteral("'x','y'"));
        chooseType(w, kSet);
        QCOMPARE(w->storedValue(kSet), QStringLiteral("'x','y'"));
        QCOMPARE(dialogs(), 5);
    }

    void fieldsAreCreatedExactly()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        answerDialog(QStringLiteral("'a','b'"));
        chooseType(w, kEnum);
        addField(w, "kind", kEnum);
        addField(w, "a b", kText);
        addField(w, "x`y", 4);
        w->setStoredValue(kVarchar, QStringLiteral("0"));
        addField(w, "v", kVarchar);
        QCOMPARE(row(w, 3), (texts({"v", "变长字符串(varchar)", "0"})));
        setMainNames(m_database + "_new", "t.u");
        m_sent.clear();
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("创建表成功"));
        QCOMPARE(columnTypes(m_database + "_new", "t.u"),
            (texts({"ID bigint(20)", "kind enum('a','b')", "a b text", "x`y int(11)", "v varchar(255)"})));
        QCOMPARE(column("select DEFAULT_CHARACTER_SET_NAME from information_schema.SCHEMATA where SCHEMA_NAME='"
                     + m_database + "_new'"),
            QStringList{QStringLiteral("utf8mb4")});
        QCOMPARE(column("select TABLE_COLLATION from information_schema.TABLES where TABLE_SCHEMA='" + m_database
                     + "_new' and TABLE_NAME='t.u'"),
            QStringList{QStringLiteral("utf8mb4_general_ci")});
        QVERIFY(std::none_of(
            m_sent.begin(), m_sent.end(), [](const std::string &s) { return s.starts_with("ALTER TABLE"); }));
        // The pickers read their lists anew.
        QCOMPARE(m_main->form().control("按钮库列表")->tag(), std::string());
    }

    void messagesAndWhereFocusGoes()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        QWidget *name = w->form().widget("编辑框字段名");
        setName(w, "  ");
        click(w, "按钮添加字段");
        QCOMPARE(lastMessage(), QStringLiteral("请输入字段名！"));
        QCOMPARE(w->focusWidget(), name);
        click(w, "按钮修改字段");
        QCOMPARE(lastMessage(), QStringLiteral("请输入字段名！"));

        addField(w, "a", kText);
        addField(w, "b", kText);
        w->fieldList()->makeCurrent(0);
        addField(w, "b", kText);
        QCOMPARE(lastMessage(), QStringLiteral("字段名不能重复：b"));
        QCOMPARE(w->fieldList()->currentRow(), 1);
        QCOMPARE(w->focusWidget(), w->fieldList());
        QCOMPARE(w->fieldList()->topLevelItemCount(), 2);

        w->fieldList()->setCurrentItem(nullptr);
        setName(w, "c");
        click(w, "按钮修改字段");
        QCOMPARE(lastMessage(), QStringLiteral("请选中一个字段再修改！"));
        click(w, "按钮删除字段");
        QCOMPARE(lastMessage(), QStringLiteral("请选中一个字段再删除！右击按钮将全部清空！"));

        // The last row deleted: the new last row is current and shown.
        w->fieldList()->makeCurrent(1);
        click(w, "按钮删除字段");
        QCOMPARE(w->fieldList()->topLevelItemCount(), 1);
        QCOMPARE(w->fieldList()->currentRow(), 0);
        QCOMPARE(w->form().control("编辑框字段名")->text(), std::string("a"));

        // A right press on 删除字段 empties the list after asking.
        auto *del = w->form().widgetAs<RightButton>("按钮删除字段");
        Prompts::queueAnswer(false);
        QTest::mousePress(del, Qt::RightButton);
        QTest::mouseRelease(del, Qt::RightButton);
        QCOMPARE(Prompts::records().back().text, QStringLiteral("确定要删除所有字段吗？"));
        QCOMPARE(Prompts::records().back().kind, Prompts::Kind::OkCancel);
        QCOMPARE(w->fieldList()->topLevelItemCount(), 1);
        Prompts::queueAnswer(true);
        QTest::mousePress(del, Qt::RightButton);
        QTest::mouseRelease(del, Qt::RightButton);
        QCOMPARE(w->fieldList()->topLevelItemCount(), 0);

        // The names come from the main window, and so does the focus.
        QWidget *database = m_main->form().widget("编辑框库名");
        QWidget *table = m_main->form().widget("编辑框表名");
        setMainNames("", "t");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("请输入库名！"));
        QCOMPARE(m_main->focusWidget(), database);
        setMainNames(m_database, "");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("请输入表名！"));
        QCOMPARE(m_main->focusWidget(), table);
        setMainNames(m_database, "t");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("请添加至少一个字段！"));
        QVERIFY(columnTypes(m_database, "t").isEmpty());
    }

    void onlyTheDatabase()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        w->form().control("选择框仅新建库")->setChecked(true);
        setMainNames(m_database, "");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("库已存在！"));
        QCOMPARE(m_main->focusWidget(), m_main->form().widget("编辑框库名"));

        addField(w, "title", kText);
        setMainNames(m_database + "_n`b", "t");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("创建库成功！"));
        QCOMPARE(column("select DEFAULT_CHARACTER_SET_NAME from information_schema.SCHEMATA where SCHEMA_NAME='"
                     + escapeString(m_database + "_n`b") + "'"),
            QStringList{QStringLiteral("utf8mb4")});
        QVERIFY(column("select TABLE_NAME from information_schema.TABLES where TABLE_SCHEMA='"
            + escapeString(m_database + "_n`b") + "'")
                    .isEmpty());
    }

    // The manager open beside it lists what was created, count included,
    // with no refresh by hand, and keeps the database chosen there.
    void theManagerShowsWhatWasCreated()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        m_main->openManager();
        ManagerWindow *m = m_main->manager();
        QVERIFY(m);
        QTRY_VERIFY(!m->databaseList()->findItems(qs(m_database), Qt::MatchExactly).isEmpty());
        m->databaseList()->setCurrentItem(m->databaseList()->findItems(qs(m_database), Qt::MatchExactly).front());
        const int tables = m->tableList()->count();
        auto title = [m](const char *group) { return m->findChild<QGroupBox *>(QString::fromUtf8(group))->title(); };

        addField(w, "title", kText);
        setMainNames(m_database, "fresh");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("创建表成功"));
        QCOMPARE(m->tableList()->count(), tables + 1);
        QVERIFY(!m->tableList()->findItems(QStringLiteral("fresh"), Qt::MatchExactly).isEmpty());
        QVERIFY2(title("分组框表").contains(QStringLiteral("( %1 个)").arg(tables + 1)), qPrintable(title("分组框表")));

        setMainNames(m_database + "_more", "t");
        click(w, "按钮执行创建");
        // (Other tests make and drop databases meanwhile: the count is the
        // list's own.)
        QVERIFY(!m->databaseList()->findItems(qs(m_database + "_more"), Qt::MatchExactly).isEmpty());
        QVERIFY2(title("分组框库").contains(QStringLiteral("( %1 个)").arg(m->databaseList()->count())),
            qPrintable(title("分组框库")));
        QCOMPARE(m->databaseList()->currentItem()->text(), qs(m_database));
        QCOMPARE(m->tableList()->count(), tables + 1);
    }

    void anExistingTableIsNotTouched()
    {
        exec("create table `" + m_database + "`.old (v int) character set latin1");
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        addField(w, "title", kText);
        setMainNames(m_database, "old");
        click(w, "按钮执行创建");
        QCOMPARE(lastMessage(), QStringLiteral("创建表失败"));
        QCOMPARE(column("select TABLE_COLLATION from information_schema.TABLES where TABLE_SCHEMA='" + m_database
                     + "' and TABLE_NAME='old'"),
            QStringList{QStringLiteral("latin1_swedish_ci")});
        QCOMPARE(columnTypes(m_database, "old"), QStringList{QStringLiteral("v int(11)")});
    }

    void stateIsKeptFromRunToRun()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        answerDialog(QStringLiteral("80"));
        chooseType(w, kVarchar);
        addField(w, "name", kVarchar);
        addField(w, "body", kText);
        w->form().control("选择框仅新建库")->setChecked(true);
        w->typeBox()->setCurrentIndex(kSet);
        QPointer<CreateTableWindow> guard(w);
        click(w, "按钮关闭");
        QTRY_VERIFY(!guard);
        QVERIFY(!m_main->createTableWindow());

        m_settings->setSection("新建表");
        QCOMPARE(m_settings->readNumber("字段数"), 2.0);
        QCOMPARE(m_settings->readText("字段名(1)"), std::string("name"));
        QCOMPARE(m_settings->readText("类型(1)"), std::string("变长字符串(varchar)"));
        QCOMPARE(m_settings->readText("长度或取值范围(1)"), std::string("80"));
        QCOMPARE(m_settings->readText("长度或取值范围(2)"), std::string("无"));

        w = openWindow();
        QVERIFY(w);
        QCOMPARE(dialogs(), 1);
        QCOMPARE(w->fieldList()->topLevelItemCount(), 2);
        QCOMPARE(row(w, 0), (texts({"name", "变长字符串(varchar)", "80"})));
        QCOMPARE(row(w, 1), (texts({"body", "文本(text)", "无"})));
        QVERIFY(w->form().control("选择框仅新建库")->isChecked());
        QCOMPARE(w->typeBox()->currentIndex(), kSet);
        QCOMPARE(w->typeBox()->count(), 26);
    }

    void aDroppedConfigurationIsImported()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        addField(w, "from_file", kText);
        w->form().control("选择框仅新建库")->setChecked(true);
        const QString path = m_dir->filePath(QStringLiteral("table.INI"));
        Prompts::queueFile(path);
        w->exportConfig();
        QCOMPARE(lastMessage(), QStringLiteral("导出配置完成！"));
        QCOMPARE(Prompts::records().front().title, QStringLiteral("选择一个文件路径保存当前界面配置："));
        QVERIFY(QFile::exists(path));

        Prompts::queueAnswer(true);
        w->clearAll();
        w->form().control("选择框仅新建库")->setChecked(false);
        const int before = static_cast<int>(Prompts::records().size());
        QFile other(m_dir->filePath(QStringLiteral("x.txt")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        w->dropPaths({other.fileName()});
        w->dropPaths({path, path});
        QCOMPARE(static_cast<int>(Prompts::records().size()), before);
        QCOMPARE(w->fieldList()->topLevelItemCount(), 0);

        w->dropPaths({path});
        QCOMPARE(lastMessage(), QStringLiteral("导入配置完成！"));
        QCOMPARE(w->fieldList()->topLevelItemCount(), 1);
        QCOMPARE(row(w, 0), (texts({"from_file", "文本(text)", "无"})));
        QVERIFY(w->form().control("选择框仅新建库")->isChecked());
    }

    void disconnectingSavesAndCloses()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        addField(w, "kept", kText);
        QPointer<CreateTableWindow> guard(w);
        m_main->connectAction(); // disconnects
        QVERIFY(!m_db->isOpen());
        QTRY_VERIFY(!guard);
        m_settings->setSection("新建表");
        QCOMPARE(m_settings->readText("字段名(1)"), std::string("kept"));

        // Closing the main window closes and saves it too.
        m_main->connectAction();
        w = openWindow();
        QVERIFY(w);
        addField(w, "second", kText);
        guard = w;
        m_main->close();
        QTRY_VERIFY(!guard);
        m_settings->setSection("新建表");
        QCOMPARE(m_settings->readText("字段名(2)"), std::string("second"));
    }

    void screenshot()
    {
        CreateTableWindow *w = openWindow();
        QVERIFY(w);
        w->setStoredValue(kVarchar, QStringLiteral("100"));
        addField(w, "title", kVarchar);
        addField(w, "content", 16);
        addField(w, "author", 18);
        w->setStoredValue(kEnum, QStringLiteral("'draft','published'"));
        addField(w, "state", kEnum);
        addField(w, "posted", 10);
        w->fieldList()->makeCurrent(0);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Nothing is cut: every button shows its whole caption.
        for (const char *name : {"按钮添加字段", "按钮修改字段", "按钮删除字段", "按钮导入配置", "按钮导出配置",
                 "按钮执行创建", "按钮关闭"}) {
            auto *b = w->form().widgetAs<QPushButton>(name);
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()), name);
            QVERIFY2(w->rect().contains(QRect(b->mapTo(w, QPoint(0, 0)), b->size())), name);
        }
        QVERIFY(w->typeBox()->width() >= w->typeBox()->fontMetrics().horizontalAdvance(w->typeBox()->currentText()));
        saveScreenshot(*w, QStringLiteral("create-table"));
    }
};

QTEST_MAIN(CreateTableWindowTest)
#include "CreateTableWindowTest.moc"
