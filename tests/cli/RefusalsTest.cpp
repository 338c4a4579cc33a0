// What varnel-cli refuses at once, before it reads or connects: a server
// field that is no list of servers, files that are no regular files, an
// option file with a password that others may read, an empty --ssl-mode.
#include "CliRun.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace varnel {
namespace {

using test::contains;
using test::Output;
using test::runCli;

class CliRefusalsTest : public test::OneArticleDatabase {
protected:
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

// A FIFO where a file is to be read is refused at once, naming it, before
// anything is read or connected: none of these runs waits for a writer.
TEST_F(CliRefusalsTest, FifosToReadAreRefusedAtOnce)
{
    const std::string fifo = dir.file("fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    test::RunOptions quick;
    quick.killAfterSeconds = 20;
    const std::string config = dir.file("config.ini").string();
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"import", "--config", fifo},
             {"import", "--config", config, "--password-file", fifo},
             {"import", "--config", config, "--defaults-file", fifo},
             {"import", "--config", config, "--retry", fifo},
             {"export", "--config", config, "--defaults-file", fifo},
             {"watch", "--config", config, "--password-file", fifo},
         }) {
        const Output run = runCli(args, quick);
        EXPECT_EQ(run.status, 2) << args[3] << "\n" << run.err;
        EXPECT_EQ(run.err, "不是普通文件：" + fifo + "\n") << args[3];
        EXPECT_EQ(run.out, "");
    }
    // Through a symbolic link as well.
    const std::string link = dir.file("link").string();
    ASSERT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);
    Output run = runCli({"import", "--config", config, "--password-file", link}, quick);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err, "不是普通文件：" + link + "\n");

    // A FIFO that an option file includes, which the client library would
    // read itself.
    const std::string options = dir.file("client.cnf").string();
    test::writeBytes(options, "[client]\nconnect-timeout=3\n!include " + fifo + "\n");
    ::chmod(options.c_str(), 0600);
    run = runCli({"import", "--config", config, "--defaults-file", options}, quick);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err, "不是普通文件：" + fifo + "\n");

    // The program's own settings file, without --config.
    const test::InstalledCli installed(dir.path());
    ASSERT_EQ(::mkfifo(installed.settingsFile.c_str(), 0600), 0);
    test::RunOptions quickInstalled = installed.run;
    quickInstalled.killAfterSeconds = quick.killAfterSeconds;
    run = runCli({"preview", dir.file("articles/a.txt").string()}, quickInstalled);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err, "不是普通文件：" + installed.settingsFile.string() + "\n");
#if VARNEL_HAVE_GUI
    // So is the window's.
    test::RunOptions window = quick;
    window.program = VARNEL_GUI_PATH;
    window.inChild = [] { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); };
    run = runCli({"--settings", fifo}, window);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(contains(run.err, "varnel: 不是普通文件：" + fifo + "\n")) << run.err;
#endif
    EXPECT_EQ(rows(), 0);
}

// An option file that holds a password must be private, as a password
// file must; one without a password may be read by others.
TEST_F(CliRefusalsTest, OptionFilesWithAPasswordMustBePrivate)
{
    const auto optionFile = [&](const std::string &fileName, const std::string &text, mode_t mode) {
        const std::string path = dir.file(fileName).string();
        test::writeBytes(path, text);
        ::chmod(path.c_str(), mode);
        return path;
    };
    const std::string withPassword = "[client]\npassword = " + settings.password + "\n";
    const std::string path = optionFile("secret.cnf", withPassword, 0644);
    Output run = importWith({"--password=", "--defaults-file", path});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(
        run.err, "选项文件 " + path + " 含有密码，权限是 0644，其他用户可以读取；请执行 chmod 600 " + path + "\n");
    EXPECT_FALSE(contains(run.out + run.err, settings.password));
    EXPECT_EQ(rows(), 0);

    // Private, it is used; without a password, 0644 is fine.
    run = importWith({"--password=", "--defaults-file", optionFile("secret.cnf", withPassword, 0600)});
    EXPECT_EQ(run.status, 0) << run.err;
    run = importWith({"--defaults-file", optionFile("plain.cnf", "[client]\nconnect-timeout=3\npassword=\n", 0644)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows(), 2);
}

// --report writes a regular file or makes one; a link is followed to its
// file, which is replaced, not the link. A FIFO, a folder or a device there
// is refused before the run, and stays as it was.
TEST_F(CliRefusalsTest, AReportReplacesOnlyARegularFile)
{
    const std::filesystem::path elsewhere = dir.file("elsewhere");
    std::filesystem::create_directories(elsewhere);
    const std::string fifo = dir.file("report.fifo").string(), folder = dir.file("report.d").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(folder);
    const std::string toFifo = dir.file("to-fifo").string();
    ASSERT_EQ(::symlink(fifo.c_str(), toFifo.c_str()), 0);
    const std::string loop = dir.file("loop").string();
    ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
    const std::pair<std::string, std::string> refusals[] = {
        {fifo, "不是普通文件：" + fifo},
        {folder, "是一个目录"},
        {toFifo, "不是普通文件：" + fifo},
        {loop, "符号连接的层数过多"},
    };
    for (const auto &[path, problem] : refusals) {
        const Output run = importWith({"--report", path});
        EXPECT_EQ(run.status, 2) << path << "\n" << run.err;
        EXPECT_EQ(run.err, "运行报告未写入：" + path + "：" + problem + "\n");
    }
    EXPECT_EQ(rows(), 0);
    struct stat st { };
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to a file in another folder, and a link (relative) to one not
    // there yet.
    const std::filesystem::path target = elsewhere / "report.jsonl";
    test::writeBytes(target, "old\n");
    const std::string link = dir.file("report-link").string(), dangling = dir.file("dangling").string();
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink("elsewhere/new.jsonl", dangling.c_str()), 0);
    for (const std::string &path : {link, dangling}) {
        const Output run = importWith({"--report", path});
        EXPECT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << path;
    }
    EXPECT_TRUE(contains(test::readBytes(target), "\"summary\":true")) << test::readBytes(target);
    EXPECT_TRUE(contains(test::readBytes(elsewhere / "new.jsonl"), "\"summary\":true"));
    // No temporary file is left in either folder.
    for (const std::filesystem::path &folderOf : {dir.path(), elsewhere}) {
        for (const auto &entry : std::filesystem::directory_iterator(folderOf))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".varnel-")) << entry.path();
    }
    EXPECT_EQ(rows(), 2);
}

// A device node, a stand-in for /dev/full made in the test's own folder
// (mknod needs root).
TEST_F(CliRefusalsTest, AReportOnADeviceIsRefused)
{
    const std::string device = dir.file("full").string();
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod needs root: " << std::strerror(errno);
    const std::string link = dir.file("to-full").string();
    ASSERT_EQ(::symlink(device.c_str(), link.c_str()), 0);
    for (const std::string &path : {device, link}) {
        const Output run = importWith({"--report", path});
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err, "运行报告未写入：" + path + "：不是普通文件：" + device + "\n");
    }
    // Nor is a device read as a password file.
    const Output run = importWith({"--password-file", device});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err, "不是普通文件：" + device + "\n");
    struct stat st { };
    ASSERT_EQ(::stat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(rows(), 0);
}

} // namespace
} // namespace varnel
