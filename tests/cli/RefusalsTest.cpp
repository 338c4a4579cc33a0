// What varnel-cli refuses at once, before it reads or connects: a server
// field that is no list of servers, files that are no regular files, an
// option file with a password that others may read, an empty --ssl-mode.
#include "CliRun.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;

class CliRefusalsTest : public test::ConfiguredDatabase {
protected:
    CliRefusalsTest()
        : ConfiguredDatabase("articles")
    {
    }
    void SetUp() override
    {
        ConfiguredDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100), "
                               "`内容` text) character set utf8mb4"));
        test::writeBytes(dir.file("articles/a.txt"), "甲");
    }
    // An import of the test's configuration into the sandbox, the options
    // given after the login; no option file unless one is given.
    Output importWith(const std::vector<std::string> &options)
    {
        std::vector<std::string> args = {"import", "--config", dir.file("config.ini").string(), "--quiet", "--server",
            settings.server, "--user", settings.user, "--password", settings.password};
        args.insert(args.end(), options.begin(), options.end());
        if (std::find(options.begin(), options.end(), "--defaults-file") == options.end())
            args.push_back("--no-defaults");
        return runCli(args);
    }
    std::int64_t rows() { return std::stoll(column("select count(*) from `文章`").at(0)); }
};

TEST_F(CliRefusalsTest, AServerFieldThatIsNoListIsRefusedBeforeConnecting)
{
    for (const std::string &field : std::vector<std::string>{",,,", "127.0.0.1:3560;127.0.0.1:3569",
             settings.server + ",", " , " + settings.server, settings.server + " " + settings.server}) {
        Output run = importWith({"--server", field});
        EXPECT_EQ(run.status, 2) << field << "\n" << run.err;
        EXPECT_TRUE(contains(run.err, "服务器地址无效：")) << run.err;
        EXPECT_EQ(run.out, "") << field;
        // The same field from the configuration, as the window saved it.
        run = importWith({"--set", "编辑框服务器=" + field});
        EXPECT_EQ(run.status, 2) << field << "\n" << run.err;
    }
    EXPECT_EQ(importWith({"--server", "127.0.0.1:3560;127.0.0.1:3569"}).err,
        "服务器地址无效：127.0.0.1:3560;127.0.0.1:3569\n");
    EXPECT_EQ(rows(), 0);
    // Blanks around the entries of a good list are no mistake.
    const Output run = importWith({"--server", " 127.0.0.1:1 , " + settings.server + " "});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 1);
}

TEST_F(CliRefusalsTest, AnEmptySslModeIsRefusedAndNoOptionFileIsBlamedWhenNoneWasRead)
{
    for (const std::vector<std::string> &empty :
        {std::vector<std::string>{"--ssl-mode", ""}, std::vector<std::string>{"--ssl-mode="}}) {
        const Output run = importWith(empty);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err,
            "varnel-cli: --ssl-mode takes DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY, not \"\"\n");
    }
    // A CA with a mode that does not encrypt is left unused.
    const Output run = importWith({"--ssl-mode", "DISABLED", "--ssl-ca", dir.file("no-ca.pem").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(contains(run.err, "选项文件")) << run.err;
    EXPECT_EQ(rows(), 1);
}

// A refusal over encryption is followed by what to check of it; another
// refusal is not.
TEST_F(CliRefusalsTest, AnEncryptionRefusalIsFollowedByAdviceOnEncryption)
{
    const char *user = std::getenv("VARNEL_DB_TLS_USER");
    const char *password = std::getenv("VARNEL_DB_TLS_PASSWORD");
    const char *otherCa = std::getenv("VARNEL_DB_SSL_OTHER_CA");
    if (!user || !password || !otherCa) {
        if (test::inCi())
            FAIL() << "no TLS account in the sandbox";
        GTEST_SKIP() << "no TLS account in the sandbox";
    }
    Output run =
        importWith({"--user", user, "--password", password, "--ssl-mode", "VERIFY_IDENTITY", "--ssl-ca", otherCa});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(contains(run.err, "连接到MySQL失败：加密连接失败（")) << run.err;
    EXPECT_TRUE(contains(run.err, "\n请检查加密连接的设置：\n")) << run.err;
    EXPECT_TRUE(contains(run.err, "have_ssl")) << run.err;
    EXPECT_TRUE(contains(run.err, "所给的 CA 证书（" + std::string(otherCa) + "）")) << run.err;
    EXPECT_TRUE(contains(run.err, "主机名（127.0.0.1）")) << run.err;
    EXPECT_FALSE(contains(run.err, "客户端选项文件")) << run.err;

    run = importWith({"--password", "wrong"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(contains(run.err, "用户名或密码不对（Access denied")) << run.err;
    EXPECT_FALSE(contains(run.err, "have_ssl")) << run.err;
    EXPECT_EQ(rows(), 0);
}

} // namespace
} // namespace varnel
