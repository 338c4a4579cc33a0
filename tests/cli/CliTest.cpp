// varnel-cli as a user runs it: a real process, real files, the sandbox
// server.
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "text/Charset.h"
#include "text/TextUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

namespace varnel {
namespace {

using test::TempDir;

struct Output {
    int status = -1; // exit status; -1 when ended by a signal
    std::string out;
    std::string err;
};

struct RunOptions {
    // Called in the parent whenever stderr has grown, with all of it so far.
    std::function<void(pid_t, const std::string &)> onStderr;
    // Called in the child just before exec.
    std::function<void()> inChild;
    // A run still going after this long is killed (status -1).
    int killAfterSeconds = 120;
};

// Runs varnel-cli with the arguments, collecting stdout and stderr apart.
Output runCli(const std::vector<std::string> &args, const RunOptions &run = {})
{
    Output o;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return o;
    std::vector<std::string> argv = {VARNEL_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        if (run.inChild)
            run.inChild();
        ::execv(cargv[0], cargv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&o.out, &o.err};
    int open = 2;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run.killAfterSeconds);
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            deadline += std::chrono::hours(1);
        }
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::array<char, 4096> buf;
            const ssize_t n = ::read(fds[i].fd, buf.data(), buf.size());
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            sinks[i]->append(buf.data(), static_cast<std::size_t>(n));
            if (i == 1 && run.onStderr)
                run.onStderr(pid, o.err);
        }
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

// The mapping rows of a test configuration: target, source, options.
using Rules = std::vector<std::array<std::string, 3>>;

const Rules kRules = {{"标题", "文件主名", "无"}, {"内容", "文件内容", "无"}, {"栏目", "父目录名", "无"},
    {"序号", "递进数字", "1┊?┊1┊?┊真"}};

// Writes a configuration as the window would have saved it.
void writeConfig(const std::filesystem::path &path, const Rules &rules, const std::string &database,
    const std::filesystem::path &folder)
{
    MemoryForm form(mainFormSpec());
    form.clearRows();
    for (const auto &r : rules) {
        const int i = form.appendRow();
        for (int c = 0; c < 3; ++c)
            form.setCell(i, c, r[static_cast<std::size_t>(c)]);
    }
    form.control("编辑框库名")->setText(database);
    form.control("编辑框表名")->setText("文章");
    form.control("编辑框文章目录")->setText(folder.string());
    form.control("选择框遍历子目录")->setChecked(true);
    SettingsStore store;
    store.open(path);
    saveMainConfig(store, form);
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

class CliTest : public test::SandboxDatabase {
protected:
    void SetUp() override
    {
        SandboxDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::filesystem::create_directories(dir.file("articles/sub"));
        test::writeBytes(dir.file("articles/a.txt"), toGb18030("甲文章 x'y"));
        test::writeBytes(dir.file("articles/sub/b.txt"), "\xEF\xBB\xBF乙文章 C:\\new");
        writeConfig(dir.file("config.ini"), kRules, name, dir.file("articles"));
    }

    std::vector<std::string> with(std::vector<std::string> args, const std::string &config = "config.ini")
    {
        for (const std::string &a : {std::string("--config"), dir.file(config).string(), std::string("--server"),
                 settings.server, std::string("--user"), settings.user, std::string("--password"), settings.password})
            args.push_back(a);
        return args;
    }

    std::string counterCell()
    {
        SettingsStore store;
        store.openReadOnly(dir.file("config.ini"));
        store.setSection("主界面");
        return store.readText("数据配置(4)");
    }

    TempDir dir;
};

TEST(CliUsage, HelpAndMistakes)
{
    TempDir dir;
    const Output help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *part : {"Usage", "用法", "--save-counters", "--timeout SECONDS", "130", "计数器未保存："})
        EXPECT_TRUE(contains(help.out, part)) << part;
    EXPECT_EQ(runCli({"import", "--bogus"}).status, 1);
    EXPECT_EQ(runCli({"frobnicate"}).status, 1);
    EXPECT_EQ(runCli({"preview"}).status, 1);
    EXPECT_EQ(runCli({"import", "--encoding", "9"}).status, 1);
    const Output noServer = runCli({"import", "--server", "127.0.0.1:1", "--database", "d"});
    EXPECT_EQ(noServer.status, 1);
    EXPECT_TRUE(contains(noServer.err, "连接到MySQL失败"));

    // A timeout that is no positive whole number of seconds: one line, exit 2.
    for (const char *bad : {"0", "-5", "abc", "1.5", "", "2147484", "99999999999999999999"}) {
        const Output o = runCli({"import", "--timeout", bad, "--server", "127.0.0.1:1"});
        EXPECT_EQ(o.status, 2) << bad;
        EXPECT_EQ(o.err,
            std::string("varnel-cli: --timeout takes a whole number of seconds from 1 to 2147483, not \"") + bad
                + "\"\n");
    }
    EXPECT_EQ(runCli({"import", "--timeout", "2147483", "--server", "127.0.0.1:1", "--database", "d"}).status, 1);
}

// A configuration given with --config is read as it is or refused, before any
// connection: never replaced by the defaults.
TEST(CliConfig, RefusedWhenItCannotBeRead)
{
    TempDir dir;
    writeConfig(dir.file("good.ini"), kRules, "d", dir.path());
    const std::string good = test::readBytes(dir.file("good.ini"));
    ASSERT_TRUE(contains(good, toGb18030("[主界面]")));

    test::writeBytes(dir.file("other.ini"), toGb18030("[新建表]\r\n字段数=0\r\n"));
    test::writeBytes(
        dir.file("utf16.ini"), "\xFF\xFE" + convertCharset(fromGb18030(good), kCharsetUtf8, kCharsetUtf16LE));
    test::writeBytes(dir.file("utf8.ini"), fromGb18030(good));
    std::mt19937 engine(7);
    std::string noise(4096, '\0');
    for (char &c : noise)
        c = static_cast<char>(engine() & 0xFF);
    test::writeBytes(dir.file("noise.ini"), noise);
    noise.erase(std::remove(noise.begin(), noise.end(), '\0'), noise.end());
    test::writeBytes(dir.file("noise-no-nul.ini"), noise);
    test::writeBytes(dir.file("empty.ini"), "");
    std::filesystem::create_directory(dir.file("folder.ini"));

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"other.ini", "it has no section [主界面]"},
        {"utf16.ini", "it is UTF-16 text"},
        {"utf8.ini", "it is UTF-8 text"},
        {"noise.ini", "it holds a NUL byte on line"},
        {"noise-no-nul.ini", "it is not GBK text: invalid bytes on line"},
        {"empty.ini", "it is empty"},
        {"folder.ini", "Is a directory"},
        {"missing.ini", "No such file or directory"},
    };
    for (const auto &[file, problem] : cases) {
        const std::string path = dir.file(file).string();
        const Output o = runCli({"import", "--config", path, "--database", "d", "--table", "t", "--server",
            "127.0.0.1:1", dir.file("good.ini").string()});
        EXPECT_EQ(o.status, 2) << file << "\n" << o.err;
        EXPECT_TRUE(o.err.starts_with("cannot read the configuration " + path + ": " + problem)) << o.err;
        EXPECT_EQ(o.out, "") << file;
    }
    // The same file, readable, gets as far as the connection.
    const Output o = runCli({"import", "--config", dir.file("good.ini").string(), "--server", "127.0.0.1:1"});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_TRUE(contains(o.err, "连接到MySQL失败")) << o.err;
}

// A file the import would skip shows why instead of values, and the preview
// ends as that import would.
TEST(CliPreview, FileThatCannotBeReadShowsWhy)
{
    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    test::writeBytes(dir.file("a.txt"), "甲");
    const std::string missing = dir.file("missing.txt").string();
    const Output o = runCli({"preview", "--json", "--config", dir.file("c.ini").string(), missing});
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_TRUE(o.out.starts_with("{\"file\": \"" + missing + "\", \"encoding\": ")) << o.out;
    EXPECT_TRUE(contains(o.out, "\"values\": [], \"error\": \"")) << o.out;
    const Output text = runCli({"preview", "--config", dir.file("c.ini").string(), missing});
    EXPECT_EQ(text.status, 3);
    EXPECT_TRUE(contains(text.out, "\n  not imported: ")) << text.out;
    EXPECT_EQ(runCli({"preview", "--config", dir.file("c.ini").string(), dir.file("a.txt").string()}).status, 0);
}

// What a run said and the exit status it gives, whatever the engine reported.
TEST(CliProgress, OneLineWithCountRateTimeLeftAndFile)
{
    using namespace std::chrono_literals;
    ProgressEvent e{TransferKind::Import, RunPhase::Transferring, 250, 1000, "第三篇"};
    EXPECT_EQ(cli::progressLine(e, 10s), "250/1000 (25%) 25 篇/秒 剩余 0:30 已导入 第三篇");
    e.done = 1000;
    EXPECT_EQ(cli::progressLine(e, 125s), "1000/1000 (100%) 8 篇/秒 已导入 第三篇");
    // Before any rate can be told, and before the first file.
    EXPECT_EQ(cli::progressLine({TransferKind::Export, RunPhase::Transferring, 0, 0, {}}, 0s), "0/0 已导出");
    EXPECT_EQ(cli::progressLine({TransferKind::Import, RunPhase::Listing, 0, 0, {}}, 0s), "正在读取文章列表..");

    // Not on a terminal: at most a line a second, however many files.
    char *text = nullptr;
    std::size_t size = 0;
    std::FILE *memory = ::open_memstream(&text, &size);
    std::FILE *saved = stderr;
    stderr = memory;
    {
        cli::CliHost host(false);
        host.progress(nullptr, {TransferKind::Import, RunPhase::Starting, 0, 5000, {}});
        for (int i = 1; i <= 5000; ++i)
            host.progress(nullptr, {TransferKind::Import, RunPhase::Transferring, i, 5000, "f"});
    }
    stderr = saved;
    std::fclose(memory);
    const std::string printed(text, size);
    std::free(text);
    EXPECT_LE(std::count(printed.begin(), printed.end(), '\n'), 4) << printed;
    EXPECT_TRUE(contains(printed, "5000/5000 (100%)")) << "the last line always comes";
}

TEST(CliReport, EveryListUnderItsHeadingAndTheExitStatus)
{
    struct Printed {
        int status;
        std::string out, err;
    };
    auto print = [](const std::function<void(cli::CliHost &)> &run, const TransferResult &result) {
        cli::CliHost host(false);
        run(host);
        char *outText = nullptr, *errText = nullptr;
        std::size_t outSize = 0, errSize = 0;
        std::FILE *out = ::open_memstream(&outText, &outSize);
        std::FILE *err = ::open_memstream(&errText, &errSize);
        Printed p;
        p.status = host.finish(result, out, err);
        std::fclose(out);
        std::fclose(err);
        p.out.assign(outText, outSize);
        p.err.assign(errText, errSize);
        std::free(outText);
        std::free(errText);
        return p;
    };

    // Failed files and files of unknown outcome: both lists, in order.
    TransferResult completed;
    completed.outcome = TransferOutcome::Completed;
    completed.failures = {{"/a.txt", "Data too long"}};
    completed.unknown = {{"/b.txt", "Lost connection"}, {"/c.txt", "Lost connection"}};
    Printed p = print(
        [&](cli::CliHost &host) {
            static_cast<MessageHost &>(host).showMessage("导入完成，已导入 3 篇文章，当前表有 3 条记录！");
            host.reportFailures("未能导入的文件", completed.failures);
            host.reportFailures("未确认是否已导入的文件", completed.unknown);
        },
        completed);
    EXPECT_EQ(p.status, 3);
    EXPECT_EQ(p.out, "导入完成，已导入 3 篇文章，当前表有 3 条记录！\n");
    EXPECT_EQ(p.err,
        "未能导入的文件 (1):\n  /a.txt: Data too long\n"
        "未确认是否已导入的文件 (2):\n  /b.txt: Lost connection\n  /c.txt: Lost connection\n");

    // Only files of unknown outcome: not a clean run either.
    TransferResult unknownOnly;
    unknownOnly.outcome = TransferOutcome::Completed;
    unknownOnly.unknown = completed.unknown;
    p = print(
        [&](cli::CliHost &host) { host.reportFailures("未确认是否已导入的文件", unknownOnly.unknown); }, unknownOnly);
    EXPECT_EQ(p.status, 3);

    // Interrupted by a fetch error: the final message on stdout, the reason
    // below it on stderr, exit 1.
    TransferResult interrupted;
    interrupted.outcome = TransferOutcome::Interrupted;
    interrupted.detail = "Lost connection to server during query";
    p = print(
        [&](cli::CliHost &host) {
            static_cast<MessageHost &>(host).showMessage(
                "导出中断，已导出 7 篇文章：Lost connection to server during query");
            host.showDetail(interrupted.detail);
        },
        interrupted);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.out, "导出中断，已导出 7 篇文章：Lost connection to server during query\n");
    EXPECT_EQ(p.err, "Lost connection to server during query\n");

    // A message that ended the run before it began, and the server's reason
    // on the next line.
    p = print(
        [&](cli::CliHost &host) {
            static_cast<MessageHost &>(host).showMessage("表不存在且自动创建失败：t");
            host.showDetail("Incorrect table name 't '");
        },
        TransferResult::ended(TransferOutcome::Invalid));
    EXPECT_EQ(p.status, 2);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, "表不存在且自动创建失败：t\nIncorrect table name 't '\n");

    // A run that a stop request ended.
    TransferResult stopped;
    stopped.outcome = TransferOutcome::Completed;
    stopped.stopped = true;
    EXPECT_EQ(print([](cli::CliHost &) {}, stopped).status, 130);
}

TEST_F(CliTest, ImportPreviewExportAndExitCodes)
{
    // preview shows what import then stores.
    const Output preview = runCli(with({"preview", "--json", dir.file("articles/a.txt").string()}));
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(preview.out,
        "{\"file\": \"" + dir.file("articles/a.txt").string()
            + "\", \"encoding\": 1, \"values\": [[\"标题\", \"文件主名\", \"a\"], [\"内容\", "
              "\"文件内容\", \"甲文章 x'y\"], [\"栏目\", \"父目录名\", \"articles\"], [\"序号\", "
              "\"递进数字\", \"1\"]]}\n");

    const Output imported = runCli(with({"import", "--timeout", "30"}));
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "导入完成，已导入 2 篇文章，当前表有 2 条记录！\n");
    EXPECT_TRUE(contains(imported.err, "2/2 (100%)")) << imported.err;
    EXPECT_TRUE(contains(imported.err, "计数器 序号 下次从 3 开始（未保存，使用 --save-counters 保存）"));
    EXPECT_EQ(column("select concat(`标题`,'|',`内容`,'|',`栏目`,'|',`序号`) from `文章` order by ID"),
        (std::vector<std::string>{"a|甲文章 x'y|articles|1", "b|乙文章 C:\\new|sub|2"}));
    EXPECT_FALSE(contains(runCli(with({"import", "--clear", "--quiet"})).err, "2/2"));

    // Without --save-counters the configuration is left as it was.
    const std::string before = test::readBytes(dir.file("config.ini"));
    EXPECT_EQ(runCli(with({"import", "--clear", dir.file("articles/a.txt").string()})).status, 0);
    EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);
    const Output saved = runCli(with({"import", "--clear", "--save-counters", dir.file("articles/a.txt").string()}));
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(contains(saved.err, "计数器 序号 下次从 2 开始（已保存）"));
    EXPECT_EQ(counterCell(), "2┊?┊1┊?┊真");

    // Validation: exit 2, the message on stderr.
    const Output invalid = runCli(with({"import", "--database", ""}));
    EXPECT_EQ(invalid.status, 2);
    EXPECT_TRUE(invalid.err.ends_with("请输入库名！\n")) << invalid.err;
    EXPECT_EQ(invalid.out, "");

    ASSERT_TRUE(db.execute("alter table `文章` modify `内容` text not null"));
    const Output refused = runCli(with({"import", "--set", "选择框同步=假", dir.file("articles/a.txt").string()}));
    EXPECT_EQ(refused.status, 0) << refused.err;

    // Some files refused: exit 3 and the list.
    ASSERT_TRUE(db.execute("alter table `文章` drop column `栏目`"));
    const Output failing = runCli(with({"import", dir.file("articles/a.txt").string()}));
    EXPECT_EQ(failing.status, 3);
    EXPECT_TRUE(contains(failing.err, "未能导入的文件 (1):\n")) << failing.err;
    EXPECT_TRUE(contains(failing.err, "Unknown column")) << failing.err;
    EXPECT_TRUE(contains(failing.out, "已导入 0 篇文章"));

    // Export: exit 0, files written.
    const Output exported = runCli(with({"export", "--folder", dir.file("out").string(), "--encoding", "2"}));
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(contains(exported.out, "导出完成，已导出"));
    EXPECT_EQ(test::readBytes(dir.file("out/a.html")), "\xEF\xBB\xBF甲文章 x'y");
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/a (2).html"))); // same name, not overwritten
}

// Ctrl-C and SIGTERM act as the stop button: the statement in flight
// completes, the final message tells what is in the table, exit 130.
TEST_F(CliTest, StopSignalsEndTheRunWithTheFinalMessage)
{
    constexpr int kFiles = 4000;
    std::filesystem::create_directories(dir.file("many"));
    for (int i = 0; i < kFiles; ++i)
        test::writeBytes(dir.file("many/" + std::to_string(i) + ".txt"), "文章 " + std::to_string(i));

    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        bool sent = false;
        RunOptions run;
        run.onStderr = [&](pid_t pid, const std::string &err) {
            if (!sent && contains(err, " 已导入 ")) {
                ::kill(pid, signal);
                sent = true;
            }
        };
        // Batches for SIGINT, one statement per file for SIGTERM.
        const Output o = runCli(with({"import", "--clear", "--folder", dir.file("many").string(), "--batch",
                                    signal == SIGINT ? "500" : "1"}),
            run);
        ASSERT_TRUE(sent);
        EXPECT_EQ(o.status, 130) << o.err;
        const std::vector<std::string> count = column("select count(*) from `文章`");
        ASSERT_EQ(count.size(), 1u);
        const int rows = std::stoi(count[0]);
        EXPECT_LT(rows, kFiles); // it did stop
        EXPECT_EQ(o.out, "导入完成，已导入 " + count[0] + " 篇文章，当前表有 " + count[0] + " 条记录！\n");
        // Every stored row took its number, and the counter goes on after
        // the last one.
        EXPECT_EQ(column("select count(distinct `序号`) from `文章` where `序号` between 1 and " + count[0]),
            std::vector<std::string>{count[0]});
        EXPECT_TRUE(contains(o.err, "计数器 序号 下次从 " + std::to_string(rows + 1) + " 开始")) << o.err;
    }
}

// What the server says when it ends a run, and a server that does not answer.
TEST_F(CliTest, ServerReasonsAndTimeout)
{
    const std::string a = dir.file("articles/a.txt").string();
    const Output badName = runCli(with({"import", "--table", "t ", a}));
    EXPECT_EQ(badName.status, 2);
    EXPECT_TRUE(badName.err.ends_with("表不存在且自动创建失败：t \nIncorrect table name 't '\n")) << badName.err;

    // A table locked by another session holds the insert: --timeout ends the
    // wait, and the file whose statement was in flight is listed as of
    // unknown outcome.
    ASSERT_EQ(runCli(with({"import", a})).status, 0);
    ASSERT_TRUE(db.execute("lock tables `文章` write"));
    RunOptions run;
    run.killAfterSeconds = 60;
    const auto started = std::chrono::steady_clock::now();
    const Output held = runCli(with({"import", "--timeout", "1", "--batch", "1", a}), run);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(db.execute("unlock tables"));
    EXPECT_EQ(held.status, 3) << held.err;
    EXPECT_LT(took, std::chrono::seconds(30));
    EXPECT_TRUE(contains(held.err, "未确认是否已导入的文件 (1):\n  " + a + ": ")) << held.err;
}

TEST_F(CliTest, ConfigurationWithLineFeedsReadsAsWithCrLf)
{
    const std::string crlf = test::readBytes(dir.file("config.ini"));
    test::writeBytes(dir.file("lf.ini"), replaceAll(crlf, "\r\n", "\n"));
    const Output o = runCli(with({"import", dir.file("articles/a.txt").string()}, "lf.ini"));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(
        column("select concat(`标题`,'|',`栏目`,'|',`序号`) from `文章`"), std::vector<std::string>{"a|articles|1"});

    // Its counters are not edited in place: said so, exit 4, file untouched.
    const std::string lf = test::readBytes(dir.file("lf.ini"));
    const Output save = runCli(with({"import", "--save-counters", dir.file("articles/a.txt").string()}, "lf.ini"));
    EXPECT_EQ(save.status, 4) << save.err;
    EXPECT_TRUE(contains(save.err, "计数器 序号 下次从 2 开始\n计数器未保存：the configuration has LF line ends"))
        << save.err;
    EXPECT_FALSE(contains(save.err, "（已保存）"));
    EXPECT_EQ(test::readBytes(dir.file("lf.ini")), lf);
}

TEST_F(CliTest, SaveCountersOnAReadOnlyConfiguration)
{
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(dir.file("config.ini"), std::filesystem::perms(0444));
    const std::string before = test::readBytes(dir.file("config.ini"));
    RunOptions run;
    if (::geteuid() == 0) {
        // Root writes read-only files: run as nobody.
        run.inChild = [] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(126);
        };
    }
    const Output o = runCli(with({"import", "--save-counters", dir.file("articles/a.txt").string()}), run);
    EXPECT_EQ(o.status, 4) << o.err;
    EXPECT_EQ(o.out, "导入完成，已导入 1 篇文章，当前表有 1 条记录！\n");
    EXPECT_TRUE(contains(o.err, "计数器 序号 下次从 2 开始\n计数器未保存：Permission denied\n")) << o.err;
    EXPECT_FALSE(contains(o.err, "（已保存）"));
    EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);

    // Held by another instance: not saved either, and said why.
    std::filesystem::permissions(dir.file("config.ini"), std::filesystem::perms(0644));
    SettingsStore holder;
    ASSERT_TRUE(holder.open(dir.file("config.ini")));
    const Output held = runCli(with({"import", "--save-counters", dir.file("articles/a.txt").string()}));
    EXPECT_EQ(held.status, 4) << held.err;
    EXPECT_TRUE(contains(held.err, "计数器未保存：the configuration is in use by another instance")) << held.err;
    EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);
}

TEST_F(CliTest, CountersAtThe64BitEdge)
{
    const std::string a = dir.file("articles/a.txt").string(), b = dir.file("articles/sub/b.txt").string();
    Rules rules = kRules;

    // The largest values are exact, and the saved start is the exact next one.
    rules[3][2] = "9223372036854775806┊?┊1┊?┊真";
    writeConfig(dir.file("config.ini"), rules, name, dir.file("articles"));
    const Output top = runCli(with({"import", "--save-counters", a, b}));
    ASSERT_EQ(top.status, 0) << top.err;
    EXPECT_EQ(column("select `序号` from `文章` order by ID"),
        (std::vector<std::string>{"9223372036854775806", "9223372036854775807"}));
    EXPECT_EQ(counterCell(), "9223372036854775808┊?┊1┊?┊真");

    // That start lies beyond 64 bits: the next run refuses it by name
    // instead of counting from another number.
    const Output beyond = runCli(with({"import", a}));
    EXPECT_EQ(beyond.status, 2);
    EXPECT_EQ(beyond.err,
        "字段 序号 的起始值必须是 -9223372036854775808 到 9223372036854775807 之间的整数：9223372036854775808\n");
    EXPECT_EQ(beyond.out, "");
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});

    // Three files from the second largest value would pass the top.
    rules[3][2] = "9223372036854775806┊?┊1┊?┊真";
    writeConfig(dir.file("config.ini"), rules, name, dir.file("articles"));
    const Output over = runCli(with({"import", a, b, a}));
    EXPECT_EQ(over.status, 2);
    EXPECT_EQ(over.err,
        "字段 序号 的递进数字从 9223372036854775806 起每次加 1，3 篇文章会超出 -9223372036854775808 到 "
        "9223372036854775807！\n");
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});

    // Not a whole number: refused, in preview too.
    rules[3][2] = "1e30┊?┊1┊?┊真";
    writeConfig(dir.file("config.ini"), rules, name, dir.file("articles"));
    for (const char *command : {"import", "preview"}) {
        const Output o = runCli(with({command, a}));
        EXPECT_EQ(o.status, 2) << command;
        EXPECT_EQ(o.err, "字段 序号 的起始值必须是 -9223372036854775808 到 9223372036854775807 之间的整数：1e30\n");
    }
}

} // namespace
} // namespace varnel
