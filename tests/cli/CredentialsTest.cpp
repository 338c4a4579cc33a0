// Where varnel-cli takes its login from besides the configuration: a
// password file, MYSQL_PWD, the client option files; and its encryption
// options. A password is never printed.
#include "CliRun.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;
using test::RunOptions;

class CliCredentialsTest : public test::OneArticleDatabase {
protected:
    // An import with the sandbox's server and user; the password as the
    // test gives it.
    Output import(std::vector<std::string> extra, const std::string &environmentPassword = {})
    {
        std::vector<std::string> args = {"import", "--config", dir.file("config.ini").string(), "--server",
            settings.server, "--user", settings.user, "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        RunOptions run;
        if (!environmentPassword.empty())
            run.inChild = [environmentPassword] { ::setenv("MYSQL_PWD", environmentPassword.c_str(), 1); };
        else
            run.inChild = [] { ::unsetenv("MYSQL_PWD"); };
        return runCli(args, run);
    }
    std::string file(const std::string &fileName, const std::string &text, mode_t mode)
    {
        const std::string path = dir.file(fileName).string();
        test::writeBytes(path, text);
        ::chmod(path.c_str(), mode);
        return path;
    }
};

constexpr const char *kWrong = "Wr0ng-S3cret!";

TEST_F(CliCredentialsTest, PasswordFileEnvironmentAndOptionFile)
{
    // The configuration's password is wrong; each source below wins over it.
    const std::string secret = file("secret", settings.password + "\n", 0600);
    Output run = import({"--password", kWrong, "--password-file", secret});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 1);

    // MYSQL_PWD over the configuration file's password; a --password of
    // the command line over both.
    run = import({}, settings.password);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 2);
    run = import({"--password", kWrong}, settings.password);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(contains(run.out + run.err, kWrong));

    // An option file with the password, and none in the configuration.
    const std::string options = file("client.cnf", "[client]\npassword=" + settings.password + "\n", 0600);
    run = import({"--password=", "--defaults-file", options});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 3);
    // The usual option file of the user, ~/.my.cnf.
    std::filesystem::create_directories(dir.file("home"));
    file("home/.my.cnf", "[client]\npassword=" + settings.password + "\n", 0600);
    RunOptions home;
    home.inChild = [this] {
        ::unsetenv("MYSQL_PWD");
        ::setenv("HOME", dir.file("home").c_str(), 1);
    };
    run = runCli({"import", "--config", dir.file("config.ini").string(), "--server", settings.server, "--user",
                     settings.user, "--password=", "--quiet"},
        home);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 4);
    // Without it (and with no option file at all) the empty password fails.
    run = import({"--password=", "--no-defaults"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "连接到MySQL失败")) << run.err;
    EXPECT_EQ(rows(), 4);
    // A certificate without its key is refused before connecting.
    run = import({"--ssl-cert", secret});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "--ssl-key")) << run.err;
}

TEST_F(CliCredentialsTest, FilesOthersCanReadOrChangeAreRefusedAndNoPasswordIsPrinted)
{
    const std::string report = dir.file("report.jsonl").string();
    // Readable by the group: refused before anything connects.
    const std::string open = file("open-secret", std::string(kWrong) + "\n", 0640);
    Output run = import({"--password-file", open, "--report", report});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "0640")) << run.err;
    EXPECT_TRUE(contains(run.err, "chmod 600")) << run.err;
    EXPECT_FALSE(contains(run.out + run.err, kWrong));

    const std::string shared = file("shared.cnf", "[client]\npassword=x\n", 0666);
    run = import({"--defaults-file", shared});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "其他用户可以修改")) << run.err;
    run = import({"--defaults-file", dir.file("missing.cnf").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "无法读取选项文件")) << run.err;
    run = import({"--defaults-file", shared, "--no-defaults"});
    EXPECT_EQ(run.status, 2);

    // A wrong password from each source: the server refuses, and the
    // password appears nowhere, neither in the output nor in the report.
    const std::string wrongFile = file("wrong-secret", std::string(kWrong) + "\r\n", 0600);
    for (const Output &refused :
        {import({"--password-file", wrongFile, "--report", report}), import({"--report", report}, kWrong),
            import({"--password", kWrong, "--report", report}, settings.password)}) {
        EXPECT_EQ(refused.status, 1) << refused.err;
        EXPECT_TRUE(contains(refused.err, "Access denied")) << refused.err;
        EXPECT_FALSE(contains(refused.out + refused.err, kWrong));
        std::ifstream in(report);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(text.empty());
        EXPECT_FALSE(contains(text, kWrong));
    }
    EXPECT_EQ(rows(), 0);
}

TEST_F(CliCredentialsTest, ServerListAndEncryptionOptions)
{
    // A server that does not answer is passed over.
    Output run = import({"--server", "127.0.0.1:1," + settings.server, "--password", settings.password});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 1);
    run = import({"--server", "127.0.0.1:1,127.0.0.1:2", "--password", settings.password});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "127.0.0.1:1：")) << run.err;
    EXPECT_TRUE(contains(run.err, "127.0.0.1:2：")) << run.err;

    run = import({"--ssl-mode", "SOMETIMES"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "--ssl-mode takes DISABLED")) << run.err;
    // A bad mode in the configuration itself is refused as well.
    run = import({"--set", "编辑框加密方式=SOMETIMES", "--password", settings.password});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "SOMETIMES")) << run.err;
    run = import({"--ssl-mode", "disabled", "--password", settings.password});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 2);
}

// The sandbox's account that requires encryption, from the command line and
// from an option file.
TEST_F(CliCredentialsTest, EncryptedFromTheCommandLineOrAnOptionFile)
{
    auto env = [](const char *n) { return std::string(std::getenv(n) ? std::getenv(n) : ""); };
    const std::string user = env("VARNEL_DB_TLS_USER"), password = env("VARNEL_DB_TLS_PASSWORD"),
                      ca = env("VARNEL_DB_SSL_CA"), otherCa = env("VARNEL_DB_SSL_OTHER_CA");
    if (user.empty() || ca.empty()) {
        if (test::inCi())
            FAIL() << "no TLS account in the sandbox";
        GTEST_SKIP() << "no TLS account in the sandbox";
    }
    Output run = import({"--user", user, "--password", password, "--ssl-mode", "VERIFY_IDENTITY", "--ssl-ca", ca});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 1);
    run = import({"--user", user, "--password", password, "--ssl-mode", "VERIFY_IDENTITY", "--ssl-ca", otherCa});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "连接到MySQL失败：加密连接失败（")) << run.err;
    EXPECT_FALSE(contains(run.out + run.err, password));
    // The CA and the password in an option file; the configuration names
    // the user only.
    const std::string options =
        file("tls.cnf", "[client]\npassword=" + password + "\nssl-ca=" + ca + "\nssl-verify-server-cert\n", 0600);
    run = import({"--user", user, "--password=", "--defaults-file", options});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 2);
    // Without encryption the account refuses.
    run = import({"--user", user, "--password", password, "--no-defaults"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(rows(), 2);
}

} // namespace
} // namespace varnel
