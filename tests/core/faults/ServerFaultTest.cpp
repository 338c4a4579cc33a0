// Imports and exports against a server that dies, freezes or is configured
// to refuse: each test has a server of its own, so that the shared sandbox
// and the tests running beside it are not hit.
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/BatchSizing.h"
#include "transfer/RowInserter.h"
#include "transfer/RunReport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

namespace varnel {
namespace {

using test::ScriptedHost;
using test::TempDir;
using test::ThrowawayServer;

class ServerFaultTest : public ::testing::Test {
protected:
    // Starts a server with the given options and a form on its database "d",
    // table "t", with 标题 from 文件主名 and 内容 from 文件内容.
    void startServer(const std::string &options = {})
    {
        VARNEL_REQUIRE_MARIADB();
        server = std::make_unique<ThrowawayServer>(options);
        ASSERT_EQ(server->error(), "");
        ASSERT_TRUE(db.connect(server->address(), "root", "")) << db.connectError();
        form.control("编辑框服务器")->setText(server->address());
        form.control("编辑框库名")->setText("d");
        form.control("编辑框表名")->setText("t");
        form.control("按钮导入")->setText(kImportIdle);
        form.control("按钮导出")->setText(kExportIdle);
        form.clearRows();
        test::addRule(form, "标题", "文件主名");
        test::addRule(form, "内容", "文件内容");
    }

    std::vector<std::string> writeFiles(int n, std::size_t size = 0)
    {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i) {
            const auto p = dir.file("f" + std::to_string(i) + ".txt");
            std::string text = "第" + std::to_string(i) + "篇";
            text.resize(std::max(text.size(), size), 'x');
            test::writeBytes(p, text);
            paths.push_back(p.string());
        }
        return paths;
    }

    // The server is killed and started again once the run shows that file
    // done; `killed` tells whether it was.
    void restartServerAt(const std::string &file, bool &killed)
    {
        host.onEvents = [this, file, &killed] {
            if (host.windowCaption == file && !killed) {
                killed = true;
                server->kill();
                ASSERT_TRUE(server->start()) << server->error();
            }
        };
    }

    ImportResult import(const std::vector<std::string> &files, std::size_t batch)
    {
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(batch);
        return importer.runImport(files);
    }

    // The first column of every row, on a connection of its own.
    std::vector<std::string> column(const std::string &sql)
    {
        MySqlConnection other;
        if (!other.connect(server->address(), "root", ""))
            return {};
        return test::firstColumn(other, sql);
    }

    static std::set<std::string> mainNames(const std::vector<TransferFailure> &list)
    {
        std::set<std::string> out;
        for (const TransferFailure &f : list)
            out.insert(fileMainName(f.item));
        return out;
    }

    std::unique_ptr<ThrowawayServer> server;
    MySqlConnection db;
    MemoryForm form{mainFormSpec()};
    ScriptedHost host;
    test::SeededRandom random;
    TempDir dir;
};

TEST_F(ServerFaultTest, KilledServerIsReconnectedAndTheBatchUnderWayIsListedApart)
{
    startServer();
    const auto files = writeFiles(60);
    // Before the 31st file: rows 21 to 30 were sent without waiting.
    bool killed = false;
    restartServerAt("f30", killed);
    // The window meanwhile shows another server: the run keeps its own.
    form.control("编辑框服务器")->setText("192.0.2.1:1");
    const ImportResult result = import(files, 10);

    ASSERT_EQ(result.outcome, TransferOutcome::Completed);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
    ASSERT_EQ(result.unknown.size(), 10u);
    EXPECT_EQ(result.transferred, 50);
    EXPECT_EQ(host.lists.count("未确认是否已导入的文件"), 1u);

    // Every file reported as imported is stored once; the table holds nothing
    // but those and possibly the ones of unknown outcome.
    const auto stored = column("select 标题 from d.t");
    const std::set<std::string> storedSet(stored.begin(), stored.end());
    EXPECT_EQ(storedSet.size(), stored.size()) << "a row went in twice";
    const std::set<std::string> unknown = mainNames(result.unknown);
    for (int i = 1; i <= 60; ++i) {
        const std::string name = "f" + std::to_string(i);
        if (!unknown.count(name)) {
            EXPECT_EQ(storedSet.count(name), 1u) << name;
        }
    }
    // The count is read on the restored connection, not made up.
    EXPECT_EQ(result.tableRows, static_cast<std::int64_t>(stored.size()));
    EXPECT_EQ(host.recorder.lastText(),
        "导入完成，已导入 50 篇文章，当前表有 " + std::to_string(stored.size())
            + " 条记录！\r\n未确认是否已导入 10 篇");
}

// With a key the rows a lost connection left in doubt are looked up on the
// restored connection: stored ones count as stored, the others are sent
// again. Nothing stays unknown and nothing goes in twice; a second run of
// the same files stores nothing more.
TEST_F(ServerFaultTest, WithAKeyNothingStaysUnknownAfterAKill)
{
    startServer();
    ASSERT_TRUE(db.execute("create database d"));
    ASSERT_TRUE(db.execute("create table d.t (ID bigint auto_increment primary key, 标题 varchar(100), 内容 text, "
                           "unique key (标题)) character set utf8mb4"));
    const auto files = writeFiles(60);
    bool killed = false;
    restartServerAt("f30", killed);
    auto importWithKey = [&] {
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(10);
        importer.setKeyColumn("标题");
        return importer.runImport(files);
    };
    const ImportResult result = importWithKey();
    ASSERT_TRUE(killed);
    ASSERT_EQ(result.outcome, TransferOutcome::Completed);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
    EXPECT_TRUE(result.unknown.empty()) << result.unknown.front().item;
    EXPECT_EQ(result.transferred + static_cast<std::int64_t>(result.exists.size()), 60);
    EXPECT_EQ(result.stored.size(), static_cast<std::size_t>(result.transferred));
    EXPECT_EQ(column("select count(*), count(distinct 标题) from d.t"), std::vector<std::string>{"60"});
    EXPECT_EQ(column("select count(distinct 标题) from d.t"), std::vector<std::string>{"60"});

    const ImportResult again = importWithKey();
    EXPECT_EQ(again.transferred, 0);
    EXPECT_EQ(again.exists.size(), 60u);
    EXPECT_EQ(column("select count(*) from d.t"), std::vector<std::string>{"60"});
    EXPECT_EQ(host.recorder.lastText(), "导入完成，已导入 0 篇文章，当前表有 60 条记录！\r\n已存在 60 篇");
}

// The server closes a connection idle for longer than its wait_timeout. A
// run that paused that long (a slow file, a busy window) finds it closed
// before sending: it connects again and sends, and nothing is in doubt.
TEST_F(ServerFaultTest, ConnectionClosedWhileIdleIsRestoredBeforeSending)
{
    startServer("--wait-timeout=2");
    const auto files = writeFiles(6);
    for (std::size_t batch : {std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(batch);
        ASSERT_TRUE(db.execute("drop database if exists d"));
        bool paused = false;
        host.onEvents = [&] {
            if (host.windowCaption == "f4" && !paused) {
                paused = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(3500));
            }
        };
        const ImportResult result = import(files, batch);
        EXPECT_TRUE(paused);
        ASSERT_EQ(result.outcome, TransferOutcome::Completed);
        EXPECT_TRUE(result.unknown.empty()) << result.unknown.front().reason;
        EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
        EXPECT_EQ(result.transferred, 6);
        EXPECT_EQ(result.tableRows, 6);
        EXPECT_EQ(
            column("select 标题 from d.t order by ID"), (std::vector<std::string>{"f1", "f2", "f3", "f4", "f5", "f6"}));
        EXPECT_EQ(host.lists.count("未确认是否已导入的文件"), 0u);
        host.onEvents = {};
    }
}

TEST_F(ServerFaultTest, ABatchTheServerReadsSlowlyIsSentFromMemoryThatIsStillItsOwn)
{
    // The server stops reading while a batch of several megabytes goes out:
    // most of it is still to be sent when the importer goes on reading files.
    startServer();
    std::vector<std::string> files, texts;
    for (int i = 0; i < 40; ++i) {
        std::string text(256 << 10, static_cast<char>('a' + i % 26));
        text.replace(0, 8, "file" + std::to_string(1000 + i));
        texts.push_back(text);
        const auto p = dir.file("f" + std::to_string(i) + ".txt");
        test::writeBytes(p, text);
        files.push_back(p.string());
    }
    int pumps = 0;
    host.onEvents = [&] {
        ++pumps;
        if (pumps == 3)
            server->freeze();
        if (pumps == 105) // three pumps a file: some files after the batch went
            server->thaw();
    };
    const ImportResult result = import(files, 500);
    server->thaw();
    EXPECT_EQ(result.transferred, 40);
    EXPECT_TRUE(result.failures.empty() && result.unknown.empty());
    const auto stored = column("select 内容 from d.t order by ID");
    ASSERT_EQ(stored.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_TRUE(stored[i] == texts[i]) << "row " << i + 1 << " differs";
}

TEST_F(ServerFaultTest, ServerThatStaysDownFailsTheRestAndNoCountIsMadeUp)
{
    startServer();
    const auto files = writeFiles(20);
    host.onEvents = [&] {
        if (host.windowCaption == "f10")
            server->kill();
    };
    const ImportResult result = import(files, 1);

    // A server lost for good ends the run as a server error does.
    ASSERT_EQ(result.outcome, TransferOutcome::Interrupted);
    EXPECT_TRUE(result.detail.starts_with("连接已断开，重新连接失败：")) << result.detail;
    EXPECT_EQ(runExitStatus(result), 1);
    EXPECT_EQ(result.transferred, 10);
    // Killed between files: the closed connection is seen before f11 is
    // sent, so f11 is not in doubt, it failed.
    EXPECT_TRUE(result.unknown.empty());
    ASSERT_EQ(result.failures.size(), 10u);
    EXPECT_EQ(fileMainName(result.failures.front().item), "f11");
    EXPECT_TRUE(result.failures.front().reason.starts_with("连接已断开，重新连接失败："))
        << result.failures.front().reason;
    EXPECT_EQ(host.recorder.lastText(), "导入完成，已导入 10 篇文章，当前表记录数无法读取！\r\n未能导入 10 篇");

    ASSERT_TRUE(server->start());
    EXPECT_EQ(column("select count(*) from d.t"), std::vector<std::string>{"10"});
}

TEST_F(ServerFaultTest, FrozenServerEndsTheStatementNotTheProgram)
{
    startServer();
    db.setTimeout(2);
    ASSERT_TRUE(db.connect(server->address(), "root", ""));
    const auto files = writeFiles(8);
    host.onEvents = [&] {
        if (host.windowCaption == "f5")
            server->freeze();
    };
    const auto started = std::chrono::steady_clock::now();
    const ImportResult result = import(files, 1);
    server->thaw();

    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    ASSERT_EQ(result.outcome, TransferOutcome::Interrupted);
    EXPECT_EQ(result.transferred, 5);
    EXPECT_EQ(mainNames(result.unknown), std::set<std::string>{"f6"});
    EXPECT_EQ(result.failures.size() + result.unknown.size() + 5, 8u);
}

TEST_F(ServerFaultTest, RowOverThePacketLimitIsRefusedAndTheOthersGoIn)
{
    startServer("--max-allowed-packet=1M");
    auto files = writeFiles(3);
    const auto big = dir.file("big.txt");
    test::writeBytes(big, std::string(2 << 20, 'a'));
    files.insert(files.begin() + 1, big.string());

    for (std::size_t batch : {std::size_t{500}, std::size_t{1}}) {
        SCOPED_TRACE(batch);
        ASSERT_TRUE(db.execute("drop database if exists d"));
        const ImportResult result = import(files, batch);
        EXPECT_EQ(result.transferred, 3);
        ASSERT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.failures[0].item, big.string());
        EXPECT_EQ(result.failures[0].reason, "超过服务器允许的单条语句大小 max_allowed_packet（1048576 字节）");
        EXPECT_EQ(packetLimitReason(1048576), result.failures[0].reason);
        EXPECT_TRUE(result.unknown.empty());
        EXPECT_EQ(result.tableRows, 3);
    }
}

// Rows just under half a batch: two go together, a third would pass the
// batch's bound. Every statement keeps to the bound and to the server's
// limit, and every row is stored.
TEST_F(ServerFaultTest, BatchesKeepToTheirBoundAndUnderThePacketLimit)
{
    startServer("--max-allowed-packet=64K");
    const std::size_t packet = 64 << 10;
    RowInserter::Limits serverLimits;
    serverLimits.maxStatementBytes = packet;
    const std::size_t bound = batchedLimits(serverLimits, 500).batchBytes;
    ASSERT_EQ(bound, packet / 2);
    const auto files = writeFiles(10, bound / 2 - 100);

    // A batch's packet is its text with placeholders and its bound values.
    std::vector<std::size_t> batches;
    std::size_t largest = 0, text = 0;
    db.setStatementObserver([&](std::string_view statement) {
        text = statement.size();
        largest = std::max(largest, text);
    });
    db.setBoundObserver([&](std::size_t values, std::size_t bytes) {
        batches.push_back(bytes);
        largest = std::max(largest, text + bytes + InsertRow::kBoundValueBytes * values);
    });
    const ImportResult result = import(files, 500);
    db.setStatementObserver({});
    db.setBoundObserver({});

    EXPECT_EQ(result.transferred, 10);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
    EXPECT_TRUE(result.unknown.empty());
    EXPECT_EQ(column("select count(*) from d.t"), std::vector<std::string>{"10"});
    EXPECT_LT(largest, packet);
    // Two rows a statement, their values within the bound.
    ASSERT_EQ(batches.size(), 5u);
    for (std::size_t bytes : batches) {
        EXPECT_LE(bytes, bound);
        EXPECT_GT(bytes, bound / 2);
    }
}

TEST_F(ServerFaultTest, LaxServerRefusesWhatAColumnCannotHoldAndKeepsItsMode)
{
    startServer("--sql-mode=");
    ASSERT_TRUE(db.execute("create database d"));
    ASSERT_TRUE(db.execute("create table d.t (ID int auto_increment primary key, 标题 tinytext character set "
                           "latin1, 内容 tinytext) engine=InnoDB"));
    const auto ok = dir.file("ok.txt"), chinese = dir.file("中文.txt"), longer = dir.file("long.txt");
    test::writeBytes(ok, "fine");
    test::writeBytes(chinese, "fine too");
    test::writeBytes(longer, std::string(300, 'y'));

    const ImportResult result = import({ok.string(), chinese.string(), longer.string()}, 500);
    EXPECT_EQ(result.transferred, 1);
    EXPECT_EQ(mainNames(result.failures), (std::set<std::string>{"中文", "long"}));
    EXPECT_EQ(column("select 内容 from d.t"), std::vector<std::string>{"fine"});
    // Other windows keep the server's own behaviour.
    ASSERT_TRUE(db.execute("select @@session.sql_mode"));
    std::string mode = "?";
    auto r = db.storeResult();
    ASSERT_TRUE(r && r->readField(0.0, mode));
    EXPECT_EQ(mode, "");
}

TEST_F(ServerFaultTest, LosingTheServerDuringTheFetchIsNoSuccess)
{
    startServer();
    ASSERT_TRUE(db.execute("create database d"));
    ASSERT_TRUE(db.execute("create table d.r (ID int primary key, 标题 text, 内容 mediumtext)"));
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(db.execute(
            "insert into d.r values (" + std::to_string(i) + ",'n" + std::to_string(i) + "', repeat('z', 65536))"));
    // The third row takes a long while: the client is then fetching.
    ASSERT_TRUE(
        db.execute("create view d.t as select 标题, 内容, sleep(if(ID=3, 30, 0)) as pause from d.r order by ID"));
    TempDir out;
    form.control("编辑框文章目录")->setText(out.path().string());

    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        server->kill();
    });
    ArticleExporter exporter(form, db, host, random);
    const ExportResult result = exporter.runExport();
    killer.join();

    EXPECT_EQ(result.outcome, TransferOutcome::Interrupted);
    EXPECT_FALSE(result.detail.empty());
    EXPECT_EQ(host.recorder.lastText(), "导出中断，已导出 0 篇文章：" + result.detail);
    EXPECT_EQ(form.control("按钮导出")->text(), kExportIdle);
}

TEST_F(ServerFaultTest, LosingTheServerBetweenChunksKeepsWhatWasWritten)
{
    startServer();
    ASSERT_TRUE(db.execute("create database d"));
    ASSERT_TRUE(db.execute("create table d.t (ID int primary key, 标题 text, 内容 text)"));
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(db.execute("insert into d.t values (" + std::to_string(i) + ",'n" + std::to_string(i) + "', 'z')"));
    TempDir out;
    form.control("编辑框文章目录")->setText(out.path().string());
    ArticleExporter exporter(form, db, host, random);
    exporter.setChunkLimits(2, ArticleExporter::kDefaultChunkBytes);
    exporter.setWriteAhead(0); // the caption follows the rows one by one
    bool killed = false;
    host.onEvents = [&] {
        if (!killed && form.control("按钮导出")->text() == "总 6 篇，已导出 3 篇") {
            killed = true;
            server->kill();
        }
    };
    const ExportResult result = exporter.runExport();
    host.onEvents = {};

    // The chunk read before the loss is written; the next read fails.
    EXPECT_EQ(result.outcome, TransferOutcome::Interrupted);
    EXPECT_EQ(result.transferred, 4);
    EXPECT_FALSE(result.detail.empty());
    EXPECT_EQ(host.recorder.lastText(), "导出中断，已导出 4 篇文章：" + result.detail);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 4);
    EXPECT_EQ(form.control("按钮导出")->text(), kExportIdle);
}

// The windows' statements: a server that was restarted is reached again with
// the same database and language; one that stays down closes the connection
// once and says why.
TEST_F(ServerFaultTest, WindowStatementsReconnectOnceThenGiveUpWithTheReason)
{
    startServer();
    ASSERT_TRUE(db.execute("create database d"));
    ASSERT_TRUE(db.selectDatabase("d"));
    std::vector<std::string> lost;
    db.setLostHandler([&](const std::string &reason) { lost.push_back(reason); });
    db.setReconnectOnLoss(true);

    server->kill();
    ASSERT_TRUE(server->start());
    ASSERT_TRUE(db.execute("select database(), @@lc_messages, @@character_set_connection"));
    auto r = db.storeResult();
    ASSERT_TRUE(r);
    std::string name, language, charset;
    r->readField(0.0, name);
    r->readField(1.0, language);
    r->readField(2.0, charset);
    EXPECT_EQ(name, "d");
    EXPECT_EQ(language, "zh_CN");
    EXPECT_EQ(charset, "utf8mb4");
    r.reset();

    // A change sent after the server went away reaches the new server once.
    server->kill();
    ASSERT_TRUE(server->start());
    EXPECT_TRUE(db.execute("create table t (a int)"));
    EXPECT_TRUE(lost.empty());

    // One lost on its way may have been carried out: it is not sent again,
    // and the user is told so, on a connection that is back.
    ASSERT_TRUE(db.execute("select connection_id()"));
    std::string id;
    auto ids = db.storeResult();
    ASSERT_TRUE(ids);
    ids->readField(0.0, id);
    ids.reset();
    MySqlConnection admin;
    ASSERT_TRUE(admin.connect(server->address(), "root", ""));
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        admin.execute("kill connection " + id);
    });
    EXPECT_FALSE(db.execute("do sleep(5)"));
    killer.join();
    std::string message;
    ASSERT_TRUE(db.lastError(message));
    EXPECT_NE(message.find("是否已执行无法确定"), std::string::npos) << message;
    EXPECT_TRUE(db.isOpen());
    EXPECT_TRUE(db.execute("select 1"));
    db.storeResult();
    EXPECT_TRUE(lost.empty());

    server->kill();
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_FALSE(db.isOpen());
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_FALSE(lost[0].empty());
    // Closed: the next statement sends nothing and does not report again.
    EXPECT_FALSE(db.selectDatabase("d"));
    EXPECT_EQ(lost.size(), 1u);
}

// The server is asked for its messages in Chinese.
TEST_F(ServerFaultTest, ServerMessagesComeInChinese)
{
    startServer();
    EXPECT_FALSE(db.execute("select * from nosuchdb.t"));
    std::string message;
    ASSERT_TRUE(db.lastError(message));
    EXPECT_NE(message.find("不存在"), std::string::npos) << message;
}

} // namespace
} // namespace varnel
