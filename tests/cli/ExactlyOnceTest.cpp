// varnel-cli with a key on a server as its owner installs it, its connection
// cut from outside twice in the middle of batches the server is still
// storing, then run again: every file is stored once, and the first run's
// report claims no more than it stored.
#include "CliRun.h"
#include "mysql/MySqlConnection.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace varnel {
namespace {

using test::Output;
using test::runCli;
using test::TempDir;

nlohmann::json summaryOf(const std::filesystem::path &report)
{
    std::ifstream in(report);
    std::string line, last;
    while (std::getline(in, line))
        last = line;
    return last.empty() ? nlohmann::json() : nlohmann::json::parse(last);
}

// How many files: VARNEL_EXACTLY_ONCE_FILES for a longer run by hand.
int fileCount()
{
    const char *n = std::getenv("VARNEL_EXACTLY_ONCE_FILES");
    return n ? std::max(1, std::atoi(n)) : 2000;
}

TEST(CliExactlyOnce, ACutConnectionThenARerunStoresEveryFileOnce)
{
    VARNEL_REQUIRE_MARIADB();
    if (::geteuid() != 0)
        GTEST_SKIP() << "cutting a connection (ss -K) needs root";
    const int files = fileCount();
    for (const bool unique : {false, true}) {
        SCOPED_TRACE(unique ? "unique index" : "no index");
        test::ThrowawayServer server;
        ASSERT_EQ(server.error(), "");
        {
            MySqlConnection setup;
            ASSERT_TRUE(setup.connect(server.address(), "root", "")) << setup.connectError();
            ASSERT_TRUE(setup.execute("create database d"));
            ASSERT_TRUE(setup.execute("create table d.`文章` (ID bigint auto_increment primary key, `标题` varchar(100)"
                + std::string(unique ? " unique" : "") + ", `内容` text) engine=InnoDB"));
            // Two milliseconds a row: a batch of 500 is still being stored a
            // second after it went.
            ASSERT_TRUE(setup.execute("create trigger d.slow before insert on d.`文章` for each row "
                                      "set @x = sleep(0.002)"));
        }
        TempDir dir;
        std::filesystem::create_directories(dir.file("articles"));
        for (int i = 0; i < files; ++i)
            test::writeBytes(dir.file("articles/a" + std::to_string(i) + ".txt"), "第" + std::to_string(i) + "篇");
        test::writeConfig(dir.file("config.ini"), test::kTitleAndText, "d", dir.file("articles"));
        auto args = [&](const std::string &report) {
            return std::vector<std::string>{"import", "--config", dir.file("config.ini").string(), "--server",
                server.address(), "--user", "root", "--password", "", "--key", "标题", "--timeout", "5", "--quiet",
                "--report", dir.file(report).string()};
        };

        const std::string cut = "ss -K dst 127.0.0.1 dport = " + std::to_string(server.port()) + " >/dev/null 2>&1";
        std::thread cutter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1600));
            EXPECT_EQ(std::system(cut.c_str()), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            EXPECT_EQ(std::system(cut.c_str()), 0);
        });
        const Output first = runCli(args("r1.jsonl"));
        cutter.join();
        EXPECT_TRUE(first.status == 0 || first.status == 3) << first.status << " " << first.err;

        MySqlConnection check;
        ASSERT_TRUE(check.connect(server.address(), "root", ""));
        const int afterFirst = std::stoi(test::firstColumn(check, "select count(*) from d.`文章`").at(0));
        const nlohmann::json one = summaryOf(dir.file("r1.jsonl"));
        ASSERT_FALSE(one.is_null()) << first.err;
        EXPECT_EQ(one["files"], files);
        EXPECT_LE(one["stored"].get<int>(), afterFirst) << one.dump();
        EXPECT_EQ(test::firstColumn(check, "select count(distinct `标题`) from d.`文章`"),
            std::vector<std::string>{std::to_string(afterFirst)});

        const Output again = runCli(args("r2.jsonl"));
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(test::firstColumn(check, "select count(*), count(distinct `标题`) from d.`文章`"),
            std::vector<std::string>{std::to_string(files)});
        EXPECT_EQ(test::firstColumn(check, "select count(distinct `标题`) from d.`文章`"),
            std::vector<std::string>{std::to_string(files)});
        const nlohmann::json two = summaryOf(dir.file("r2.jsonl"));
        EXPECT_EQ(two["stored"].get<int>() + two["exists"].get<int>(), files) << two.dump();
        std::fprintf(stderr, "%s: first run stored %d (report: %d stored, %d exists, %d unknown, %d failed)\n",
            unique ? "unique" : "no index", afterFirst, one["stored"].get<int>(), one["exists"].get<int>(),
            one["unknown"].get<int>(), one["failed"].get<int>());
    }
}

// Stopped while the server is still storing a batch, then told again: the
// second signal does not wait for the batch, and the report still says what
// was stored, never more than the table holds.
TEST(CliExactlyOnce, ASecondSignalCutsTheStatementShortAndStillWritesTheReport)
{
    VARNEL_REQUIRE_MARIADB();
    test::ThrowawayServer server;
    ASSERT_EQ(server.error(), "");
    {
        MySqlConnection setup;
        ASSERT_TRUE(setup.connect(server.address(), "root", "")) << setup.connectError();
        ASSERT_TRUE(setup.execute("create database d"));
        ASSERT_TRUE(setup.execute(
            "create table d.`文章` (ID bigint auto_increment primary key, `标题` varchar(100), `内容` text)"));
        ASSERT_TRUE(setup.execute("create trigger d.slow before insert on d.`文章` for each row set @x = sleep(0.01)"));
    }
    TempDir dir;
    std::filesystem::create_directories(dir.file("articles"));
    for (int i = 0; i < 1000; ++i)
        test::writeBytes(dir.file("articles/a" + std::to_string(i) + ".txt"), "第" + std::to_string(i) + "篇");
    test::writeConfig(dir.file("config.ini"), test::kTitleAndText, "d", dir.file("articles"));
    bool sent = false;
    test::RunOptions twice = test::signalWhenImporting(SIGTERM, 2, sent);
    std::chrono::steady_clock::time_point sentAt{};
    twice.onStderr = [signal = twice.onStderr, &sent, &sentAt](pid_t pid, const std::string &err) {
        const bool before = sent;
        signal(pid, err);
        if (!before && sent)
            sentAt = std::chrono::steady_clock::now();
    };
    const Output o = runCli({"import", "--config", dir.file("config.ini").string(), "--server", server.address(),
                                "--user", "root", "--password", "", "--report", dir.file("r.jsonl").string()},
        twice);
    ASSERT_TRUE(sent);
    EXPECT_EQ(o.status, 130) << o.err;
    // A batch of 500 takes five seconds here: it was not waited for.
    EXPECT_LT(std::chrono::steady_clock::now() - sentAt, std::chrono::seconds(4));
    const nlohmann::json summary = summaryOf(dir.file("r.jsonl"));
    ASSERT_FALSE(summary.is_null()) << "no report: " << o.err;
    EXPECT_EQ(summary["exit_status"], 130);
    EXPECT_EQ(summary["stopped"], true);
    EXPECT_EQ(summary["files"], 1000);
    MySqlConnection check;
    ASSERT_TRUE(check.connect(server.address(), "root", ""));
    // The server may yet finish what it was given; never more than that.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const int rows = std::stoi(test::firstColumn(check, "select count(*) from d.`文章`").at(0));
    EXPECT_LE(summary["stored"].get<int>(), rows);
    EXPECT_LE(rows, summary["stored"].get<int>() + summary["unknown"].get<int>());
}

} // namespace
} // namespace varnel
