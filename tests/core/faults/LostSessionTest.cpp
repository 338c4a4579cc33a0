// A run with a key whose connection breaks while the server still carries
// out its batch: the old session is found by what the server itself says of
// it (id, login, client port, the server's start), ended, and only then are
// the rows settled by key. On a server as its owner installs it, which names
// a client from 127.0.0.1 "localhost:port".
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mysql/MySqlConnection.h"
#include "support/KeyRows.h"
#include "support/Sandbox.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"
#include "transfer/ArticleImporter.h"
#include "transfer/RowInserter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace varnel {
namespace {

using test::ThrowawayServer;
using Clock = std::chrono::steady_clock;

class LostSessionTest : public ::testing::Test {
protected:
    // A server with the table d.t: k varchar(50) without an index, and a
    // trigger that makes every row take two milliseconds, so that a batch of
    // 500 is still being stored a second after it went.
    void SetUp() override
    {
        VARNEL_REQUIRE_MARIADB();
        server = std::make_unique<ThrowawayServer>();
        ASSERT_EQ(server->error(), "");
        MySqlConnection setup;
        ASSERT_TRUE(setup.connect(server->address(), "root", "")) << setup.connectError();
        ASSERT_TRUE(setup.execute("create database d"));
        ASSERT_TRUE(setup.execute(
            "create table d.t (ID bigint auto_increment primary key, k varchar(50), v text) engine=InnoDB"));
        ASSERT_TRUE(setup.execute("create trigger d.slow before insert on d.t for each row set @x = sleep(0.002)"));
        form.control("编辑框库名")->setText("d");
        form.control("编辑框表名")->setText("t");
        form.control("按钮导入")->setText(kImportIdle);
        form.clearRows();
        test::addRule(form, "k", "文件主名");
        test::addRule(form, "v", "文件内容");
        for (int i = 0; i < kFiles; ++i) {
            const auto p = dir.file("a" + std::to_string(i) + ".txt");
            test::writeBytes(p, "第" + std::to_string(i) + "篇");
            files.push_back(p.string());
        }
    }

    ImportResult import()
    {
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(500);
        importer.setKeyColumn("k");
        return importer.runImport(files);
    }

    // Every file is in the table once, and the run said so.
    void expectEachFileOnce(const ImportResult &result)
    {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(server->address(), "root", ""));
        EXPECT_EQ(test::firstColumn(check, "select count(*) from d.t"), std::vector<std::string>{"1500"});
        EXPECT_EQ(test::firstColumn(check, "select count(distinct k) from d.t"), std::vector<std::string>{"1500"});
        EXPECT_TRUE(result.unknown.empty()) << result.unknown.size() << " unknown: " << result.unknown.front().reason;
        EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
        EXPECT_EQ(result.stored.size() + result.exists.size(), files.size());
        EXPECT_EQ(result.transferred, static_cast<std::int64_t>(result.stored.size()));
    }

    static constexpr int kFiles = 1500;
    std::unique_ptr<ThrowawayServer> server;
    MySqlConnection db;
    MemoryForm form{mainFormSpec()};
    test::ScriptedHost host;
    test::SeededRandom random;
    test::TempDir dir;
    std::vector<std::string> files;
};

// Over the server's local socket there is no client port to tell a session
// by: its id, its login and the server's start time do. The server freezes
// with the second batch under way for longer than the connection's timeout,
// then goes on with it while the run connects again.
TEST_F(LostSessionTest, ASessionOverTheLocalSocketIsEndedBeforeItsRowsAreSettled)
{
    ConnectOptions options;
    options.readOptionFiles = true;
    options.optionFile = dir.file("client.cnf").string();
    test::writeBytes(options.optionFile, "[client]\nsocket=" + server->socket().string() + "\n");
    db.setConnectOptions(options);
    db.setTimeout(2);
    ASSERT_TRUE(db.connect("localhost", "root", "")) << db.connectError();
    ASSERT_EQ(db.identity().clientPort, 0u);
    ASSERT_TRUE(db.identity().known());

    std::thread freezer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        server->freeze();
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        server->thaw();
    });
    const ImportResult result = import();
    freezer.join();
    expectEachFileOnce(result);
}

// Cut from outside (a firewall, a NAT that forgot the connection): the
// server does not notice and stores the batch to its end.
TEST_F(LostSessionTest, AConnectionCutFromOutsideIsNotSentTwice)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "cutting a connection (ss -K) needs root";
    ASSERT_TRUE(db.connect(server->address(), "root", "")) << db.connectError();
    ASSERT_NE(db.identity().clientPort, 0u);
    const std::string cut = "ss -K dst 127.0.0.1 dport = " + std::to_string(server->port()) + " >/dev/null 2>&1";
    std::thread cutter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(std::system(cut.c_str()), 0);
    });
    const auto started = Clock::now();
    const ImportResult result = import();
    cutter.join();
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(60));
    expectEachFileOnce(result);
    // The run went on on a new session.
    EXPECT_NE(db.identity().clientPort, 0u);
}

// A real InnoDB deadlock on one server: the batch holds k1 and waits for k2,
// which another session holds; that session then asks for k1. The batch is
// the cheaper one to roll back, so the server gives it up (1213) and nothing
// of it stays: it goes again, as a whole, and stores all three.
TEST_F(LostSessionTest, ABatchGivenUpForADeadlockGoesAgain)
{
    ASSERT_TRUE(db.connect(server->address(), "root", "")) << db.connectError();
    ASSERT_TRUE(db.execute("create table d.u (k varchar(10) primary key, v text) engine=InnoDB"));
    MySqlConnection other;
    ASSERT_TRUE(other.connect(server->address(), "root", ""));
    ASSERT_TRUE(other.execute("begin"));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(other.execute("insert into d.u values ('f" + std::to_string(i) + "', 'weight')"));
    ASSERT_TRUE(other.execute("insert into d.u values ('k2', 'other')"));
    std::thread locker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        // Waits for the batch's k1: a cycle, which the server breaks.
        other.execute("insert into d.u values ('k1', 'other')");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.execute("rollback");
    });
    RowInserter inserter(db, "d", Identifier("u"), test::batchedTo500());
    std::size_t batches = 0;
    db.setStatementObserver([&](std::string_view s) { batches += s.starts_with("insert into `d`.`u` (") ? 1 : 0; });
    test::addKeyRows(inserter, {"k1", "k2", "k3"}, "batch");
    inserter.complete();
    locker.join();
    db.setStatementObserver({});

    EXPECT_GE(inserter.conflictsRetried(), 1);
    EXPECT_EQ(batches, 2u); // once, and once more as it was
    EXPECT_TRUE(inserter.failures().empty()) << inserter.failures().front().reason;
    EXPECT_EQ(inserter.inserted(), 3);
    EXPECT_EQ(test::firstColumn(db, "select concat(k, '=', v) from d.u order by k"),
        (std::vector<std::string>{"k1=batch", "k2=batch", "k3=batch"}));
}

} // namespace
} // namespace varnel
