// Runs that resume: the run report, --retry of what failed, and --key
// against storing an article twice.
#include "CliRun.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
        server.address(), "--user", "root", "--key", "标题", "--batch", "20", "--timeout", "5"};

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
    EXPECT_NE(first.status, 0);
    // The report is written when the server is lost, too.
    const auto lines = reportLines(dir.file("r1.jsonl"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["files"], 400);
    EXPECT_LT(lines.back()["stored"], 400); // the kill came before the end

    ASSERT_TRUE(server.start()) << server.error();
    const Output again = runCli(withReport("r2.jsonl"));
    EXPECT_EQ(again.status, 0) << again.err;
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
