// Runs against a real three-node Galera cluster on loopback
// (scripts/mysql-cluster): a node dies under an import and under an export,
// and a write of another node conflicts with a batch.
#include "CliRun.h"
#include "admin/TableCreation.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mysql/MySqlConnection.h"
#include "mysql/ServerAddress.h"
#include "support/KeyRows.h"
#include "support/Sandbox.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "transfer/ArticleExporter.h"
#include "transfer/InDoubtSettlement.h"
#include "transfer/KeyLookup.h"
#include "transfer/RowInserter.h"
#include "util/RunWait.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;
using test::RunOptions;
using test::TempDir;
using Clock = std::chrono::steady_clock;

struct ClusterSettings {
    std::vector<std::string> nodes; // 127.0.0.1:port each
    std::string list, user, password;
};

std::optional<ClusterSettings> clusterSettings()
{
    const char *servers = std::getenv("VARNEL_CLUSTER_SERVERS");
    if (!servers || !*servers)
        return std::nullopt;
    ClusterSettings s;
    s.list = servers;
    s.nodes = splitServerList(servers).entries;
    s.user = std::getenv("VARNEL_CLUSTER_USER") ? std::getenv("VARNEL_CLUSTER_USER") : "root";
    s.password = std::getenv("VARNEL_CLUSTER_PASSWORD") ? std::getenv("VARNEL_CLUSTER_PASSWORD") : "";
    return s;
}

// The output of a command of the cluster script.
std::string clusterScript(const std::string &arguments)
{
    std::string out;
    const std::string command = std::string(VARNEL_SOURCE_DIR) + "/scripts/mysql-cluster " + arguments + " 2>&1";
    if (FILE *p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

// Kills the node on that server address with SIGKILL and waits until it is
// gone (or a zombie nobody reaps).
void killNode(const std::string &node)
{
    const std::string port = std::to_string(parseServerAddress(node).port);
    std::string pidFile = clusterScript("pidfile " + port);
    pidFile = pidFile.substr(0, pidFile.find('\n'));
    std::ifstream in(pidFile);
    pid_t pid = 0;
    ASSERT_TRUE(in >> pid) << "no pid file for " << node << ": " << pidFile;
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (!(stat >> pidText >> name >> state) || state == "Z")
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "node " << node << " did not die";
}

class ClusterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto s = clusterSettings();
        if (!s) {
            if (test::inCi())
                FAIL() << "no cluster: run the tests through scripts/test";
            GTEST_SKIP() << "no cluster (scripts/mysql-cluster start; eval \"$(scripts/mysql-cluster env)\")";
        }
        cluster = *s;
        ASSERT_EQ(cluster.nodes.size(), 3u);
        ASSERT_TRUE(db.connect(cluster.nodes[1], cluster.user, cluster.password)) << db.connectError();
        ASSERT_TRUE(db.clusterNode());
        name = test::testDatabaseName();
        db.execute("drop database if exists `" + name + "`");
        ASSERT_TRUE(db.execute("create database `" + name + "` character set utf8mb4"));
        ASSERT_TRUE(db.selectDatabase(name));
    }
    void TearDown() override
    {
        // A node a test killed comes back (and catches up) for the next one.
        if (killed) {
            const std::string started = clusterScript("start");
            EXPECT_EQ(clusterScript("status >/dev/null; echo $?"), "0\n") << started;
        }
        if (!name.empty()) {
            MySqlConnection cleanup;
            if (cleanup.connect(cluster.list, cluster.user, cluster.password))
                cleanup.execute("drop database if exists `" + name + "`");
        }
    }
    std::string count(MySqlConnection &on, const std::string &sql)
    {
        const auto rows = on.fetchRows(sql);
        return rows && rows->rowCount() == 1 ? std::string(rows->cellText(0, 0)) : std::string("?");
    }

    // `files` articles a0.txt … in the folder `articles` of `dir`, each
    // "第i篇" and `padding` bytes more, and config.ini for them.
    void writeArticles(const TempDir &dir, int files, std::size_t padding)
    {
        std::filesystem::create_directories(dir.file("articles"));
        for (int i = 0; i < files; ++i)
            test::writeBytes(dir.file("articles/a" + std::to_string(i) + ".txt"),
                "第" + std::to_string(i) + "篇" + std::string(padding, static_cast<char>('a' + i % 26)));
        test::writeConfig(dir.file("config.ini"), test::kTitleAndText, name, dir.file("articles"));
    }
    // An import of those articles through the whole list, with the key 标题.
    Output importThroughTheList(const TempDir &dir, const std::string &batch, const RunOptions &run = {})
    {
        return runCli({"import", "--config", dir.file("config.ini").string(), "--server", cluster.list, "--user",
                          cluster.user, "--password", cluster.password, "--key", "标题", "--batch", batch, "--report",
                          dir.file("report.jsonl").string()},
            run);
    }
    // Runs `act` once the second node counts `rows` rows in 文章, unless
    // `done` comes first.
    std::thread onceRowsReach(long long rows, const std::atomic<bool> &done, std::function<void(MySqlConnection &)> act)
    {
        return std::thread([this, rows, &done, act = std::move(act)] {
            MySqlConnection watch;
            if (!watch.connect(cluster.nodes[1], cluster.user, cluster.password))
                return;
            for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
                const std::string n = count(watch, "select count(*) from `" + name + "`.`文章`");
                if (n != "?" && std::stoll(n) >= rows) {
                    act(watch);
                    return;
                }
            }
        });
    }
    // Outcome -> files, and the summary, of the run report in `dir`.
    static std::map<std::string, int> reportOutcomes(const TempDir &dir, nlohmann::json *summary = nullptr)
    {
        std::map<std::string, int> outcomes;
        std::ifstream in(dir.file("report.jsonl"));
        for (std::string line; std::getline(in, line);) {
            const auto j = nlohmann::json::parse(line);
            if (!j.contains("summary"))
                ++outcomes[j["outcome"].get<std::string>()];
            else if (summary)
                *summary = j;
        }
        return outcomes;
    }

    ClusterSettings cluster;
    MySqlConnection db; // on the second node, which every test leaves alive
    std::string name;
    bool killed = false;
};

// The node in use dies with SIGKILL in the middle of an import of 5,000
// files: the run moves to the next node, settles the batch in doubt by its
// keys (read once the node has applied all the dead one committed) and goes
// on. Every file is in the table once, and the report says so.
TEST_F(ClusterTest, ImportMovesToTheNextNodeWhenItsNodeDiesAndStoresEveryFileOnce)
{
    // The table as the program's table creation makes it: an auto-increment
    // primary key, and no unique index on the key column, so after the move
    // only the lookups tell what the dead node stored.
    MemoryForm fields{tableFormSpec()};
    for (const auto &[field, type, length] : {std::array<const char *, 3>{"标题", "变长字符串(varchar)", "100"},
             std::array<const char *, 3>{"内容", "文本(text)", ""}}) {
        const int row = fields.appendRow();
        fields.setCell(row, 0, field);
        fields.setCell(row, 1, type);
        fields.setCell(row, 2, length);
    }
    ASSERT_TRUE(db.createTable(Identifier("文章"), columnSpecsFromRows(fields), sql::kUtf8mb4TableOptions));
    TempDir dir;
    constexpr int kFiles = 5000;
    writeArticles(dir, kFiles, 2000);

    // Killed once a fifth of the files are in, as the second node sees them.
    std::atomic<bool> done = false;
    Clock::time_point killedAt{}, resumedAt{};
    std::thread killer = onceRowsReach(kFiles / 5, done, [&](MySqlConnection &watch) {
        killNode(cluster.nodes[0]);
        killedAt = Clock::now();
        killed = true;
        // Rows beyond what could have been on its way at the kill (three
        // batches): the cluster took the run back.
        const std::string atKill = count(watch, "select count(*) from `" + name + "`.`文章`");
        const long long before = atKill == "?" ? kFiles / 5 : std::stoll(atKill);
        for (std::string now; !done; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            now = count(watch, "select count(*) from `" + name + "`.`文章`");
            if (now != "?" && std::stoll(now) >= before + 300)
                break;
        }
        resumedAt = Clock::now();
    });
    Clock::time_point movedAt{};
    RunOptions run;
    run.onStderr = [&](pid_t, const std::string &err) {
        if (movedAt == Clock::time_point{} && contains(err, "已改连"))
            movedAt = Clock::now();
    };
    const Clock::time_point started = Clock::now();
    const Output out = importThroughTheList(dir, "100", run);
    const Clock::time_point ended = Clock::now();
    done = true;
    killer.join();

    ASSERT_TRUE(killed) << "the import ended before the node could be killed: " << out.out;
    EXPECT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_TRUE(contains(out.err, "与服务器 " + cluster.nodes[0] + " 的连接已断开，已改连 " + cluster.nodes[1]))
        << out.err;
    EXPECT_EQ(count(db, "select count(*) from `文章`"), std::to_string(kFiles));
    EXPECT_EQ(count(db, "select count(distinct `标题`) from `文章`"), std::to_string(kFiles));

    nlohmann::json summary;
    std::map<std::string, int> outcomes = reportOutcomes(dir, &summary);
    EXPECT_EQ(outcomes["stored"] + outcomes["exists"], kFiles);
    EXPECT_EQ(outcomes["unknown"], 0);
    EXPECT_EQ(outcomes["failed"], 0);
    EXPECT_EQ(summary["table_rows"], kFiles);
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    auto ms = [](Clock::duration d) {
        return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    std::printf("[ cluster  ] %d files: %d stored, %d exists, %d unknown, %d failed, %lld duplicates in the table; "
                "import %lld ms, the node killed at %lld ms; the run said it moved %lld ms and new rows came "
                "%lld ms after the kill\n",
        kFiles, outcomes["stored"], outcomes["exists"], outcomes["unknown"], outcomes["failed"],
        std::stoll(count(db, "select count(*) - count(distinct `标题`) from `文章`")), ms(ended - started),
        ms(killedAt - started), movedAt == Clock::time_point{} ? -1 : ms(movedAt - killedAt), ms(resumedAt - killedAt));
}

// The connection to the node in use is cut from outside (a firewall, a NAT
// that forgot it) on node 3, which resolves host names as a server does by
// default: the node lives on and finishes the batch. The run moves to the
// next node, ends the old session on node 3 (found by its id, login and
// client port, not by the name node 3 gives the client) and only then
// settles the batch by key.
TEST_F(ClusterTest, AConnectionCutToANodeThatResolvesNamesIsSettledOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "cutting a connection (ss -K) needs root";
    {
        MySqlConnection third;
        ASSERT_TRUE(third.connect(cluster.nodes[2], cluster.user, cluster.password)) << third.connectError();
        ASSERT_EQ(count(third, "select @@skip_name_resolve"), "0")
            << "node 3 does not resolve host names: scripts/mysql-cluster stop, then start";
    }
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100), "
                           "`内容` text) character set utf8mb4"));
    TempDir dir;
    constexpr int kFiles = 3000;
    writeArticles(dir, kFiles, 2000);
    const std::string port = cluster.nodes[2].substr(cluster.nodes[2].rfind(':') + 1);
    const std::string cut = "ss -K dst 127.0.0.1 dport = " + port + " >/dev/null 2>&1";
    std::atomic<bool> done = false, wasCut = false;
    std::thread cutter =
        onceRowsReach(kFiles / 5, done, [&](MySqlConnection &) { wasCut = std::system(cut.c_str()) == 0; });
    const Output out = runCli({"import", "--config", dir.file("config.ini").string(), "--server",
        cluster.nodes[2] + "," + cluster.nodes[0] + "," + cluster.nodes[1], "--user", cluster.user, "--password",
        cluster.password, "--key", "标题", "--batch", "100", "--report", dir.file("report.jsonl").string()});
    done = true;
    cutter.join();

    ASSERT_TRUE(wasCut) << "the import ended before the connection could be cut: " << out.out;
    EXPECT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_TRUE(contains(out.err, "与服务器 " + cluster.nodes[2] + " 的连接已断开，已改连 " + cluster.nodes[0]))
        << out.err;
    EXPECT_EQ(count(db, "select count(*) from `文章`"), std::to_string(kFiles));
    EXPECT_EQ(count(db, "select count(distinct `标题`) from `文章`"), std::to_string(kFiles));
    std::map<std::string, int> outcomes = reportOutcomes(dir);
    EXPECT_EQ(outcomes["stored"] + outcomes["exists"], kFiles);
    EXPECT_EQ(outcomes["unknown"] + outcomes["failed"], 0);
}

// The node in use is cut off from the other two in the middle of an import:
// it stays up and answers every statement with "not prepared" (1047), which
// moves the run to the next node like a lost connection.
TEST_F(ClusterTest, ImportMovesOnWhenItsNodeIsCutOffFromTheCluster)
{
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100) not null, "
                           "`内容` text, unique key (`标题`)) character set utf8mb4"));
    TempDir dir;
    constexpr int kFiles = 3000;
    writeArticles(dir, kFiles, 0);

    MySqlConnection first;
    ASSERT_TRUE(first.connect(cluster.nodes[0], cluster.user, cluster.password)) << first.connectError();
    std::atomic<bool> done = false, isolated = false;
    std::thread cutter = onceRowsReach(kFiles / 5, done,
        [&](MySqlConnection &) { isolated = first.execute("set global wsrep_provider_options = 'gmcast.isolate=1'"); });
    const Output out = importThroughTheList(dir, "50");
    done = true;
    cutter.join();
    // Back into the cluster, for the next test.
    if (isolated) {
        first.execute("set global wsrep_provider_options = 'gmcast.isolate=0'");
        killed = true; // start waits until all three are synced again
    }

    ASSERT_TRUE(isolated) << "the import ended before the node could be cut off";
    EXPECT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_TRUE(contains(out.err, "已改连")) << out.err;
    EXPECT_EQ(count(db, "select count(*) from `文章`"), std::to_string(kFiles));
    std::map<std::string, int> outcomes = reportOutcomes(dir);
    EXPECT_EQ(outcomes["stored"] + outcomes["exists"], kFiles);
    EXPECT_EQ(outcomes["unknown"] + outcomes["failed"], 0);
}

// An export reads every row once while the node it reads from dies: the
// walk moves to the next node and reads the chunk it lost again.
TEST_F(ClusterTest, ExportReadsEveryRowOnceWhileItsNodeDies)
{
    ASSERT_TRUE(
        db.execute("create table t (ID bigint primary key, `标题` varchar(100), `内容` text) character set utf8mb4"));
    constexpr int kRows = 2000;
    for (int first = 1; first <= kRows; first += 500) {
        std::string insert = "insert into t values ";
        for (int i = first; i < first + 500; ++i)
            insert += (i == first ? "(" : ",(") + std::to_string(i) + ",'n" + std::to_string(i) + "','body"
                + std::to_string(i) + "')";
        ASSERT_TRUE(db.execute(insert));
    }
    MemoryForm form{mainFormSpec()};
    form.control("编辑框库名")->setText(name);
    form.control("编辑框表名")->setText("t");
    form.control("按钮导出")->setText(kExportIdle);
    form.clearRows();
    test::addRule(form, "标题", "文件主名");
    test::addRule(form, "内容", "文件内容");
    TempDir out;
    form.control("编辑框文章目录")->setText(out.path().string());

    MySqlConnection reader;
    ASSERT_TRUE(reader.connect(cluster.list, cluster.user, cluster.password)) << reader.connectError();
    ASSERT_EQ(reader.server(), cluster.nodes[0]);
    // The node dies just as the fourth chunk is asked for.
    int chunks = 0;
    reader.setStatementObserver([&](std::string_view statement) {
        if (statement.starts_with("select * from") && ++chunks == 4 && !killed) {
            killNode(cluster.nodes[0]);
            killed = true;
        }
    });
    test::ScriptedHost host;
    test::SeededRandom random;
    ArticleExporter exporter(form, reader, host, random);
    exporter.setChunkLimits(300, ArticleExporter::kDefaultChunkBytes);
    const ExportResult result = exporter.runExport();
    reader.setStatementObserver({});

    ASSERT_TRUE(killed);
    EXPECT_EQ(reader.server(), cluster.nodes[1]);
    EXPECT_EQ(result.outcome, TransferOutcome::Completed) << result.detail;
    EXPECT_EQ(result.transferred, kRows);
    EXPECT_TRUE(result.failures.empty());
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(out.path())) {
        ++files;
        const std::string stem = entry.path().stem().string();
        EXPECT_EQ(test::readBytes(entry.path()), "body" + stem.substr(1)) << stem;
    }
    EXPECT_EQ(files, kRows);
}

// A write of another node takes a key the batch had taken first, while the
// batch waits for a lock: the cluster gives the batch up (deadlock, 1213).
// It goes again, and the file whose key the other node stored counts as
// stored before; no file fails.
TEST_F(ClusterTest, ABatchAConflictingNodeAbortedGoesAgain)
{
    ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, k varchar(20) not null, v text, "
                           "unique key (k)) character set utf8mb4"));
    // The server's own retry of a statement that lost a conflict would hide
    // the conflict from the program.
    MySqlConnection holder;
    ASSERT_TRUE(holder.connect(cluster.nodes[1], cluster.user, cluster.password));
    ASSERT_TRUE(holder.execute("select @@global.wsrep_retry_autocommit"));
    std::string retries = "1";
    if (const auto r = holder.storeResult(); r && r->rowCount() == 1)
        r->readField(0.0, retries);
    ASSERT_TRUE(holder.execute("set global wsrep_retry_autocommit = 0"));
    struct Restore {
        MySqlConnection &on;
        std::string value;
        ~Restore() { on.execute("set global wsrep_retry_autocommit = " + value); }
    } restore{db, retries};

    // k2 is taken by an open transaction on the same node: the batch stores
    // k1, then waits.
    ASSERT_TRUE(holder.selectDatabase(name));
    ASSERT_TRUE(holder.execute("begin"));
    ASSERT_TRUE(holder.execute("insert into t (k, v) values ('k2', 'holder')"));
    std::thread other([&] {
        MySqlConnection watch, first;
        ASSERT_TRUE(watch.connect(cluster.nodes[1], cluster.user, cluster.password));
        ASSERT_TRUE(first.connect(cluster.nodes[0], cluster.user, cluster.password));
        for (int i = 0; i < 1000
             && count(watch,
                    "select count(*) from information_schema.innodb_trx where "
                    "trx_state = 'LOCK WAIT'")
                 != "1";
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        // The first node stores k1: its write reaches this node and aborts
        // the waiting batch, which holds k1.
        EXPECT_TRUE(first.execute("insert into `" + name + "`.t (k, v) values ('k1', 'first node')"));
        // The holder lets go once the batch is no longer waiting for it.
        for (int i = 0; i < 1000
             && count(watch,
                    "select count(*) from information_schema.innodb_trx where "
                    "trx_state = 'LOCK WAIT'")
                 == "1";
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(holder.execute("rollback"));
    });

    MySqlConnection importer;
    ASSERT_TRUE(importer.connect(cluster.nodes[1], cluster.user, cluster.password));
    RowInserter inserter(importer, name, Identifier("t"), test::batchedTo500());
    const auto key = describeKeyColumn(importer, name, Identifier("t"), Identifier("k"));
    ASSERT_TRUE(key && key->unique);
    inserter.setKey(*key);
    test::addKeyRows(inserter, {"k1", "k2", "k3"}, "import");
    inserter.complete();
    other.join();

    EXPECT_GE(inserter.conflictsRetried(), 1);
    EXPECT_TRUE(inserter.failures().empty())
        << inserter.failures().front().item << ": " << inserter.failures().front().reason;
    EXPECT_TRUE(inserter.unknown().empty());
    ASSERT_EQ(inserter.exists().size(), 1u);
    EXPECT_EQ(inserter.exists().front().item, "k1");
    EXPECT_EQ(inserter.inserted(), 2);
    const auto rows = db.fetchRows("select concat(k, '=', v) from t order by k");
    ASSERT_TRUE(rows);
    std::vector<std::string> got;
    for (std::size_t r = 0; r < rows->rowCount(); ++r)
        got.emplace_back(rows->cellText(r, 0));
    EXPECT_EQ(got, (std::vector<std::string>{"k1=first node", "k2=import", "k3=import"}));
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

// Rows left in doubt on a node that lets no one in but is still counted in
// the cluster: they wait, on the run's clock, until the cluster counts the
// node out. Still a member after the wait they stay unknown; a stop ends the
// wait at once; a node counted out already lets the keys tell at once.
TEST_F(ClusterTest, RowsInDoubtOnANodeStillInTheClusterWaitOnTheRunsClock)
{
    SessionIdentity old = db.identity(); // the second node stays in the cluster
    ASSERT_TRUE(old.known());
    ASSERT_FALSE(old.clusterNode.empty());
    old.server = "127.0.0.1:1"; // and lets no one in
    MySqlConnection restored;
    ASSERT_TRUE(restored.connect(cluster.nodes[0], cluster.user, cluster.password));
    bool looked = false;
    const InDoubtSettlement::LookUp lookUp = [&]() -> std::optional<std::vector<KeyFound>> {
        looked = true;
        return std::vector<KeyFound>{KeyFound::InTable, KeyFound::No};
    };
    using Verdict = InDoubtSettlement::Verdict;
    {
        test::SteppingClock clock;
        RunWait wait(
            {}, [] { return false; }, clock);
        InDoubtSettlement settlement(restored, wait);
        EXPECT_EQ(settlement.settle(old, 2, lookUp), (std::vector<Verdict>{Verdict::Unknown, Verdict::Unknown}));
        EXPECT_EQ(settlement.stage(), InDoubtSettlement::Stage::LeftUnknown);
        EXPECT_FALSE(looked);
        EXPECT_GE(clock.elapsed, InDoubtSettlement::kNodeLeaves);
        EXPECT_LT(clock.elapsed, InDoubtSettlement::kNodeLeaves + std::chrono::seconds(1));
    }
    {
        test::SteppingClock clock;
        bool stop = false;
        RunWait wait([&] { stop = stop || clock.elapsed >= std::chrono::seconds(2); }, [&] { return stop; }, clock);
        InDoubtSettlement settlement(restored, wait);
        EXPECT_EQ(settlement.settle(old, 2, lookUp), (std::vector<Verdict>{Verdict::Unknown, Verdict::Unknown}));
        EXPECT_TRUE(wait.wasStopped());
        EXPECT_LE(clock.elapsed, std::chrono::milliseconds(2100));
    }
    {
        old.clusterNode = "00000000-0000-0000-0000-000000000000";
        test::SteppingClock clock;
        RunWait wait(
            {}, [] { return false; }, clock);
        InDoubtSettlement settlement(restored, wait);
        EXPECT_EQ(settlement.settle(old, 2, lookUp), (std::vector<Verdict>{Verdict::Stored, Verdict::Again}));
        EXPECT_EQ(settlement.stage(), InDoubtSettlement::Stage::Settled);
        EXPECT_EQ(clock.elapsed, std::chrono::milliseconds(0));
    }
}

} // namespace
} // namespace varnel
