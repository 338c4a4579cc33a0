// varnel-cli watch: files that become complete in the folder are imported,
// once each, across a restart of the watcher and of the server.
#include "CliRun.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;
using test::TempDir;

using Clock = std::chrono::steady_clock;
// How long a wait for the watcher goes before the test gives up on it.
constexpr auto kPatience = std::chrono::seconds(30);

// A watch run whose steps, once the watcher says it is watching, run on a
// thread of the test's own while the child's pipes are read on; the steps
// may wait for what the watcher says on stderr or stores meanwhile.
class WatchRun {
public:
    using Steps = std::function<void(WatchRun &)>;

    // Runs varnel-cli with the arguments; once it says it is watching the
    // steps run, then the watcher gets `signal`. With 0 it is to end by
    // itself, and is killed when it has not within kPatience.
    static Output run(const std::vector<std::string> &args, const Steps &steps, int signal = SIGTERM)
    {
        WatchRun w;
        test::RunOptions options;
        options.killAfterSeconds = 90;
        // Quick, whatever it finds: the pipes wait meanwhile.
        options.onStderr = [&](pid_t pid, const std::string &err) {
            const std::lock_guard lock(w.m_mutex);
            w.m_err = err;
            w.m_grown.notify_all();
            if (w.m_steps.joinable() || !contains(err, "正在监视"))
                return;
            // Signalled through a descriptor of its own (called by number:
            // glibc 2.36 declares the wrappers for C alone): a child that
            // ended and was reaped meanwhile is not confused with whatever
            // has its pid later.
            w.m_child = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
            w.m_steps = std::thread([&w, &steps, signal] {
                steps(w);
                w.end(signal);
            });
        };
        const Output o = runCli(args, options);
        {
            const std::lock_guard lock(w.m_mutex);
            w.m_ended = true;
            w.m_grown.notify_all();
        }
        if (w.m_steps.joinable())
            w.m_steps.join();
        if (w.m_child >= 0)
            ::close(w.m_child);
        return o;
    }

    // How much the watcher has said so far: what it says later is after it.
    std::size_t said()
    {
        const std::lock_guard lock(m_mutex);
        return m_err.size();
    }

    // What it has said so far, for a failure's message.
    std::string text()
    {
        const std::lock_guard lock(m_mutex);
        return m_err;
    }

    // Waits (at most kPatience, not past the watcher's end) until what it
    // said after `from` holds `part`.
    bool says(const std::string &part, std::size_t from = 0)
    {
        std::unique_lock lock(m_mutex);
        return m_grown.wait_until(lock, Clock::now() + kPatience, [&] {
            return m_err.find(part, from) != std::string::npos || m_ended;
        }) && m_err.find(part, from) != std::string::npos;
    }

    // Waits likewise until the statement gives the value.
    bool stores(MySqlConnection &db, const std::string &sql, const std::string &value)
    {
        const auto deadline = Clock::now() + kPatience;
        for (;;) {
            const bool ended = over();
            // The table may not be there yet: no assertion on the way.
            const std::unique_ptr<RowBlock> rows = db.fetchRows(sql);
            if (rows && rows->rowCount() == 1 && rows->cellText(0, 0) == value)
                return true;
            if (ended || Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

private:
    bool over()
    {
        const std::lock_guard lock(m_mutex);
        return m_ended;
    }

    void end(int signal)
    {
        if (m_child < 0)
            return;
        if (signal == 0) {
            pollfd gone{m_child, POLLIN, 0};
            if (::poll(&gone, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) == 1)
                return;
            signal = SIGKILL;
        }
        ::syscall(SYS_pidfd_send_signal, m_child, signal, nullptr, 0);
    }

    std::mutex m_mutex;
    std::condition_variable m_grown;
    std::string m_err; // stderr so far
    bool m_ended = false;
    std::thread m_steps;
    int m_child = -1;
};

// The rows of the table 文章 of the database with the title.
std::string titled(const std::string &database, const std::string &title)
{
    return "select count(*) from `" + database + "`.`文章` where `标题` = '" + title + "'";
}

class CliWatchTest : public test::ConfiguredDatabase {
protected:
    CliWatchTest()
        : ConfiguredDatabase("in")
    {
    }
    std::vector<std::string> args(std::vector<std::string> extra = {})
    {
        std::vector<std::string> a = {"watch", "--config", dir.file("config.ini").string(), "--server", settings.server,
            "--user", settings.user, "--password", settings.password, "--types", "*.txt"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    std::string count() { return "select count(*) from `" + name + "`.`文章`"; }
};

TEST_F(CliWatchTest, SlowWritesMovesAndNewFoldersAreEachStoredOnce)
{
    test::writeBytes(dir.file("in/there.txt"), "启动前就有");
    bool checked = false;
    const Output o = WatchRun::run(args({"--report", dir.file("r.jsonl").string()}), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        ASSERT_TRUE(w.stores(check, count(), "1")); // the file there at the start
        {
            // Written in two parts with a batch between: taken once, whole.
            std::ofstream slow(dir.file("in/slow.txt"), std::ios::binary);
            slow << "第一部分";
            slow.flush();
            // Moved in after the first part: its batch comes after all that
            // the watcher heard of the first part.
            test::writeBytes(dir.file("moved.txt"), "移进来的");
            std::filesystem::rename(dir.file("moved.txt"), dir.file("in/moved.txt"));
            ASSERT_TRUE(w.stores(check, titled(name, "moved"), "1"));
            EXPECT_EQ(test::firstColumn(check, titled(name, "slow")), std::vector<std::string>{"0"});
            slow << "第二部分";
        }
        test::writeBytes(dir.file("in/skip.htm"), "not a txt");
        std::filesystem::create_directories(dir.file("folder/deeper"));
        test::writeBytes(dir.file("folder/deeper/inside.txt"), "整个目录移进来");
        std::filesystem::rename(dir.file("folder"), dir.file("in/folder"));
        // Its file stored: the folder moved in is watched by now.
        ASSERT_TRUE(w.stores(check, titled(name, "inside"), "1"));
        test::writeBytes(dir.file("in/folder/later.txt"), "新目录里后写的");
        checked = w.stores(check, count(), "5");
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select concat(`标题`, '=', `内容`) from `文章` order by `标题`"),
        (std::vector<std::string>{"inside=整个目录移进来", "later=新目录里后写的", "moved=移进来的",
            "slow=第一部分第二部分", "there=启动前就有"}));
    std::ifstream report(dir.file("r.jsonl"));
    std::string line, last;
    while (std::getline(report, line))
        last = line;
    EXPECT_TRUE(contains(last, "\"summary\":true")) << last;
    EXPECT_TRUE(contains(last, "\"exit_status\":130")) << last;
}

TEST_F(CliWatchTest, AWatcherKilledAndStartedAgainStoresEachFileOnce)
{
    for (int i = 0; i < 3; ++i)
        test::writeBytes(dir.file("in/old" + std::to_string(i) + ".txt"), "旧");
    const Output first = WatchRun::run(
        args({"--key", "标题"}),
        [&](WatchRun &w) {
            MySqlConnection check;
            ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
            ASSERT_TRUE(w.stores(check, count(), "3"));
        },
        SIGKILL);
    EXPECT_EQ(first.status, -1); // killed
    for (int i = 0; i < 2; ++i)
        test::writeBytes(dir.file("in/new" + std::to_string(i) + ".txt"), "新");
    bool done = false;
    const Output second = WatchRun::run(args({"--key", "标题"}), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        done = w.stores(check, count(), "5");
    });
    EXPECT_TRUE(done) << second.err;
    EXPECT_EQ(second.status, 130);
    EXPECT_TRUE(contains(second.out, "已存在 3 篇")) << second.out;
    EXPECT_EQ(column("select count(distinct `标题`) from `文章`"), std::vector<std::string>{"5"});

    // --new-only leaves what is there: a file written once it watches goes
    // in a batch that the one there before would have gone in.
    test::writeBytes(dir.file("in/ignored.txt"), "不导入");
    bool later = false;
    const Output third = WatchRun::run(args({"--key", "标题", "--new-only"}), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        test::writeBytes(dir.file("in/later.txt"), "后来写的");
        later = w.stores(check, titled(name, "later"), "1");
    });
    EXPECT_TRUE(later) << third.err;
    EXPECT_EQ(third.status, 130);
    EXPECT_EQ(column(titled(name, "ignored")), std::vector<std::string>{"0"});
    EXPECT_EQ(column(count()), std::vector<std::string>{"6"});
}

// Hidden and temporary names and the report itself are no articles; a file
// written anew goes again, one closed again unchanged does not.
TEST_F(CliWatchTest, HiddenFilesAndTheReportAreLeftAndRewrittenFilesGoAgain)
{
    bool checked = false;
    std::vector<std::string> a = args({"--report", dir.file("in/r.jsonl").string()});
    a.insert(a.end(), {"--types", "*.*"});
    const Output o = WatchRun::run(a, [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        test::writeBytes(dir.file("in/a.txt"), "第一版");
        test::writeBytes(dir.file("in/.a.txt.part"), "写了一半");
        ASSERT_TRUE(w.stores(check, count(), "1"));
        {
            std::ofstream same(dir.file("in/a.txt"), std::ios::app); // opened for writing, closed unchanged
        }
        // Written after that close, and after the report of the first
        // batch: its batch would hold either.
        test::writeBytes(dir.file("in/b.txt"), "其后写的");
        ASSERT_TRUE(w.stores(check, titled(name, "b"), "1"));
        EXPECT_EQ(test::firstColumn(check, count()), std::vector<std::string>{"2"});
        // This batch would hold the report of the one before.
        test::writeBytes(dir.file("in/a.txt"), "第二版，长一些");
        checked = w.stores(check, count(), "3");
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select `内容` from `文章` order by ID"),
        (std::vector<std::string>{"第一版", "其后写的", "第二版，长一些"}));
}

// Folders made after the start are watched, with the folders made in them;
// moving a folder within the watched one brings no new content.
TEST_F(CliWatchTest, FoldersMadeLaterAreWatchedAndMovingOneStoresNothingAgain)
{
    bool checked = false;
    const Output o = WatchRun::run(args(), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        std::filesystem::create_directories(dir.file("in/new/deeper"));
        test::writeBytes(dir.file("in/new/a.txt"), "新目录里的");
        test::writeBytes(dir.file("in/new/deeper/b.txt"), "下一层的");
        ASSERT_TRUE(w.stores(check, count(), "2"));
        std::filesystem::rename(dir.file("in/new"), dir.file("in/moved"));
        // Still watched, under their new names; whatever the move brought
        // goes in this file's batch at the latest.
        test::writeBytes(dir.file("in/moved/deeper/c.txt"), "移动之后写的");
        checked = w.stores(check, titled(name, "c"), "1");
        EXPECT_EQ(test::firstColumn(check, count()), std::vector<std::string>{"3"});
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select concat(`标题`, '=', `内容`) from `文章` order by `标题`"),
        (std::vector<std::string>{"a=新目录里的", "b=下一层的", "c=移动之后写的"}));
}

// A file written in two goes, closed in between: with a key the article
// holds what the file holds at the end, once.
TEST_F(CliWatchTest, CloseThenAppendWithAKeyKeepsTheFinalContent)
{
    bool checked = false;
    const std::string text = "select group_concat(`内容`) from `" + name + "`.`文章`";
    const Output o = WatchRun::run(args({"--key", "标题"}), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        test::writeBytes(dir.file("in/a.txt"), "第一段");
        ASSERT_TRUE(w.stores(check, text, "第一段"));
        {
            std::ofstream more(dir.file("in/a.txt"), std::ios::binary | std::ios::app);
            more << "第二段";
        }
        checked = w.stores(check, text, "第一段第二段");
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"1"});
}

// Written anew while the server still stores it: what was stored is what the
// file held before, so the file goes again.
TEST_F(CliWatchTest, AFileRewrittenWhileItsBatchIsUnderWayGoesAgain)
{
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` tinytext, "
                           "`内容` mediumtext) character set utf8mb4"));
    ASSERT_TRUE(db.execute("create trigger slow before insert on `文章` for each row set @x = sleep(1)"));
    bool checked = false;
    const Output o = WatchRun::run(args(), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        test::writeBytes(dir.file("in/a.txt"), "旧的");
        ASSERT_TRUE(w.stores(check,
            // The insert, in its trigger.
            "select count(*) > 0 from information_schema.processlist where info like '%sleep(1)%' and db = '" + name
                + "'",
            "1"));
        test::writeBytes(dir.file("in/a.txt"), "新写的");
        checked = w.stores(check, count(), "2");
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select `内容` from `文章` order by ID"), (std::vector<std::string>{"旧的", "新写的"}));
}

// A file that a process still writes when the watcher lists the folder is
// taken when it is closed, whole.
TEST_F(CliWatchTest, AFileStillBeingWrittenAtTheStartIsTakenWhenClosed)
{
    test::writeBytes(dir.file("in/there.txt"), "已经写完");
    // Not inherited by the watcher: its close is the writer's.
    int writing = ::open(dir.file("in/w.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(writing, 0);
    const std::string first = "前半", second = "后半";
    ASSERT_EQ(::write(writing, first.data(), first.size()), static_cast<ssize_t>(first.size()));
    bool checked = false;
    const Output o = WatchRun::run(args(), [&](WatchRun &w) {
        MySqlConnection check;
        ASSERT_TRUE(check.connect(settings.server, settings.user, settings.password));
        ASSERT_TRUE(w.stores(check, count(), "1"));
        // Its batch comes after the one of the files listed at the start.
        test::writeBytes(dir.file("in/mark.txt"), "其后写的");
        ASSERT_TRUE(w.stores(check, titled(name, "mark"), "1"));
        EXPECT_EQ(test::firstColumn(check, titled(name, "w")), std::vector<std::string>{"0"});
        EXPECT_EQ(::write(writing, second.data(), second.size()), static_cast<ssize_t>(second.size()));
        ::close(writing);
        checked = w.stores(check, count(), "3");
    });
    EXPECT_TRUE(checked) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(column("select concat(`标题`, '=', `内容`) from `文章` order by `标题`"),
        (std::vector<std::string>{"mark=其后写的", "there=已经写完", "w=前半后半"}));
}

// The folder moved away ends the watch: what it had not imported yet is in
// the report as skipped, with why.
TEST_F(CliWatchTest, TheFolderMovedAwayLeavesItsQueuedFilesSkipped)
{
    const std::string report = dir.file("r.jsonl").string();
    bool ended = false;
    const Output o = WatchRun::run(
        args({"--report", report}),
        [&](WatchRun &w) {
            test::writeBytes(dir.file("in/a.txt"), "来不及导入");
            std::filesystem::rename(dir.file("in"), dir.file("gone"));
            ended = w.says("文章目录已删除或移走，监视结束");
        },
        0);
    EXPECT_TRUE(ended) << o.err;
    EXPECT_EQ(o.status, 1) << o.err;
    std::ifstream in(report);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["file"], dir.file("in/a.txt").string());
    EXPECT_EQ(lines[0]["outcome"], "skipped");
    EXPECT_EQ(lines[0]["reason"], "文章目录已删除或移走");
    EXPECT_EQ(lines[1]["skipped"], 1);
    EXPECT_EQ(lines[1]["exit_status"], 1);
}

// A watch on a server of its own that is away for a while, as `away` makes
// it, writing the file `during` meanwhile: the files before, during and after
// are each stored once when it is back, and nothing is blamed on the
// configuration.
using Away = std::function<void(test::ThrowawayServer &, const std::filesystem::path &during, WatchRun &)>;
void expectWatchOutlasts(const Away &away)
{
    test::ThrowawayServer server;
    ASSERT_EQ(server.error(), "");
    TempDir dir;
    std::filesystem::create_directories(dir.file("in"));
    test::writeConfig(dir.file("config.ini"), test::kTitleAndText, "d", dir.file("in"));
    bool stored = false;
    const Output o = WatchRun::run({"watch", "--config", dir.file("config.ini").string(), "--server", server.address(),
                                       "--user", "root", "--password", "", "--key", "标题", "--timeout", "2"},
        [&](WatchRun &w) {
            test::writeBytes(dir.file("in/before.txt"), "之前");
            {
                MySqlConnection check;
                ASSERT_TRUE(check.connect(server.address(), "root", ""));
                ASSERT_TRUE(w.stores(check, "select count(*) from d.`文章`", "1"));
            }
            away(server, dir.file("in/during.txt"), w);
            test::writeBytes(dir.file("in/after.txt"), "之后");
            MySqlConnection check;
            ASSERT_TRUE(check.connect(server.address(), "root", ""));
            stored = w.stores(check, "select count(*) from d.`文章`", "3");
        });
    EXPECT_TRUE(stored) << o.err;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_FALSE(contains(o.err, "自动创建失败")) << o.err;
    MySqlConnection check;
    ASSERT_TRUE(check.connect(server.address(), "root", ""));
    EXPECT_EQ(test::firstColumn(check, "select count(distinct `标题`) from d.`文章`"), std::vector<std::string>{"3"});
}

// The server goes away and comes back while the watcher waits.
TEST(CliWatch, SurvivesARestartOfTheServer)
{
    VARNEL_REQUIRE_MARIADB();
    expectWatchOutlasts([](test::ThrowawayServer &server, const std::filesystem::path &during, WatchRun &w) {
        const std::size_t from = w.said();
        server.kill();
        test::writeBytes(during, "服务器不在时写的");
        // Its batch found no server: the watcher waits to try again.
        EXPECT_TRUE(w.says("稍后重试", from)) << w.text();
        ASSERT_TRUE(server.start()) << server.error();
    });
}

// The server stops answering while a file waits, so the watcher's next batch
// meets a dead connection in its first checks (the database, the table):
// waited for as a lost server, not ended as a wrong configuration.
TEST(CliWatch, AServerThatStopsAnsweringBeforeABatchIsWaitedFor)
{
    VARNEL_REQUIRE_MARIADB();
    expectWatchOutlasts([](test::ThrowawayServer &server, const std::filesystem::path &during, WatchRun &w) {
        const std::size_t from = w.said();
        server.freeze();
        test::writeBytes(during, "服务器不应答时写的");
        // Its batch met the dead connection, or the reconnection after it
        // found none: either way the watcher waits to try again.
        EXPECT_TRUE(w.says("稍后重试", from)) << w.text();
        server.thaw();
    });
}

} // namespace
} // namespace varnel
