#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "support/ArticleFixtures.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "text/TextUtil.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/Preview.h"

#include <gtest/gtest.h>

#include <set>

#include <sys/stat.h>

namespace varnel {
namespace {

using test::ScriptedHost;
using test::TempDir;

class ImporterTest : public test::TransferFixture {
protected:
    ImporterTest()
        : TransferFixture("文章")
    {
    }

    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        form.control("编辑框文章目录")->setText(dir.path().string());
    }

    std::vector<std::string> writeFiles(int n, const std::string &prefix = "f")
    {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i) {
            const auto p = dir.file(prefix + std::to_string(i) + ".txt");
            test::writeBytes(p, "第" + std::to_string(i) + "篇 x'y \\ 文章");
            paths.push_back(p.string());
        }
        return paths;
    }

    TempDir dir;
};

TEST_F(ImporterTest, RoundTripOfEveryEncoding)
{
    for (const auto &f : test::articleFixtures())
        test::writeBytes(dir.file(f.name + ".htm"), f.bytes);
    rule("标题", "文件主名");
    rule("内容", "文件内容");
    ArticleImporter importer(form, db, host, random);
    const ImportResult result = importer.startImport();
    ASSERT_EQ(result.outcome, TransferOutcome::Completed) << (host.texts().empty() ? "" : host.recorder.lastText());
    const auto fixtures = test::articleFixtures();
    EXPECT_EQ(result.transferred, static_cast<std::int64_t>(fixtures.size()));
    EXPECT_EQ(host.recorder.lastText(),
        "导入完成，已导入 " + std::to_string(fixtures.size()) + " 篇文章，当前表有 " + std::to_string(fixtures.size())
            + " 条记录！");
    EXPECT_EQ(form.control("按钮导入")->text(), kImportIdle);

    TempDir out;
    form.control("编辑框文章目录")->setText(out.path().string());
    form.control("组合框文件编码")->setCurrentIndex(2);
    ArticleExporter exporter(form, db, host, random);
    const ExportResult exported = exporter.runExport();
    EXPECT_EQ(exported.transferred, static_cast<std::int64_t>(fixtures.size()));
    for (const auto &f : fixtures) {
        const auto path = out.file(f.name + ".html");
        const std::string bytes = test::readBytes(path);
        ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << f.name;
        // The text as read, but for the charset it declares: the one written.
        std::string expected = f.expectedText;
        for (const auto &[declared, written] : {std::pair{"charset=gb2312", "charset=utf-8"},
                 {"charset=big5", "charset=utf-8"}, {"charset=\"Big5-HKSCS\"", "charset=\"utf-8\""}})
            expected = replaceAll(expected, declared, written);
        EXPECT_EQ(bytes.substr(3), expected) << f.name;
    }
}

TEST_F(ImporterTest, CreatesDatabaseAndTableWithTypesPerSource)
{
    const std::string fresh = name + "_new";
    db.execute("drop database if exists `" + fresh + "`");
    form.control("编辑框库名")->setText(fresh);
    form.control("编辑框表名")->setText("order");
    rule("ID", "文件主名");
    rule("内容", "文件内容");
    rule("标题", "文件主名");
    rule("时间", "文件时间");
    rule("摘要", "内容摘要", joinOptions({"1", "3"}));
    rule("2", "固定文本", "");
    rule("有 空格", "随机数母");
    const auto files = writeFiles(1);
    ArticleImporter importer(form, db, host, random);
    ASSERT_EQ(importer.runImport(files).outcome, TransferOutcome::Completed) << host.recorder.lastText();
    EXPECT_TRUE(host.failures.empty()) << host.failures[0].reason;

    const auto types = column("select concat(column_name, ' ', column_type, ' ', extra) from "
                              "information_schema.columns where table_schema='"
        + fresh + "' and table_name='order' order by ordinal_position");
    EXPECT_EQ(types,
        (std::vector<std::string>{"ID bigint(20) auto_increment", "内容 mediumtext ", "标题 tinytext ",
            "时间 datetime ", "摘要 text ", "2 text ", "有 空格 text "}));
    const auto charset = column("select default_character_set_name from information_schema.schemata where "
                                "schema_name='"
        + fresh + "'");
    EXPECT_EQ(charset, std::vector<std::string>{"utf8mb4"});
    // An empty value is stored as one space; the table's ID numbers the row.
    EXPECT_EQ(column("select concat(ID, '|', `2`, '|', `内容`) from `" + fresh + "`.`order`"),
        std::vector<std::string>{"1| |第1篇 x'y \\ 文章"});
    db.execute("drop database if exists `" + fresh + "`");

    // Only "ID" itself is left to the table: "id" is an ordinary rule, and
    // as MySQL names ignore case it collides with the ID column.
    form.control("编辑框库名")->setText(name);
    form.control("编辑框表名")->setText("lower");
    form.clearRows();
    rule("id", "文件主名");
    EXPECT_EQ(importer.runImport(files).outcome, TransferOutcome::Invalid);
    EXPECT_EQ(host.recorder.lastText(), "表不存在且自动创建失败：lower");
}

// Database, table and column names are names whatever they hold: a backtick
// in one is part of it, both when the import creates them and when it fills
// an existing table, one statement per file or in batches.
TEST_F(ImporterTest, BackticksAreCharactersOfTheNames)
{
    const std::string database = name + "_`q";
    const std::string quoted = "`" + name + "_``q`";
    db.execute("drop database if exists " + quoted);
    form.control("编辑框库名")->setText(database);
    form.control("编辑框表名")->setText("a`b");
    rule("c`d", "文件主名");
    rule("``e", "文件内容");
    const auto files = writeFiles(2);
    ArticleImporter importer(form, db, host, random);
    for (std::size_t batch : {ArticleImporter::kDefaultBatchRows, std::size_t{1}}) {
        SCOPED_TRACE(batch);
        importer.setBatchSize(batch);
        const ImportResult result = importer.runImport(files);
        ASSERT_EQ(result.outcome, TransferOutcome::Completed) << host.recorder.lastText();
        EXPECT_EQ(result.transferred, 2);
        EXPECT_TRUE(result.failures.empty());
    }
    EXPECT_EQ(column("select column_name from information_schema.columns where table_schema='" + database
                  + "' and table_name='a`b' order by ordinal_position"),
        (std::vector<std::string>{"ID", "c`d", "``e"}));
    EXPECT_EQ(column("select concat(`c``d`, ':', `````e`) from " + quoted + ".`a``b` order by ID"),
        (std::vector<std::string>{
            "f1:第1篇 x'y \\ 文章", "f2:第2篇 x'y \\ 文章", "f1:第1篇 x'y \\ 文章", "f2:第2篇 x'y \\ 文章"}));
    db.execute("drop database if exists " + quoted);
}

TEST_F(ImporterTest, PositionalTargetsOnAnExistingTable)
{
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, title text, content text)"));
    rule("2", "文件主名");
    rule("3", "文件内容");
    rule("9", "固定文本", "x"); // no 9th column: stays "9", the insert fails
    const auto files = writeFiles(2);
    ArticleImporter importer(form, db, host, random);
    const ImportResult result = importer.runImport(files);
    EXPECT_EQ(form.cell(0, 0), "title");
    EXPECT_EQ(form.cell(1, 0), "content");
    EXPECT_EQ(form.cell(2, 0), "9");
    EXPECT_EQ(result.transferred, 0);
    ASSERT_EQ(host.failures.size(), 2u);
    EXPECT_NE(host.failures[0].reason.find("未知列"), std::string::npos) << host.failures[0].reason;
    EXPECT_EQ(host.recorder.lastText(), "导入完成，已导入 0 篇文章，当前表有 0 条记录！\r\n未能导入 2 篇");

    form.removeRow(2);
    EXPECT_EQ(importer.runImport(files).transferred, 2);
    EXPECT_EQ(column("select title from `文章` order by ID"), (std::vector<std::string>{"f1", "f2"}));
}

// The preview makes its rows with the import's own builder: given the
// table's columns, a positional target names the column the import writes,
// with the value the import stores there, and the mapping stays as typed.
TEST_F(ImporterTest, PreviewAndImportAgreeOnPositionalTargets)
{
    ASSERT_TRUE(db.execute(
        "create table `文章` (ID bigint auto_increment primary key, title text, content text, n text, `5` text)"));
    rule("3", "文件内容");
    rule("2", "文件主名");
    rule("4", "递进数字", joinOptions({"7", "2", "假"}));
    rule("5", "固定文本", "x"); // the column named "5" is the 5th
    const auto files = writeFiles(2);

    const auto preview =
        previewImport(form, files, random, systemClock(), std::vector<std::string>{"ID", "title", "content", "n", "5"});
    EXPECT_EQ(form.cell(0, 0), "3");
    ASSERT_EQ(preview.size(), 2u);

    ArticleImporter importer(form, db, host, random);
    ASSERT_EQ(importer.runImport(files).transferred, 2);
    for (std::size_t f = 0; f < preview.size(); ++f) {
        ASSERT_EQ(preview[f].values.size(), 4u);
        for (const auto &v : preview[f].values) {
            const auto stored = column("select `" + v.target + "` from `文章` order by ID");
            ASSERT_EQ(stored.size(), 2u) << v.target;
            EXPECT_EQ(stored[f], v.value) << v.target;
        }
    }
    EXPECT_EQ(preview[1].values[0].target, "content");
    EXPECT_EQ(preview[1].values[2].value, "9");
}

TEST_F(ImporterTest, CountersCarryOverWithKeepCounting)
{
    rule("序号", "递进数字", joinOptions({"5", "2", "真"}));
    rule("固定", "递进数字", joinOptions({"3", "0", "假"}));
    const auto files = writeFiles(3);
    ArticleImporter importer(form, db, host, random);
    importer.runImport(files);
    EXPECT_EQ(column("select `序号` from `文章`"), (std::vector<std::string>{"5", "7", "9"}));
    EXPECT_EQ(column("select `固定` from `文章`"), (std::vector<std::string>{"3", "3", "3"}));
    EXPECT_EQ(form.cell(0, 2), joinOptions({"11", "2", "真"}));
    EXPECT_EQ(form.cell(1, 2), joinOptions({"3", "0", "假"}));
    importer.runImport({files[0]});
    EXPECT_EQ(column("select max(`序号`+0) from `文章`"), std::vector<std::string>{"11"});
}

TEST_F(ImporterTest, RandomOrderImportsEachFileOnce)
{
    rule("标题", "文件主名");
    form.control("选择框乱序导入")->setChecked(true);
    const auto files = writeFiles(25);
    ArticleImporter importer(form, db, host, random);
    importer.runImport(files);
    const auto titles = column("select `标题` from `文章`");
    EXPECT_EQ(titles.size(), 25u);
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), 25u);
    std::vector<std::string> inOrder;
    for (int i = 1; i <= 25; ++i)
        inOrder.push_back("f" + std::to_string(i));
    EXPECT_NE(titles, inOrder);
}

TEST_F(ImporterTest, StopAfterTheCurrentFileStillReports)
{
    rule("标题", "文件主名");
    const auto files = writeFiles(10);
    for (std::size_t batch : {std::size_t{1}, ArticleImporter::kDefaultBatchRows}) {
        db.execute("delete from `文章`");
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(batch);
        host.windowCaption.clear();
        host.onEvents = [&] {
            // The button pressed again once the third file is through.
            if (host.windowCaption == "f3")
                importer.startImport();
        };
        const ImportResult result = importer.runImport(files);
        EXPECT_EQ(result.outcome, TransferOutcome::Completed);
        EXPECT_EQ(result.transferred, 3) << "batch " << batch;
        // The message says the run was stopped; the files it did not come to
        // are listed after it.
        EXPECT_EQ(
            host.recorder.lastText(), "导入完成，已导入 3 篇文章，当前表有 3 条记录！\r\n已停止，还有 7 篇未导入");
        EXPECT_TRUE(result.stopped);
        ASSERT_EQ(result.skipped.size(), 7u) << "batch " << batch;
        EXPECT_EQ(result.skipped.front().item, files[3]);
        EXPECT_EQ(result.skipped.front().reason, kStoppedReason);
        ASSERT_EQ(host.lists.count("运行停止时尚未导入的文件"), 1u);
        EXPECT_EQ(host.lists.at("运行停止时尚未导入的文件").size(), 7u);
        host.lists.clear();
        EXPECT_EQ(form.control("按钮导入")->text(), kImportIdle);
        host.onEvents = nullptr;
    }
}

TEST_F(ImporterTest, CtrlClearsTheTableAfterAsking)
{
    rule("标题", "文件主名");
    const auto files = writeFiles(2);
    ArticleImporter importer(form, db, host, random);
    importer.runImport(files);
    host.ctrl = true;
    host.recorder.answers = {false, true};
    const std::size_t messages = host.texts().size();
    EXPECT_EQ(importer.runImport(files).outcome, TransferOutcome::Cancelled);
    EXPECT_EQ(host.texts().size(), messages); // nothing shown
    EXPECT_EQ(host.recorder.lastQuestion().text, "确定要清空全部记录再导入？");
    EXPECT_EQ(host.recorder.lastQuestion().icon, MessageIcon::Warning);
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});
    EXPECT_EQ(importer.runImport({files[0]}).tableRows, 1);
}

// The window's Ctrl-import on rows that cannot be deleted: the run ends
// with the server's reason before anything is imported.
TEST_F(ImporterTest, ClearingThatFailsImportsNothing)
{
    rule("标题", "文件主名");
    const auto files = writeFiles(2);
    ArticleImporter importer(form, db, host, random);
    importer.runImport(files);
    ASSERT_TRUE(db.execute(
        "create table `子` (`文章ID` bigint, foreign key (`文章ID`) references `文章` (`ID`)) engine=InnoDB"));
    ASSERT_TRUE(db.execute("insert into `子` select min(`ID`) from `文章`"));
    host.ctrl = true;
    host.recorder.answers = {true};
    const ImportResult result = importer.runImport(files);
    EXPECT_EQ(result.outcome, TransferOutcome::Interrupted);
    EXPECT_EQ(host.recorder.lastText(), "清空表记录失败：文章");
    ASSERT_EQ(host.details.size(), 1u);
    EXPECT_TRUE(host.details[0].starts_with("无法删除或更新父行：外键约束失败")) << host.details[0];
    EXPECT_EQ(result.detail, host.details[0]);
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});
    EXPECT_EQ(form.control("按钮导入")->text(), kImportIdle);
}

// A tree deeper than the longest path the system opens in one call: every
// level's file is imported, the deep ones opened a folder at a time.
TEST_F(ImporterTest, TreeDeeperThanAPath)
{
    constexpr int kDepth = 2100;
    const test::DeepTree tree(dir.path(), kDepth, "深处");
    ASSERT_TRUE(tree.made()) << "could not build the tree";
    rule("内容", "文件内容");
    form.control("选择框遍历子目录")->setChecked(true);
    form.control("编辑框文件类型")->setText("*.txt");
    ArticleImporter importer(form, db, host, random);
    const ImportResult result = importer.startImport();
    ASSERT_EQ(result.outcome, TransferOutcome::Completed);
    EXPECT_EQ(result.transferred, kDepth + 1);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front().item.size() << " "
                                         << result.failures.front().reason;
    EXPECT_EQ(column("select count(*) from `文章` where `内容` = '深处'"),
        std::vector<std::string>{std::to_string(kDepth + 1)});
}

TEST_F(ImporterTest, ValidationMessagesInOrder)
{
    ArticleImporter importer(form, db, host, random);
    form.control("编辑框文章目录")->setText(dir.file("missing").string());
    EXPECT_EQ(importer.startImport().outcome, TransferOutcome::Invalid);
    EXPECT_EQ(host.recorder.lastText(), "请先选择要导入到数据库的文章所在目录，或者直接拖放文件列表到本窗口开始导入！");
    EXPECT_EQ(host.focused, "编辑框文章目录");
    form.control("编辑框文章目录")->setText(dir.path().string());
    form.control("编辑框文件类型")->setText("*.none");
    importer.startImport();
    EXPECT_EQ(host.recorder.lastText(), "根据文件类型设置[*.none]在这个目录中找不到文件：\r\n" + dir.path().string());

    const auto files = writeFiles(1);
    importer.runImport(files);
    EXPECT_EQ(host.recorder.lastText(), "请在 数据字段设置 中添加至少一个字段！");
    form.control("编辑框表名")->setText("");
    importer.runImport(files);
    EXPECT_EQ(host.recorder.lastText(), "请输入表名！");
    form.control("编辑框库名")->setText("");
    importer.runImport(files);
    EXPECT_EQ(host.recorder.lastText(), "请输入库名！");
    EXPECT_EQ(host.focused, "编辑框库名");

    MySqlConnection closed;
    ArticleImporter offline(form, closed, host, random);
    form.control("编辑框库名")->setText("d");
    form.control("编辑框表名")->setText("t");
    rule("标题", "文件主名");
    offline.runImport(files);
    EXPECT_EQ(host.recorder.lastText(), "库不存在且自动创建失败：d");
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

class ImporterFaultTest : public test::ArticleFilesFixture {
protected:
    ImportResult import(const std::vector<std::string> &files)
    {
        ArticleImporter importer(form, db, host, random);
        return importer.runImport(files);
    }
};

TEST_F(ImporterFaultTest, FilesThatCannotBeReadAreListedNotStoredBlank)
{
    const std::string good = file("good.txt", "正文");
    const std::string empty = file("empty.txt", "");
    const std::string fifo = dir.file("pipe.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = dir.file("folder.txt").string();
    std::filesystem::create_directory(folder);
    const std::string missing = dir.file("gone.txt").string();

    const ImportResult result = import({good, fifo, folder, "/dev/zero", missing, empty});
    EXPECT_EQ(result.transferred, 2);
    std::set<std::string> failed;
    for (const TransferFailure &f : result.failures) {
        failed.insert(f.item);
        EXPECT_FALSE(f.reason.empty()) << f.item;
    }
    EXPECT_EQ(failed, (std::set<std::string>{fifo, folder, "/dev/zero", missing}));
    EXPECT_EQ(host.lists.count("未能导入的文件"), 1u);
    // An empty file that could be read is still a row, stored as one space.
    EXPECT_EQ(column("select concat(标题, '|', 内容) from 文章 order by ID"),
        (std::vector<std::string>{"good|正文", "empty| "}));
}

TEST_F(ImporterFaultTest, ACounterThatWouldLeave64BitsIsRefusedBeforeAnythingIsWritten)
{
    rule("序号", "递进数字", joinOptions({"9223372036854775806", "1", "真"}));
    const std::vector<std::string> two = {file("a.txt", "a"), file("b.txt", "b")};
    EXPECT_EQ(import(two).transferred, 2);
    EXPECT_EQ(column("select 序号 from 文章 order by ID"),
        (std::vector<std::string>{"9223372036854775806", "9223372036854775807"}));
    // The next start would be past the top: refused, not a jump backwards.
    EXPECT_EQ(import({two[0]}).outcome, TransferOutcome::Invalid);
    EXPECT_EQ(column("select count(*) from 文章"), std::vector<std::string>{"2"});
    EXPECT_NE(host.recorder.lastText().find("序号"), std::string::npos) << host.recorder.lastText();
}

TEST_F(ImporterFaultTest, PreviewShowsWhatTheImportStores)
{
    rule("摘要", "内容摘要", joinOptions({"0", "0"}));
    const std::string empty = file("empty.txt", "");
    const auto rows = previewImport(form, {empty, dir.file("gone.txt").string()}, random);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].values.size(), 3u);
    EXPECT_EQ(rows[0].values[1].value, " ");
    EXPECT_EQ(rows[0].values[2].value, " ");
    EXPECT_TRUE(rows[1].values.empty());
    EXPECT_FALSE(rows[1].error.empty());

    import({empty});
    EXPECT_EQ(column("select concat('[', 内容, '|', 摘要, ']') from 文章"), std::vector<std::string>{"[ | ]"});
}

TEST_F(ImporterFaultTest, DamagedGzipIsStoredAndListedAsIncomplete)
{
    std::string gz = test::gzipBytes(std::string(100000, 'a'));
    const std::string whole = file("whole.htm", gz);
    gz.resize(gz.size() / 2);
    const std::string cut = file("cut.htm", gz);
    const ImportResult result = import({whole, cut});
    EXPECT_EQ(result.transferred, 2);
    EXPECT_TRUE(result.failures.empty());
    ASSERT_EQ(result.incomplete.size(), 1u);
    EXPECT_EQ(result.incomplete[0].item, cut);
    EXPECT_EQ(result.incomplete[0].reason, "gzip 数据损坏或过大，内容不完整");
    const auto lengths = column("select length(内容) from 文章 order by ID");
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(lengths[0], "100000");
    EXPECT_LT(std::stoi(lengths[1]), 100000);
}

TEST_F(ImporterFaultTest, NewTablesAreUtf8mb4WithTheirOwnTypesInALatin1Database)
{
    const std::string latin = name + "_l";
    ASSERT_TRUE(db.execute("create database `" + latin + "` character set latin1"));
    form.control("编辑框库名")->setText(latin);
    rule("日", "文件时间");
    for (int format : {0, 1, 2}) {
        SCOPED_TRACE(format);
        db.execute("drop table if exists `" + latin + "`.`文章`");
        form.control("组合框类型")->setCurrentIndex(format);
        const ImportResult result = import({file("a.txt", "中文𠮷")});
        EXPECT_EQ(result.transferred, 1) << (result.failures.empty() ? "" : result.failures[0].reason);
        const auto types = column("select concat(column_name, ' ', column_type, ' ', ifnull(character_set_name, '-')) "
                                  "from information_schema.columns where table_schema='"
            + latin + "' and table_name='文章' order by ordinal_position");
        const char *time = format == 1 ? "日 date -" : format == 2 ? "日 time -" : "日 datetime -";
        EXPECT_EQ(types,
            (std::vector<std::string>{"ID bigint(20) -", "标题 tinytext utf8mb4", "内容 mediumtext utf8mb4", time}));
        EXPECT_EQ(column("select 内容 from `" + latin + "`.`文章`"), std::vector<std::string>{"中文𠮷"});
    }
    db.execute("drop database `" + latin + "`");
}

TEST_F(ImporterFaultTest, FailedCreationsGiveTheServersReasonAndALostRaceGoesOn)
{
    form.control("编辑框表名")->setText("bad");
    rule("标题", "随机数母"); // a second column of the same name
    EXPECT_EQ(import({file("a.txt", "x")}).outcome, TransferOutcome::Invalid);
    EXPECT_EQ(host.recorder.lastText(), "表不存在且自动创建失败：bad");
    ASSERT_EQ(host.details.size(), 1u);
    EXPECT_NE(host.details[0].find("标题"), std::string::npos) << host.details[0];

    // Another program creates the table between our look and our create.
    form.removeRow(2);
    form.control("编辑框表名")->setText("raced");
    MySqlConnection other;
    ASSERT_TRUE(other.connect(settings.server, settings.user, settings.password));
    db.setStatementObserver([&](std::string_view s) {
        if (s.starts_with("create table"))
            other.execute(
                "create table `" + name + "`.raced (ID bigint auto_increment primary key, 标题 text, 内容 text)");
    });
    const ImportResult result = import({file("b.txt", "y")});
    db.setStatementObserver({});
    EXPECT_EQ(result.outcome, TransferOutcome::Completed);
    EXPECT_EQ(result.transferred, 1);
    EXPECT_EQ(column("select 内容 from raced"), std::vector<std::string>{"y"});
}

} // namespace
} // namespace varnel
