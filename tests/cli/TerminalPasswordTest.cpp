// varnel-cli run at a terminal with a login the server refuses for want of a
// password: it asks on the terminal, without echo, once; without a terminal
// the refusal stands. The terminal is a real pseudo-terminal.
#include "CliRun.h"
#include "settings/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace varnel {
namespace {

using test::contains;

constexpr const char *kPrompt = "的密码：";

struct TerminalRun {
    int status = -1; // exit status; -1 when killed or not ended
    std::string screen; // all the terminal showed
};

class CliTerminalPasswordTest : public test::ConfiguredDatabase {
protected:
    CliTerminalPasswordTest()
        : ConfiguredDatabase("articles")
    {
    }
    void SetUp() override
    {
        ConfiguredDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (settings.password.empty())
            GTEST_SKIP() << "the sandbox account has no password";
        ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100), "
                               "`内容` text) character set utf8mb4"));
        test::writeBytes(dir.file("articles/a.txt"), "甲");
    }
    std::vector<std::string> importArgs() const
    {
        return {"import", "--config", dir.file("config.ini").string(), "--server", settings.server, "--user",
            settings.user, "--password=", "--no-defaults", "--quiet"};
    }
    // Runs the import on a pseudo-terminal; once the question is on the
    // screen, `answer` is what it does (type, send a signal).
    TerminalRun atTerminal(const std::function<void(pid_t, int)> &answer)
    {
        const std::vector<std::string> args = importArgs();
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::unsetenv("MYSQL_PWD");
            std::vector<char *> argv;
            std::string program = VARNEL_CLI_PATH;
            argv.push_back(program.data());
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        TerminalRun run;
        if (pid < 0)
            return run;
        bool answered = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                break;
            }
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break; // EIO: the program ended, its side closed
            run.screen.append(buffer, static_cast<std::size_t>(n));
            if (!answered && contains(run.screen, kPrompt)) {
                answered = true;
                answer(pid, master);
            }
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(master);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    static void type(int master, const std::string &text)
    {
        EXPECT_EQ(::write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    std::int64_t rows() { return std::stoll(column("select count(*) from `文章`").at(0)); }
};

TEST_F(CliTerminalPasswordTest, AskedOnceWithoutEchoAndNeverWithoutATerminal)
{
    TerminalRun run = atTerminal([&](pid_t, int master) { type(master, settings.password + "\n"); });
    EXPECT_EQ(run.status, 0) << run.screen;
    EXPECT_TRUE(contains(run.screen, "请输入 " + settings.user + "@" + settings.server + " 的密码：")) << run.screen;
    EXPECT_FALSE(contains(run.screen, settings.password)) << "the typing was echoed";
    EXPECT_EQ(rows(), 1);

    // A wrong answer is not asked for again.
    run = atTerminal([&](pid_t, int master) { type(master, "wrong" + settings.password + "\n"); });
    EXPECT_EQ(run.status, 1) << run.screen;
    EXPECT_EQ(run.screen.find(kPrompt), run.screen.rfind(kPrompt)) << run.screen;
    EXPECT_TRUE(contains(run.screen, "连接到MySQL失败")) << run.screen;
    EXPECT_EQ(rows(), 1);

    // Without a terminal nobody is asked.
    test::RunOptions noTerminal;
    noTerminal.inChild = [] {
        ::unsetenv("MYSQL_PWD");
        ::setsid(); // no terminal of its own, whoever runs the test
        const int none = ::open("/dev/null", O_RDONLY);
        ::dup2(none, STDIN_FILENO);
    };
    const test::Output plain = test::runCli(importArgs(), noTerminal);
    EXPECT_EQ(plain.status, 1);
    EXPECT_FALSE(contains(plain.out + plain.err, kPrompt));
    EXPECT_TRUE(contains(plain.err, "连接到MySQL失败")) << plain.err;
    EXPECT_EQ(rows(), 1);
}

TEST_F(CliTerminalPasswordTest, ASignalWhileAskingEndsTheRun)
{
    std::chrono::steady_clock::time_point signalled;
    const TerminalRun run = atTerminal([&](pid_t pid, int) {
        signalled = std::chrono::steady_clock::now();
        ::kill(pid, SIGINT);
    });
    EXPECT_EQ(run.status, 130) << run.screen;
    // Not left waiting for a line nobody types.
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(10));
    EXPECT_EQ(rows(), 0);
}

// A configuration saved with an empty user and password: the option file
// supplies both, where the design's "root" and "tqmv" were sent before.
TEST_F(CliTerminalPasswordTest, AnEmptyLoginInTheConfigurationComesFromTheOptionFile)
{
    {
        SettingsStore store;
        store.open(dir.file("config.ini"));
        store.setSection("主界面");
        store.writeText("编辑框用户名", "");
        store.writeText("编辑框密码", "");
    }
    const std::string options = dir.file("client.cnf").string();
    test::writeBytes(options, "[client]\nuser=" + settings.user + "\npassword=" + settings.password + "\n");
    ::chmod(options.c_str(), 0600);
    test::RunOptions run;
    run.inChild = [] { ::unsetenv("MYSQL_PWD"); };
    const test::Output out = test::runCli({"import", "--config", dir.file("config.ini").string(), "--server",
                                              settings.server, "--defaults-file", options, "--quiet"},
        run);
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(rows(), 1);
}

} // namespace
} // namespace varnel
