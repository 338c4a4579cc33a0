// Runs that resume: the run report, --retry of what failed, and --key
// against storing an article twice.
#include "CliRun.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <fstream>
#include <map>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;
using test::TempDir;

// Every line of a JSON Lines file.
std::vector<nlohmann::json> reportLines(const std::filesystem::path &file)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

// File main name -> outcome, from a report's file objects.
std::map<std::string, std::string> outcomes(const std::vector<nlohmann::json> &lines)
{
    std::map<std::string, std::string> out;
    for (const auto &j : lines) {
        if (!j.contains("summary"))
            out[std::filesystem::path(j["file"].get<std::string>()).stem().string()] = j["outcome"];
    }
    return out;
}

// A summary counts each file once, under one outcome, and never more stored
// than it lists so.
void expectSummaryAddsUp(const std::vector<nlohmann::json> &lines)
{
    ASSERT_FALSE(lines.empty());
    const nlohmann::json &summary = lines.back();
    ASSERT_EQ(summary["summary"], true) << summary.dump();
    std::map<std::string, int> listed;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        ++listed[lines[i]["outcome"].get<std::string>()];
    EXPECT_EQ(summary["files"].get<int>(),
        summary["stored"].get<int>() + summary["incomplete"].get<int>() + summary["failed"].get<int>()
            + summary["unknown"].get<int>() + summary["exists"].get<int>() + summary["skipped"].get<int>())
        << summary.dump();
    EXPECT_EQ(summary["files"].get<std::size_t>(), lines.size() - 1) << summary.dump();
    for (const char *outcome : {"stored", "failed", "unknown", "incomplete", "exists", "skipped"})
        EXPECT_EQ(summary[outcome].get<int>(), listed[outcome]) << outcome << ": " << summary.dump();
}

class CliResumeTest : public test::ConfiguredDatabase {
protected:
    CliResumeTest()
        : ConfiguredDatabase("articles")
    {
    }
    void article(const std::string &main, const std::string &text)
    {
        test::writeBytes(dir.file("articles/" + main + ".txt"), text);
    }
    Output cli(std::vector<std::string> args, const std::string &server = {})
    {
        for (const std::string &a : {std::string("--config"), dir.file("config.ini").string(), std::string("--server"),
                 server.empty() ? settings.server : server, std::string("--user"),
                 server.empty() ? settings.user : std::string("root"), std::string("--password"),
                 server.empty() ? settings.password : std::string(), std::string("--quiet")})
            args.push_back(a);
        return runCli(args);
    }
    std::string report(const std::string &file) { return dir.file(file).string(); }
};

TEST_F(CliResumeTest, TheReportNamesEveryFileAndARetryStoresOnlyWhatFailed)
{
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100), "
                           "`内容` varchar(10)) character set utf8mb4"));
    article("a", "短的");
    article("b", "这一篇太长了，放不进十个字的列");
    article("c", "也短");
    article("d", "又是一篇太长了的文章，放不进去");
    // A file that cannot be read (whoever runs the test): a link to nothing yet.
    std::filesystem::create_symlink(dir.file("later.txt"), dir.file("articles/e.txt"));
    const Output first = cli({"import", "--report", report("r1.jsonl")});
    EXPECT_EQ(first.status, 3) << first.err;
    const auto lines = reportLines(report("r1.jsonl"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(outcomes(lines),
        (std::map<std::string, std::string>{
            {"a", "stored"}, {"b", "failed"}, {"c", "stored"}, {"d", "failed"}, {"e", "failed"}}));
    for (const auto &j : lines) {
        if (!j.contains("summary") && j["outcome"] == "failed" && !contains(j["file"].get<std::string>(), "/e.txt")) {
            EXPECT_TRUE(contains(j["reason"].get<std::string>(), "数据太长")) << j.dump();
        }
    }
    expectSummaryAddsUp(lines);
    const nlohmann::json &summary = lines.back();
    EXPECT_EQ(summary["summary"], true);
    EXPECT_EQ(summary["database"], name);
    EXPECT_EQ(summary["table"], "文章");
    EXPECT_EQ(summary["files"], 5);
    EXPECT_EQ(summary["stored"], 2);
    EXPECT_EQ(summary["failed"], 3);
    EXPECT_EQ(summary["exit_status"], 3);
    EXPECT_TRUE(summary["started"].get<std::string>().ends_with("Z"));

    // A report of another table is refused before anything runs.
    const Output other = cli({"import", "--retry", report("r1.jsonl"), "--table", "别的表"});
    EXPECT_EQ(other.status, 2);
    EXPECT_TRUE(contains(other.err, "运行报告属于另一个表")) << other.err;

    // Fixed, then retried: only the three that failed go, each once.
    ASSERT_TRUE(db.execute("alter table `文章` modify `内容` text"));
    test::writeBytes(dir.file("later.txt"), "现在读得到了");
    article("e", "新来的，不在报告里");
    const Output retry = cli({"import", "--retry", report("r1.jsonl"), "--report", report("r2.jsonl")});
    EXPECT_EQ(retry.status, 0) << retry.err;
    expectSummaryAddsUp(reportLines(report("r2.jsonl")));
    EXPECT_EQ(outcomes(reportLines(report("r2.jsonl"))),
        (std::map<std::string, std::string>{{"b", "stored"}, {"d", "stored"}, {"e", "stored"}}));
    EXPECT_EQ(column("select `标题` from `文章` order by `标题`"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));

    // A report that is not one.
    test::writeBytes(dir.file("broken.jsonl"), "{\"file\": \"x\", \"outcome\": \"failed\"}\n");
    const Output broken = cli({"import", "--retry", report("broken.jsonl")});
    EXPECT_EQ(broken.status, 2);
    EXPECT_TRUE(contains(broken.err, "没有最后的汇总行")) << broken.err;
}

TEST_F(CliResumeTest, AKeyStoresEachArticleOnce)
{
    article("a", "甲");
    article("b", "乙");
    std::filesystem::create_directories(dir.file("articles/sub"));
    test::writeBytes(dir.file("articles/sub/a.txt"), "甲的另一份");
    const Output first = cli({"import", "--key", "标题", "--report", report("r1.jsonl")});
    EXPECT_EQ(first.status, 0) << first.err;
    // The table the run made has no unique index on the key: said once.
    EXPECT_TRUE(contains(first.err, "没有唯一索引")) << first.err;
    const auto lines = reportLines(report("r1.jsonl"));
    std::size_t exists = 0;
    for (const auto &j : lines) {
        if (!j.contains("summary")) {
            EXPECT_TRUE(j.contains("key")) << j.dump();
            exists += j["outcome"] == "exists";
        }
    }
    EXPECT_EQ(exists, 1u); // the second a of the run
    expectSummaryAddsUp(lines);
    EXPECT_EQ(lines.back()["stored"], 2); // what exists is not stored
    EXPECT_EQ(lines.back()["key"], "标题");
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});

    // Everything again: nothing stored, all counted apart, exit 0.
    const Output again = cli({"import", "--key", "标题"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(contains(again.out, "已存在 3 篇")) << again.out;
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});

    // With a unique index the lookup goes through it and nothing is said.
    ASSERT_TRUE(db.execute("alter table `文章` modify `标题` varchar(100), add unique key (`标题`)"));
    article("c", "丙");
    const Output indexed = cli({"import", "--key", "标题"});
    EXPECT_EQ(indexed.status, 0) << indexed.err;
    EXPECT_FALSE(contains(indexed.err, "没有唯一索引")) << indexed.err;
    EXPECT_EQ(column("select `标题` from `文章` order by `标题`"), (std::vector<std::string>{"a", "b", "c"}));

    const Output notATarget = cli({"import", "--key", "作者"});
    EXPECT_EQ(notATarget.status, 2);
    EXPECT_TRUE(contains(notATarget.err + notATarget.out, "唯一键字段不在数据字段设置中：作者"));
}

// A report's lines, written by hand: one file of each outcome, a file listed
// twice, one written two ways, and files listed again after they went again
// (as a watch lists them).
TEST_F(CliResumeTest, ARetryTakesEachFileOnceByItsLastOutcome)
{
    for (const char *f : {"stored", "failed", "unknown", "incomplete", "skipped", "exists", "twice", "two-ways",
             "then-stored", "then-failed"})
        article(f, std::string("文章 ") + f);
    const std::string at = dir.file("articles").string() + "/";
    auto line = [&](const std::string &file, const std::string &outcome) {
        return "{\"file\":\"" + file + "\",\"outcome\":\"" + outcome + "\"}\n";
    };
    const std::string summary = "{\"summary\":true,\"command\":\"import\",\"database\":\"" + name
        + "\",\"table\":\"文章\",\"exit_status\":3}\n";
    test::writeBytes(dir.file("hand.jsonl"),
        line(at + "stored.txt", "stored") + line(at + "failed.txt", "failed") + line(at + "unknown.txt", "unknown")
            + line(at + "incomplete.txt", "incomplete") + line(at + "skipped.txt", "skipped")
            + line(at + "exists.txt", "exists") + line(at + "twice.txt", "failed") + line(at + "twice.txt", "failed")
            + line("./articles/two-ways.txt", "failed") + line(at + "two-ways.txt", "failed")
            + line(at + "then-stored.txt", "failed") + line(at + "then-stored.txt", "stored")
            + line(at + "then-failed.txt", "stored") + line(at + "then-failed.txt", "failed") + summary);
    // "./" is the folder the command runs in.
    test::RunOptions inFolder;
    const std::string folder = dir.path().string();
    inFolder.inChild = [folder] { (void)!::chdir(folder.c_str()); };
    std::vector<std::string> args = {
        "import", "--retry", dir.file("hand.jsonl").string(), "--report", report("r.jsonl")};
    for (const std::string &a :
        {std::string("--config"), dir.file("config.ini").string(), std::string("--server"), settings.server,
            std::string("--user"), settings.user, std::string("--password"), settings.password, std::string("--quiet")})
        args.push_back(a);
    const Output retry = runCli(args, inFolder);
    EXPECT_EQ(retry.status, 0) << retry.err;
    const auto lines = reportLines(report("r.jsonl"));
    expectSummaryAddsUp(lines);
    EXPECT_EQ(outcomes(lines),
        (std::map<std::string, std::string>{{"failed", "stored"}, {"unknown", "stored"}, {"skipped", "stored"},
            {"twice", "stored"}, {"two-ways", "stored"}, {"then-failed", "stored"}}));
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"6"});

    // A run that never reached its files: refused, not "nothing failed".
    const Output unreachable = cli({"import", "--report", report("none.jsonl")}, "127.0.0.1:1");
    EXPECT_EQ(unreachable.status, 1) << unreachable.err;
    const auto none = reportLines(report("none.jsonl"));
    ASSERT_EQ(none.size(), 1u);
    EXPECT_FALSE(none.back().contains("table_rows")) << none.back().dump();
    const Output refused = cli({"import", "--retry", report("none.jsonl")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(contains(refused.err, "这份报告来自一次没有处理任何文件的运行，无法重试")) << refused.err;

    // An export's report, of this very table, is no import's.
    std::filesystem::create_directories(dir.file("out"));
    const Output exported = cli({"export", "--folder", dir.file("out").string(), "--report", report("e.jsonl")});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const Output notAnImport = cli({"import", "--retry", report("e.jsonl")});
    EXPECT_EQ(notAnImport.status, 2);
    EXPECT_TRUE(contains(notAnImport.err, "运行报告记录的不是导入（export）")) << notAnImport.err;
}

// The server killed under a run with a key: the files of that run are stored,
// failed or unknown; a plain re-run once the server is back stores every file
// exactly once and leaves nothing unknown.
TEST(CliResume, AKilledServerThenARerunStoresEveryFileOnce)
{
    VARNEL_REQUIRE_MARIADB();
    test::ThrowawayServer server;
    ASSERT_EQ(server.error(), "");
    TempDir dir;
    std::filesystem::create_directories(dir.file("articles"));
    for (int i = 0; i < 400; ++i)
        test::writeBytes(dir.file("articles/f" + std::to_string(i) + ".txt"), std::string(20000, 'x'));
    test::writeConfig(dir.file("config.ini"), test::kTitleAndText, "d", dir.file("articles"));
    const std::vector<std::string> args = {"import", "--config", dir.file("config.ini").string(), "--server",
        server.address(), "--user", "root", "--password", "", "--key", "标题", "--batch", "20", "--timeout", "5"};

    test::RunOptions killing;
    bool killed = false;
    killing.onStderr = [&](pid_t, const std::string &err) {
        if (!killed && contains(err, "已导入")) {
            killed = true;
            server.kill();
        }
    };
    auto withReport = [&](const std::string &file) {
        std::vector<std::string> a = args;
        a.insert(a.end(), {"--report", dir.file(file).string()});
        return a;
    };
    const Output first = runCli(withReport("r1.jsonl"), killing);
    ASSERT_TRUE(killed);
    // The server lost for good ended the run: exit 1, as the help says.
    EXPECT_EQ(first.status, 1) << first.err;
    EXPECT_TRUE(contains(first.err, "连接已断开，重新连接失败：")) << first.err;
    // The report is written when the server is lost, too.
    const auto lines = reportLines(dir.file("r1.jsonl"));
    expectSummaryAddsUp(lines);
    EXPECT_EQ(lines.back()["exit_status"], 1);
    EXPECT_FALSE(lines.back().contains("table_rows")); // the count could not be read
    EXPECT_EQ(lines.back()["files"], 400);
    EXPECT_LT(lines.back()["stored"], 400); // the kill came before the end

    ASSERT_TRUE(server.start()) << server.error();
    const Output again = runCli(withReport("r2.jsonl"));
    EXPECT_EQ(again.status, 0) << again.err;
    expectSummaryAddsUp(reportLines(dir.file("r2.jsonl")));
    std::map<std::string, std::string> seen = outcomes(reportLines(dir.file("r2.jsonl")));
    EXPECT_EQ(seen.size(), 400u);
    for (const auto &[file, outcome] : seen)
        EXPECT_TRUE(outcome == "stored" || outcome == "exists") << file << " " << outcome;

    MySqlConnection check;
    ASSERT_TRUE(check.connect(server.address(), "root", ""));
    EXPECT_EQ(test::firstColumn(check, "select count(*), count(distinct `标题`) from d.`文章`"),
        std::vector<std::string>{"400"});
    EXPECT_EQ(test::firstColumn(check, "select count(distinct `标题`) from d.`文章`"), std::vector<std::string>{"400"});
}

} // namespace
} // namespace varnel
