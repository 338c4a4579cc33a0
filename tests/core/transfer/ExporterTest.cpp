#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "transfer/ArticleExporter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace varnel {
namespace {

using test::ScriptedHost;
using test::TempDir;

class ExporterTest : public test::TransferFixture {
protected:
    ExporterTest()
        : TransferFixture("t")
    {
    }

    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        form.control("编辑框文章目录")->setText((out.path() / "sub" / "dir").string());
        rule("name", "文件主名");
        rule("body", "文件内容");
        ASSERT_TRUE(db.execute("create table t (id int, fid text, message text, name text, body text)"));
    }
    void row(int id, const std::string &fid, const std::string &message, const std::string &nameValue,
        const std::string &body)
    {
        ASSERT_TRUE(db.execute("insert into t values (" + std::to_string(id) + ",'" + escapeString(fid) + "','"
            + escapeString(message) + "','" + escapeString(nameValue) + "','" + escapeString(body) + "')"));
    }
    std::set<std::string> files()
    {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto &e : std::filesystem::directory_iterator(out_dir(), ec))
            names.insert(e.path().filename().string());
        return names;
    }
    std::filesystem::path out_dir() { return out.path() / "sub" / "dir"; }
    void conditions(const std::string &names, const std::string &values, const char *comparison, bool andLogic)
    {
        form.control("选择框启用导出条件")->setChecked(true);
        form.control("编辑框条件字段名")->setText(names);
        form.control("编辑框条件字段值")->setText(values);
        form.control(comparison)->setChecked(true);
        form.control(andLogic ? "单选框且逻辑" : "单选框或逻辑")->setChecked(true);
    }
    ExportResult run()
    {
        std::filesystem::remove_all(out.path() / "sub");
        ArticleExporter exporter(form, db, host, random);
        return exporter.runExport();
    }

    TempDir out;
};

TEST_F(ExporterTest, ConditionsComparisonsAndLogic)
{
    row(1, "2", "句号。", "a", "x");
    row(2, "12", "无句号", "b", "x");
    row(3, "3", "又。", "c", "x");
    row(4, "", "", "d", "x");

    conditions("fid|message", "2|。", "单选框包含", true);
    EXPECT_EQ(run().transferred, 1);
    EXPECT_EQ(files(), std::set<std::string>{"a.html"});
    conditions("fid|message", "2|。", "单选框包含", false);
    run();
    EXPECT_EQ(files(), (std::set<std::string>{"a.html", "b.html", "c.html"}));
    conditions("fid|", "2", "单选框相等", true); // a trailing separator adds no name
    run();
    EXPECT_EQ(files(), std::set<std::string>{"a.html"});
    conditions("fid", "2", "单选框不相等", true);
    run();
    EXPECT_EQ(files(), (std::set<std::string>{"b.html", "c.html", "d.html"}));
    conditions("fid", "", "单选框不包含", true); // "" is in every non-empty text
    run();
    EXPECT_EQ(files(), std::set<std::string>{"d.html"});
    conditions("nosuch", "", "单选框相等", true); // unreadable column reads as empty
    EXPECT_EQ(run().transferred, 4);
    form.control("选择框启用导出条件")->setChecked(false);
    EXPECT_EQ(run().transferred, 4);
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 4 篇文章，表中有 4 条记录！");
}

TEST_F(ExporterTest, NamesCollisionsAndUnsafeCharacters)
{
    row(1, "", "", "同名", "first");
    row(2, "", "", "同名", "second");
    row(3, "", "", "a/b:c", "third");
    row(4, "", "", "..", "dots");
    row(5, "", "", "", ""); // nothing at all: skipped
    row(6, "", "", "", "没有名字的一句话足够长。短");
    row(7, "", "", std::string(300, 'n'), "long");
    form.control("编辑框文件类型")->setText("*.txt");
    const ExportResult result = run();
    EXPECT_EQ(result.transferred, 6);
    const auto names = files();
    EXPECT_TRUE(names.count("同名.txt"));
    EXPECT_TRUE(names.count("同名 (2).txt"));
    EXPECT_TRUE(names.count("a／b：c.txt"));
    EXPECT_TRUE(names.count("...txt"));
    EXPECT_TRUE(names.count("没有名字的一句话足够长.txt"));
    EXPECT_TRUE(names.count(std::string(251, 'n') + ".txt"));
    EXPECT_EQ(test::readBytes(out_dir() / "同名.txt"), "first");
    EXPECT_EQ(test::readBytes(out_dir() / "同名 (2).txt"), "second");
    // A second run overwrites what the first wrote.
    ArticleExporter again(form, db, host, random);
    EXPECT_EQ(again.runExport().transferred, 6);
    EXPECT_EQ(files().size(), 6u);
}

TEST_F(ExporterTest, EveryEncodingAndPositions)
{
    row(1, "", "", "文", "中");
    form.setCell(0, 0, "4"); // name by position
    form.setCell(1, 0, "5");
    const std::pair<int, std::string> expected[] = {
        {0, "\xD6\xD0"}, {1, "\xD6\xD0"}, {2, "\xEF\xBB\xBF中"}, {3, "\xFF\xFE\x2D\x4E"}, {4, "\xFE\xFF\x4E\x2D"}};
    for (const auto &[index, bytes] : expected) {
        form.control("组合框文件编码")->setCurrentIndex(index);
        ASSERT_EQ(run().transferred, 1);
        EXPECT_EQ(test::toHex(test::readBytes(out_dir() / "文.html")), test::toHex(bytes)) << index;
    }
    form.setCell(1, 0, "0"); // no column 0: used as a name, reads nothing
    form.setCell(0, 0, "99");
    EXPECT_EQ(run().transferred, 0);
}

TEST_F(ExporterTest, MessagesAndEmptyTables)
{
    EXPECT_EQ(run().transferred, 0);
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 0 篇文章，表中有 0 条记录！");
    form.control("编辑框表名")->setText("nosuch");
    run();
    EXPECT_EQ(host.recorder.lastText(), "打开表失败：nosuch");
    form.control("编辑框表名")->setText("t");
    form.setCell(1, 1, "固定文本");
    run();
    EXPECT_TRUE(host.recorder.lastText().starts_with("请在【数据字段设置】里先添加一个【数据来源】为【文件内容】"));
    EXPECT_TRUE(db.execute("do 1")); // the pending rows were taken
    form.control("编辑框文章目录")->setText("");
    run();
    EXPECT_EQ(host.recorder.lastText(), "请先选择要导出到的文章目录！");
}

// A row that gives no file is listed with why, not only missing from the count.
TEST_F(ExporterTest, RowsWithNeitherNameNorContentAreListed)
{
    ASSERT_TRUE(db.execute("insert into t (id, name, body) values (1, 'a', 'x'), (2, null, null), (3, '', '')"));
    const ExportResult r = run();
    EXPECT_EQ(r.transferred, 1);
    ASSERT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.failures[0].item, "第 2 行");
    EXPECT_EQ(r.failures[0].reason, "文件名和内容都是 NULL，不写文件");
    EXPECT_EQ(r.failures[1].item, "第 3 行");
    EXPECT_EQ(r.failures[1].reason, "文件名和内容都是空的，不写文件");
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 1 篇文章，表中有 3 条记录！");
}

TEST_F(ExporterTest, StopAfterTheCurrentRow)
{
    for (int i = 1; i <= 6; ++i)
        row(i, "", "", "n" + std::to_string(i), "body");
    ArticleExporter exporter(form, db, host, random);
    exporter.setWriteAhead(0); // progress row by row: the stop falls after a known row
    host.onEvents = [&] {
        if (form.control("按钮导出")->text() == "总 6 篇，已导出 2 篇")
            exporter.pressExport();
    };
    std::filesystem::remove_all(out.path() / "sub");
    const ExportResult result = exporter.runExport();
    EXPECT_EQ(result.transferred, 2);
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 2 篇文章，表中有 6 条记录！");
    EXPECT_NE(std::find(host.captions.begin(), host.captions.end(), "正在停止中.."), host.captions.end());
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

TEST_F(ExporterTest, TableNamesAreNamesNotSql)
{
    row(1, "1", "", "一", "甲");
    row(2, "2", "", "二", "乙");
    for (const char *typed : {"t limit 1", "(select 1 as name, @@datadir as body) z", "t;"}) {
        SCOPED_TRACE(typed);
        form.control("编辑框表名")->setText(typed);
        EXPECT_EQ(run().outcome, TransferOutcome::Invalid);
        EXPECT_EQ(host.recorder.lastText(), std::string("打开表失败：") + typed);
        EXPECT_FALSE(host.details.empty() || host.details.back().empty());
        EXPECT_TRUE(files().empty());
    }
    // Awkward names export, and "database.table" reads another database.
    const std::string odd = "a`b c'd\\e";
    ASSERT_TRUE(db.execute("create table `a``b c'd\\e` (name text, body text)"));
    ASSERT_TRUE(db.execute("insert into `a``b c'd\\e` values ('n', 'b')"));
    form.control("编辑框表名")->setText(odd);
    EXPECT_EQ(run().transferred, 1);
    form.control("编辑框表名")->setText(name + ".t");
    EXPECT_EQ(run().transferred, 2);
}

TEST_F(ExporterTest, TheExtensionIsMadeSafeWithTheName)
{
    row(1, "1", "", "a", "x");
    form.control("编辑框文件类型")->setText("*.t?t");
    EXPECT_EQ(run().transferred, 1);
    EXPECT_EQ(files(), std::set<std::string>{"a.t？t"});
    form.control("编辑框文件类型")->setText("*.a/b");
    EXPECT_EQ(run().transferred, 1);
    EXPECT_EQ(files(), std::set<std::string>{"a.a／b"});
}

// Files of an earlier run are replaced with their own permissions, new ones
// get the usual permissions; the folder is looked at once, at the start.
TEST_F(ExporterTest, AReplacedFileKeepsItsPermissions)
{
    row(1, "1", "", "old", "new text");
    row(2, "2", "", "fresh", "f");
    std::filesystem::create_directories(out_dir());
    test::writeBytes(out_dir() / "old.html", "old text");
    ::chmod((out_dir() / "old.html").c_str(), 0600);
    const mode_t mask = ::umask(022);
    ArticleExporter exporter(form, db, host, random);
    const ExportResult result = exporter.runExport();
    ::umask(mask);
    EXPECT_EQ(result.transferred, 2);
    EXPECT_EQ(test::readBytes(out_dir() / "old.html"), "new text");
    struct stat st { };
    ::stat((out_dir() / "old.html").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ::stat((out_dir() / "fresh.html").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(ExporterTest, AFailedWriteLeavesTheOldFileWhole)
{
    row(1, "1", "", "big", std::string(60000, 'n'));
    row(2, "2", "", "small", "s");
    std::filesystem::create_directories(out_dir());
    test::writeBytes(out_dir() / "big.html", "old good text");
    // A file-size limit gives the same error as a full disk; the export runs
    // in a child process that has it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{32768, 32768};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        MySqlConnection own;
        own.connect(settings.server, settings.user, settings.password);
        test::ScriptedHost childHost;
        ArticleExporter exporter(form, own, childHost, random);
        const ExportResult r = exporter.runExport();
        const bool ok = r.transferred == 1 && r.failures.size() == 1 && r.failures[0].reason == "文件过大";
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::readBytes(out_dir() / "big.html"), "old good text");
    EXPECT_EQ(test::readBytes(out_dir() / "small.html"), "s");
    EXPECT_EQ(files(), (std::set<std::string>{"big.html", "small.html"})) << "a temporary file was left behind";
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

// Tables with a key are read a chunk at a time by the key; the rest whole.
class ChunkedExportTest : public ExporterTest {
protected:
    ExportResult runChunked(std::size_t rows, std::size_t bytes = ArticleExporter::kDefaultChunkBytes)
    {
        std::filesystem::remove_all(out.path() / "sub");
        statements.clear();
        db.setStatementObserver([this](std::string_view s) { statements.emplace_back(s); });
        ArticleExporter exporter(form, db, host, random);
        exporter.setChunkLimits(rows, bytes);
        const ExportResult r = exporter.runExport();
        db.setStatementObserver({});
        return r;
    }
    std::vector<std::string> reads() const
    {
        std::vector<std::string> selects;
        for (const std::string &s : statements) {
            if (s.starts_with("select * from") && !s.ends_with("limit 0;"))
                selects.push_back(s);
        }
        return selects;
    }
    std::vector<std::string> statements;
};

TEST_F(ChunkedExportTest, APrimaryKeyIsWalkedInChunks)
{
    ASSERT_TRUE(db.execute("create table k (id int primary key, name text, body text)"));
    for (int i = 1; i <= 7; ++i)
        ASSERT_TRUE(db.execute("insert into k values (" + std::to_string(i * 10) + ", 'n" + std::to_string(i) + "', '"
            + std::string(100, 'b') + "')"));
    form.control("编辑框表名")->setText("k");
    ExportResult r = runChunked(2);
    EXPECT_EQ(r.transferred, 7);
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 7 篇文章，表中有 7 条记录！");
    EXPECT_EQ(files().size(), 7u);
    EXPECT_EQ(reads(),
        (std::vector<std::string>{"select * from `k` order by `id` limit 2;",
            "select * from `k` where `id` > 20 order by `id` limit 2;",
            "select * from `k` where `id` > 40 order by `id` limit 2;",
            "select * from `k` where `id` > 60 order by `id` limit 2;"}));
    // A budget smaller than a row keeps one row per chunk, and no row is lost.
    r = runChunked(1000, 1);
    EXPECT_EQ(r.transferred, 7);
    EXPECT_EQ(reads().size(), 8u);
    EXPECT_EQ(files().size(), 7u);
}

TEST_F(ChunkedExportTest, KeysOfSeveralColumnsUniqueKeysAndBytes)
{
    // The index's order (b, a), not the table's.
    ASSERT_TRUE(db.execute("create table p (a int, b varchar(20), name text, body text, primary key (b, a))"));
    int n = 0;
    for (const char *b : {"x", "X'y", "y\\", "z"}) {
        for (int a = 1; a <= 3; ++a)
            ASSERT_TRUE(db.execute("insert into p values (" + std::to_string(a) + ", '" + escapeString(b) + "', 'p"
                + std::to_string(++n) + "', 'body')"));
    }
    form.control("编辑框表名")->setText("p");
    EXPECT_EQ(runChunked(5).transferred, 12);
    EXPECT_EQ(files().size(), 12u);
    ASSERT_GE(reads().size(), 2u);
    EXPECT_TRUE(reads()[1].find("order by `b`, `a` limit 5;") != std::string::npos) << reads()[1];

    // No primary key: a unique key of NOT NULL columns serves; bytes go as hex.
    ASSERT_TRUE(db.execute("create table u (k varbinary(10) not null, name text, body text, unique key (k))"));
    for (int i = 0; i < 9; ++i) {
        const std::string k = std::string(1, static_cast<char>(i)) + "'\\\0";
        ASSERT_TRUE(
            db.execute("insert into u values ('" + escapeString(k) + "', 'u" + std::to_string(i) + "', 'body')"));
    }
    form.control("编辑框表名")->setText("u");
    EXPECT_EQ(runChunked(4).transferred, 9);
    EXPECT_EQ(files().size(), 9u);
    ASSERT_GE(reads().size(), 2u);
    EXPECT_TRUE(reads()[1].find("where `k` > X'") != std::string::npos) << reads()[1];

    // Keys that cannot be walked: the table is read whole, as before.
    for (const char *table : {"create table f (k double primary key, name text, body text)",
             "create table nk (k int null, name text, body text, unique key (k))",
             "create table e (k enum('b','a') primary key, name text, body text)"}) {
        SCOPED_TRACE(table);
        ASSERT_TRUE(db.execute(table));
        const std::string t = std::string(table).substr(13, std::string(table).find(' ', 13) - 13);
        ASSERT_TRUE(db.execute("insert into " + t + " (k, name, body) values (1, 'a', 'x'), (2, 'b', 'y')"));
        form.control("编辑框表名")->setText(t);
        EXPECT_EQ(runChunked(1).transferred, 2);
        EXPECT_EQ(reads(), std::vector<std::string>{"select * from `" + t + "`;"});
    }
}

TEST_F(ChunkedExportTest, OtherStatementsBetweenRowsAndTheRunsDatabase)
{
    const std::string other = name + "_o";
    ASSERT_TRUE(db.execute("create database `" + other + "`"));
    ASSERT_TRUE(db.execute("create table `" + other + "`.k (id int primary key, name text, body text)"));
    ASSERT_TRUE(db.execute("insert into `" + other + "`.k values (1, 'wrong', 'x')"));
    ASSERT_TRUE(db.execute("create table k (id int primary key, name text, body text)"));
    for (int i = 1; i <= 9; ++i)
        ASSERT_TRUE(db.execute("insert into k values (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', 'b')"));
    form.control("编辑框表名")->setText("k");
    int pumps = 0;
    bool othersWorked = true;
    host.onEvents = [&] {
        // Another window selects a database and reads a table meanwhile.
        if (++pumps % 2)
            othersWorked = db.execute("use `" + other + "`") && othersWorked;
        else
            othersWorked = db.execute("select count(*) from k") && db.storeResult() && othersWorked;
    };
    EXPECT_EQ(runChunked(2).transferred, 9);
    host.onEvents = {};
    EXPECT_TRUE(othersWorked);
    EXPECT_EQ(files().size(), 9u);
    EXPECT_FALSE(files().count("wrong.html"));
    db.execute("drop database `" + other + "`");
}

// With files written ahead on their own thread, a stop still finishes only
// the file in hand: what waits in the queue is dropped, and the count is
// what is on disk.
TEST_F(ChunkedExportTest, AStopWhileFilesAreQueuedFinishesOnlyTheFileInHand)
{
    ASSERT_TRUE(db.execute("create table k (id int primary key, name text, body mediumtext)"));
    ASSERT_TRUE(db.execute("insert into k select seq, concat('n', seq), repeat('正文', 2000) from seq_1_to_3000"));
    form.control("编辑框表名")->setText("k");
    std::filesystem::remove_all(out.path() / "sub");
    ArticleExporter exporter(form, db, host, random);
    std::size_t onDiskAtStop = 0;
    host.onEvents = [&] {
        const std::string caption = form.control("按钮导出")->text();
        if (onDiskAtStop == 0 && caption.starts_with("总 3000 篇") && caption != "总 3000 篇，已导出 0 篇") {
            exporter.pressExport();
            for (const std::string &fileName : files())
                onDiskAtStop += fileName.starts_with(".varnel-") ? 0 : 1;
        }
    };
    const ExportResult result = exporter.runExport();
    host.onEvents = {};
    ASSERT_GT(onDiskAtStop, 0u);
    EXPECT_TRUE(result.stopped);
    const std::set<std::string> written = files();
    EXPECT_EQ(static_cast<std::size_t>(result.transferred), written.size()) << "the count is what was written";
    EXPECT_LE(written.size(), onDiskAtStop + 1) << "one file in hand at most";
    EXPECT_LT(written.size(), 3000u);
    for (const std::string &fileName : written)
        EXPECT_FALSE(fileName.starts_with(".varnel-")) << fileName;
    EXPECT_EQ(host.recorder.lastText(),
        "导出完成，已导出 " + std::to_string(result.transferred) + " 篇文章，表中有 3000 条记录！");
}

TEST_F(ChunkedExportTest, AStopEndsTheWalkWithinOneRow)
{
    ASSERT_TRUE(db.execute("create table k (id int primary key, name text, body text)"));
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(db.execute("insert into k values (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', 'b')"));
    form.control("编辑框表名")->setText("k");
    std::filesystem::remove_all(out.path() / "sub");
    ArticleExporter exporter(form, db, host, random);
    exporter.setChunkLimits(100, ArticleExporter::kDefaultChunkBytes);
    exporter.setWriteAhead(0);
    host.onEvents = [&] {
        if (form.control("按钮导出")->text() == "总 6 篇，已导出 2 篇")
            exporter.pressExport();
    };
    const ExportResult result = exporter.runExport();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.transferred, 2);
    EXPECT_EQ(host.recorder.lastText(), "导出完成，已导出 2 篇文章，表中有 6 条记录！");
}

} // namespace
} // namespace varnel
