// varnel-cli as a user runs it: a real process, real files, the sandbox
// server.
#include "CliRun.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "cli/PreviewJson.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "text/Charset.h"
#include "text/TextUtil.h"
#include "transfer/RunReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>

namespace varnel {
namespace {

using test::TempDir;

using test::contains;
using test::Output;
using test::Rules;
using test::runCli;
using test::RunOptions;
using test::signalWhenImporting;
using test::writeConfig;

const Rules kRules = {{"标题", "文件主名", "无"}, {"内容", "文件内容", "无"}, {"栏目", "父目录名", "无"},
    {"序号", "递进数字", "1┊?┊1┊?┊真"}};

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

    // The folder "many" with this many small articles.
    void manyArticles(int count)
    {
        std::filesystem::create_directories(dir.file("many"));
        for (int i = 0; i < count; ++i)
            test::writeBytes(dir.file("many/" + std::to_string(i) + ".txt"), "文章 " + std::to_string(i));
    }

    std::string counterCell()
    {
        SettingsStore store;
        store.openReadOnly(dir.file("config.ini"));
        store.setSection("主界面");
        return store.readText("数据配置(4)");
    }

    // As the user nobody when the tests run as root (who reads and writes
    // everything); the status kUnreachable when nobody cannot reach the
    // configuration and the article.
    static constexpr int kUnreachable = 120;
    RunOptions asNobody()
    {
        RunOptions run;
        if (::geteuid() == 0) {
            run.inChild = [this] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(126);
                if (::access(dir.file("config.ini").c_str(), R_OK) != 0
                    || ::access(dir.file("articles/a.txt").c_str(), R_OK) != 0)
                    ::_exit(kUnreachable);
            };
        }
        return run;
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
    for (const std::vector<std::string> &asked : {std::vector<std::string>{"help"}, {"import", "-h"},
             {"preview", "--json", "--help"}, {"export", "--server=x", "--help"}}) {
        const Output o = runCli(asked);
        EXPECT_EQ(o.status, 0) << asked.back();
        EXPECT_EQ(o.out, help.out) << asked.back();
    }

    // A mistake in the command line: one line on stderr, nothing on stdout,
    // exit 2.
    const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
        {{"import", "--bogus"}, "unknown option: --bogus (varnel-cli --help lists the options)"},
        {{"import", "--bogus=1", "a.txt"}, "unknown option: --bogus=1 (varnel-cli --help lists the options)"},
        {{"preview", "-x", "a.txt"}, "unknown option: -x (varnel-cli --help lists the options)"},
        {{"--bogus"}, "unknown option: --bogus (varnel-cli --help lists the options)"},
        {{"frobnicate"}, "unknown command: frobnicate (import, export, preview or watch)"},
        {{}, "no command given: import, export, preview or watch (varnel-cli --help tells more)"},
        {{"preview"}, "preview needs at least one FILE"},
        {{"preview", "--json"}, "preview needs at least one FILE"},
        {{"export", "a.txt"}, "export takes no FILE, not \"a.txt\""},
        {{"import", "--encoding", "9"}, "--encoding takes 0 to 4, not \"9\""},
        {{"import", "--encoding=12"}, "--encoding takes 0 to 4, not \"12\""},
        {{"import", "--config"}, "--config needs a value"},
        {{"import", "a.txt", "--server"}, "--server needs a value"},
        {{"import", "--set", "编辑框库名"}, "--set takes NAME=VALUE, not \"编辑框库名\""},
        {{"import", "--set==x"}, "--set takes NAME=VALUE, not \"=x\""},
        {{"import", "--batch", "0"}, "--batch takes a whole number of rows from 1 to 1000000, not \"0\""},
        {{"import", "--batch=1000001"}, "--batch takes a whole number of rows from 1 to 1000000, not \"1000001\""},
        {{"import", "--batch", "5x"}, "--batch takes a whole number of rows from 1 to 1000000, not \"5x\""},
        {{"import", "--recurse=yes"}, "--recurse takes no value"},
        {{"import", "--quiet=1"}, "--quiet takes no value"},
    };
    for (const auto &[args, line] : mistakes) {
        const Output o = runCli(args);
        EXPECT_EQ(o.status, 2) << line;
        EXPECT_EQ(o.err, "varnel-cli: " + line + "\n");
        EXPECT_EQ(o.out, "");
    }
    // A --set naming no control: the line that says so, exit 2.
    const Output noControl = runCli({"import", "--set", "没有这个控件=1", "--server", "127.0.0.1:1"});
    EXPECT_EQ(noControl.status, 2);
    EXPECT_EQ(std::count(noControl.err.begin(), noControl.err.end(), '\n'), 1) << noControl.err;
    EXPECT_TRUE(contains(noControl.err, "没有这个控件")) << noControl.err;

    const Output noServer = runCli({"import", "--server", "127.0.0.1:1", "--database", "d"});
    EXPECT_EQ(noServer.status, 1);
    EXPECT_TRUE(contains(noServer.err, "连接到MySQL失败"));

    // A timeout that is no positive whole number of seconds: one line, exit 2.
    for (const char *bad : {"0", "-5", "abc", "1.5", "", "2147484", "99999999999999999999"}) {
        for (const bool joined : {false, true}) {
            const Output o = joined ? runCli({"import", std::string("--timeout=") + bad, "--server", "127.0.0.1:1"})
                                    : runCli({"import", "--timeout", bad, "--server", "127.0.0.1:1"});
            EXPECT_EQ(o.status, 2) << bad;
            EXPECT_EQ(o.err,
                std::string("varnel-cli: --timeout takes a whole number of seconds from 1 to 2147483, not \"") + bad
                    + "\"\n");
        }
    }
    EXPECT_EQ(runCli({"import", "--timeout", "2147483", "--server", "127.0.0.1:1", "--database", "d"}).status, 1);
}

// An option a command does not take is refused for it, naming the commands
// that do (the first such option given), whatever its value; --help still
// wins. What every command takes, each takes.
TEST(CliUsage, OptionsOfOtherCommandsRefused)
{
    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    test::writeBytes(dir.file("a.txt"), "正文");
    const std::string config = dir.file("c.ini").string(), a = dir.file("a.txt").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        // The value is the option's, not a FILE preview would read.
        {{"preview", "--key", "标题", a}, "--key is for import and watch"},
        {{"preview", a, "--report=r.jsonl"}, "--report is for import, export and watch"},
        {{"preview", "--timeout", "5", a}, "--timeout is for import, export and watch"},
        {{"preview", "--defaults-file", "my.cnf", a}, "--defaults-file is for import, export and watch"},
        {{"export", "--json"}, "--json is for preview only"},
        {{"export", "--save-counters"}, "--save-counters is for import only"},
        {{"export", "--batch=10"}, "--batch is for import and watch"},
        // It would empty the table before every batch.
        {{"watch", "--clear"}, "--clear is for import only"},
        {{"watch", "--retry", "r.jsonl"}, "--retry is for import only"},
        {{"import", "--new-only"}, "--new-only is for watch only"},
        {{"export", "--quiet", "--json", "--clear"}, "--json is for preview only"},
        {{"export", "--key="}, "--key is for import and watch"},
    };
    for (const auto &[args, line] : refused) {
        const Output o = runCli(args);
        EXPECT_EQ(o.status, 2) << line;
        EXPECT_EQ(o.err, "varnel-cli: " + line + "\n");
        EXPECT_EQ(o.out, "");
    }
    const Output help = runCli({"watch", "--clear", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, runCli({"--help"}).out);

    // Taken by all: the command line is accepted and the run goes as far as
    // the server that is not there (preview needs none).
    const std::vector<std::string> common = {"--config", config, "--recurse", "--random-order", "--set", "编辑框库名=d",
        "--encoding", "1", "--ssl-mode", "DISABLED", "--quiet", "--server", "127.0.0.1:1"};
    for (const char *command : {"import", "export", "watch"}) {
        std::vector<std::string> args = {command, "--timeout", "5", "--no-defaults"};
        args.insert(args.end(), common.begin(), common.end());
        const Output o = runCli(args);
        EXPECT_EQ(o.status, 1) << command << "\n" << o.err;
        EXPECT_TRUE(contains(o.err, "连接到MySQL失败")) << command << "\n" << o.err;
    }
    std::vector<std::string> preview = {"preview", "--json", a};
    preview.insert(preview.end(), common.begin(), common.end());
    const Output o = runCli(preview);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out)["encoding"], 1);
}

// Every option that takes a value takes it as "--option VALUE" or as
// "--option=VALUE", alike, and options and files may come in any order.
TEST(CliUsage, OptionValueInEitherForm)
{
    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    test::writeBytes(dir.file("a.txt"), toGb18030("甲文章"));
    test::writeBytes(dir.file("-b.txt"), "\xEF\xBB\xBF乙");
    const std::string config = dir.file("c.ini").string(), a = dir.file("a.txt").string();

    const Output spaced = runCli(
        {"preview", "--json", "--config", config, "--encoding", "1", "--set", "编辑框库名=其他", a, "--encoding", "2"});
    const Output joined =
        runCli({"preview", "--config=" + config, a, "--encoding=1", "--set=编辑框库名=其他", "--json", "--encoding=2"});
    ASSERT_EQ(spaced.status, 0) << spaced.err;
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.out, spaced.out);
    // The values took effect in the order given: the later --encoding wins.
    const auto line = nlohmann::json::parse(spaced.out);
    EXPECT_EQ(line["encoding"], 2);
    EXPECT_NE(line["values"][1][2], "甲文章"); // GBK bytes read as UTF-8
    EXPECT_EQ(
        nlohmann::json::parse(runCli({"preview", "--json", "--config", config, a}).out)["values"][1][2], "甲文章");

    // A file whose name begins with a dash, after "--".
    const Output dashed = runCli({"preview", "--json", "--config", config, "--", dir.file("-b.txt").string()});
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_EQ(nlohmann::json::parse(dashed.out)["values"][1][2], "乙");
    RunOptions inFolder;
    inFolder.inChild = [&] {
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(126);
    };
    const Output relative = runCli({"preview", "--config", config, "--", "-b.txt"}, inFolder);
    EXPECT_EQ(relative.status, 0) << relative.err;

    // --server=HOST:PORT reaches the connection as --server HOST:PORT does.
    for (const auto &args : {std::vector<std::string>{"import", "--server=127.0.0.1:1", "--database=d"},
             std::vector<std::string>{"import", "--server", "127.0.0.1:1", "--database", "d"}}) {
        const Output o = runCli(args);
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_TRUE(contains(o.err, "连接到MySQL失败")) << o.err;
    }
}

// Text that is not well-formed UTF-8 is written with U+FFFD for each bad
// byte, so every line parses as JSON; a file name with such bytes also comes
// as its raw bytes in hex.
TEST(CliPreview, JsonForAnyFileNameAndContent)
{
    EXPECT_EQ(cli::wellFormedUtf8("ok 甲"), "ok 甲");
    bool replaced = false;
    EXPECT_EQ(cli::wellFormedUtf8("a\xFF\xE7\x94"
                                  "b\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\x80",
                  &replaced),
        "a\uFFFD\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_TRUE(replaced);
    cli::wellFormedUtf8("\xF0\x9F\x98\x80", &replaced);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(cli::hexBytes(std::string("a\xFF\0", 3)), "61ff00");

    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    // A name in GBK bytes (not UTF-8) with a lone 0xFF, quotes, a backslash
    // and control characters; content with bytes that are no text at all.
    const std::string name = toGb18030("文章") + "\xFF \"q\" \\ \t\x01.txt";
    const std::string path = (dir.path() / name).string();
    test::writeBytes(path, "\xEF\xBB\xBF正文\xFF\xFE\x80 \"x\"\x1F\r\n");
    for (const char *encoding : {"0", "1", "2", "3", "4"}) {
        SCOPED_TRACE(encoding);
        const Output o = runCli({"preview", "--json", "--encoding", encoding, "--config", dir.file("c.ini").string(),
            path, dir.file("missing\xFE.txt").string()});
        EXPECT_EQ(o.status, 3) << o.err; // the missing file
        std::vector<nlohmann::json> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = o.out.find('\n', start)) != std::string::npos; start = end + 1)
            ASSERT_NO_THROW(lines.push_back(nlohmann::json::parse(o.out.substr(start, end - start))))
                << o.out.substr(start, end - start);
        EXPECT_EQ(start, o.out.size());
        ASSERT_EQ(lines.size(), 2u) << o.out;

        const nlohmann::json &file = lines[0];
        EXPECT_EQ(file["file"], cli::wellFormedUtf8(path));
        EXPECT_TRUE(file["file"].get<std::string>().ends_with("/\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD \"q\" \\ \t\x01.txt"));
        EXPECT_EQ(file["file_hex"], cli::hexBytes(path));
        EXPECT_FALSE(file.contains("error"));
        ASSERT_EQ(file["values"].size(), 4u);
        // The title is the file's name as the import reads it (GBK bytes
        // as GBK, the lone byte replaced).
        EXPECT_EQ(file["values"][0][2], "文章\uFFFD \"q\" \\ \t\x01");
        for (const auto &value : file["values"])
            EXPECT_TRUE(value[2].is_string());

        const nlohmann::json &missing = lines[1];
        EXPECT_EQ(missing["file_hex"], cli::hexBytes(dir.file("missing\xFE.txt").string()));
        EXPECT_TRUE(missing["file"].get<std::string>().ends_with("/missing\uFFFD.txt"));
        EXPECT_TRUE(missing["error"].is_string());
    }

    // A well-formed name has no hex field.
    test::writeBytes(dir.file("好.txt"), "x");
    const Output plain = runCli({"preview", "--json", "--config", dir.file("c.ini").string(), dir.file("好.txt")});
    EXPECT_EQ(plain.status, 0);
    EXPECT_FALSE(nlohmann::json::parse(plain.out).contains("file_hex")) << plain.out;
}

// Without --config varnel-cli reads the program's settings file: beside
// itself only in its build tree (the marker beside it), in
// $XDG_CONFIG_HOME/varnel anywhere else, and nothing is written beside an
// installed program.
TEST(CliSettings, BuildTreeOrUserConfiguration)
{
    TempDir dir;
    const std::filesystem::path bin = dir.file("prefix/bin"), xdg = dir.file("xdg");
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(xdg / "varnel");
    std::filesystem::copy_file(VARNEL_CLI_PATH, bin / "varnel-cli");
    const std::string settingsName = "Varnel MySQL 文章导入导出.ini";
    writeConfig(bin / settingsName, {{"标题", "文件主名", "无"}}, "d", dir.path());
    writeConfig(xdg / "varnel" / settingsName, {{"内容", "文件内容", "无"}}, "d", dir.path());
    test::writeBytes(dir.file("a.txt"), "正文");

    RunOptions run;
    run.program = (bin / "varnel-cli").string();
    run.inChild = [&] { ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1); };
    auto firstTarget = [&] {
        const Output o = runCli({"preview", "--json", dir.file("a.txt").string()}, run);
        EXPECT_EQ(o.status, 0) << o.err;
        return nlohmann::json::parse(o.out)["values"][0][0].get<std::string>();
    };
    const auto before = std::distance(std::filesystem::directory_iterator(bin), {});
    EXPECT_EQ(firstTarget(), "内容"); // installed: the user's settings
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin), {}), before);

    // The same program with the build tree's marker beside it.
    std::filesystem::copy_file(
        std::filesystem::path(VARNEL_CLI_PATH).parent_path() / "varnel-build-tree", bin / "varnel-build-tree");
    EXPECT_EQ(firstTarget(), "标题");
}

// An install puts the two programs in bin/ and what the desktop, man and
// bash need under share/; the installed varnel-cli and varnel start there.
TEST(CliInstall, InstalledTree)
{
    TempDir dir;
    const std::filesystem::path prefix = dir.file("usr");
    const std::string install = std::string("'") + VARNEL_CMAKE + "' --install '" + VARNEL_BUILD_DIR + "' --prefix '"
        + prefix.string() + "' >'" + dir.file("install.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << test::readBytes(dir.file("install.log"));

    std::vector<std::string> expected = {"bin/varnel-cli", "share/man/man1/varnel-cli.1.gz",
        "share/bash-completion/completions/varnel-cli", "share/doc/varnel/copyright",
        "share/doc/varnel/changelog.Debian.gz"};
    const std::string appId = VARNEL_APP_ID;
    if (VARNEL_HAVE_GUI) {
        for (const std::string path : {"bin/varnel", "share/man/man1/varnel.1.gz",
                 "share/icons/hicolor/scalable/apps/varnel.svg", "share/icons/hicolor/16x16/apps/varnel.png",
                 "share/icons/hicolor/48x48/apps/varnel.png", "share/icons/hicolor/256x256/apps/varnel.png"})
            expected.push_back(path);
        expected.push_back("share/applications/" + appId + ".desktop");
        expected.push_back("share/metainfo/" + appId + ".metainfo.xml");
    }
    for (const std::string &path : expected)
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix / path)) << path;
    EXPECT_FALSE(std::filesystem::exists(prefix / "bin/varnel-build-tree"));
    // A PNG of the size its folder names.
    const std::string png = test::readBytes(prefix / "share/icons/hicolor/48x48/apps/varnel.png");
    if (VARNEL_HAVE_GUI) {
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x30\0\0\0\x30", 8));
    }

    // The desktop entry and the metadata pass their validators.
    if (VARNEL_HAVE_GUI) {
        const std::string desktop = (prefix / "share/applications" / (appId + ".desktop")).string();
        const std::string metainfo = (prefix / "share/metainfo" / (appId + ".metainfo.xml")).string();
        EXPECT_EQ(std::system(("desktop-file-validate '" + desktop + "'").c_str()), 0);
        EXPECT_EQ(std::system(("appstreamcli validate --no-net '" + metainfo + "' >/dev/null").c_str()), 0);
        const std::string entry = test::readBytes(desktop);
        for (const char *line : {"\nExec=varnel %f\n", "\nCategories=Development;Database;Qt;\n",
                 "\nName[zh_CN]=", "\nComment[zh_CN]=", "\nIcon=varnel\n"})
            EXPECT_TRUE(contains(entry, line)) << line;
        EXPECT_FALSE(contains(entry, "MimeType"));
    }

    // The installed programs start, and keep their settings in the user's
    // configuration folder, never in the prefix.
    RunOptions run;
    run.program = (prefix / "bin/varnel-cli").string();
    const std::filesystem::path home = dir.file("home");
    run.inChild = [&] {
        ::unsetenv("XDG_CONFIG_HOME");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    };
    const Output help = runCli({"--help"}, run);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage / 用法:")) << help.out;
    test::writeBytes(dir.file("a.txt"), "x");
    EXPECT_EQ(runCli({"preview", dir.file("a.txt").string()}, run).status, 0);
    if (VARNEL_HAVE_GUI) {
        run.program = (prefix / "bin/varnel").string();
        const Output version = runCli({"--version"}, run);
        EXPECT_EQ(version.status, 0) << version.err;
        EXPECT_TRUE(contains(version.out, VARNEL_VERSION)) << version.out;
    }
    EXPECT_TRUE(std::filesystem::is_directory(home / ".config/varnel"));
    std::vector<std::string> inBin;
    for (const auto &entry : std::filesystem::directory_iterator(prefix / "bin"))
        inBin.push_back(entry.path().filename().string());
    std::sort(inBin.begin(), inBin.end());
    const std::vector<std::string> programs =
        VARNEL_HAVE_GUI ? std::vector<std::string>{"varnel", "varnel-cli"} : std::vector<std::string>{"varnel-cli"};
    EXPECT_EQ(inBin, programs);
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
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0644), 0);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"other.ini", "it has no section [主界面]"},
        {"utf16.ini", "it is UTF-16 text"},
        {"utf8.ini", "it is UTF-8 text"},
        {"noise.ini", "it holds a NUL byte on line"},
        {"noise-no-nul.ini", "it is not GBK text: invalid bytes on line"},
        {"empty.ini", "it is empty"},
        {"folder.ini", "是一个目录"},
        {"missing.ini", "没有那个文件或目录"},
    };
    for (const auto &[file, problem] : cases) {
        const std::string path = dir.file(file).string();
        const Output o = runCli({"import", "--config", path, "--database", "d", "--table", "t", "--server",
            "127.0.0.1:1", dir.file("good.ini").string()});
        EXPECT_EQ(o.status, 2) << file << "\n" << o.err;
        EXPECT_TRUE(o.err.starts_with("cannot read the configuration " + path + ": " + problem)) << o.err;
        EXPECT_EQ(o.out, "") << file;
    }
    // A FIFO is refused at once, not waited on.
    const Output fifo = runCli({"import", "--config", dir.file("fifo.ini").string(), "--server", "127.0.0.1:1"});
    EXPECT_EQ(fifo.status, 2);
    EXPECT_EQ(fifo.err, "不是普通文件：" + dir.file("fifo.ini").string() + "\n");
    // The same file, readable, gets as far as the connection.
    const Output o = runCli({"import", "--config", dir.file("good.ini").string(), "--server", "127.0.0.1:1"});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_TRUE(contains(o.err, "连接到MySQL失败")) << o.err;
}

// A count of mapping rows or a rule that cannot be read refuses the file,
// naming the key: the import would otherwise run on the four default rules.
// So does the program's own settings file, and the window's program given
// such a file.
TEST(CliConfig, RowsThatCannotBeReadAreRefused)
{
    TempDir dir;
    writeConfig(dir.file("good.ini"), kRules, "d", dir.path());
    const std::string good = test::readBytes(dir.file("good.ini"));
    ASSERT_TRUE(contains(good, toGb18030("\r\n字段数=4\r\n")));
    test::writeBytes(dir.file("a.txt"), "正文");
    for (const std::string count : {"-7", "-3", "nan", "inf", "0x10", "七"}) {
        const std::string path = dir.file("bad.ini").string();
        test::writeBytes(
            path, replaceAll(good, toGb18030("\r\n字段数=4\r\n"), toGb18030("\r\n字段数=" + count + "\r\n")));
        for (const char *command : {"import", "preview"}) {
            const Output o = runCli({command, "--config", path, "--server", "127.0.0.1:1", dir.file("a.txt").string()});
            EXPECT_EQ(o.status, 2) << count << " " << command;
            EXPECT_EQ(o.err,
                "cannot read the configuration " + path + ": 字段数 is not a whole number from 0 to 100000: " + count
                    + "\n");
            EXPECT_EQ(o.out, "");
        }
    }
    const std::string path = dir.file("missing-rule.ini").string();
    test::writeBytes(path, replaceAll(good, toGb18030("数据来源(3)=父目录名"), ""));
    const Output o = runCli({"preview", "--config", path, dir.file("a.txt").string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "cannot read the configuration " + path + ": 数据来源(3) is missing\n");

    // The program's own settings file (an installed program's, in
    // $XDG_CONFIG_HOME/varnel): a fresh one runs on the default rules, a
    // damaged one is refused.
    const test::InstalledCli installed(dir.path());
    const std::filesystem::path &settings = installed.settingsFile;
    const RunOptions &run = installed.run;
    test::writeBytes(settings, toGb18030("[主界面]\r\n编辑框库名=d\r\n"));
    const Output fresh = runCli({"preview", "--json", dir.file("a.txt").string()}, run);
    EXPECT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_EQ(nlohmann::json::parse(fresh.out)["values"].size(), 4u);
    test::writeBytes(settings, replaceAll(good, toGb18030("\r\n字段数=4\r\n"), toGb18030("\r\n字段数=-3\r\n")));
    const Output damaged = runCli({"preview", "--json", dir.file("a.txt").string()}, run);
    EXPECT_EQ(damaged.status, 2);
    EXPECT_EQ(damaged.err,
        "cannot read the configuration " + settings.string() + ": 字段数 is not a whole number from 0 to 100000: -3\n");

#if VARNEL_HAVE_GUI
    // varnel FILE.ini loads the file as if dropped on the window: refused
    // before a window opens.
    RunOptions window;
    window.program = VARNEL_GUI_PATH;
    window.killAfterSeconds = 30;
    window.inChild = [] { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); };
    const std::string bad = dir.file("bad.ini").string();
    const Output refused = runCli({"--settings", dir.file("settings.ini").string(), bad}, window);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(contains(refused.err,
        "varnel: cannot read the configuration " + bad + ": 字段数 is not a whole number from 0 to 100000: 七\n"))
        << refused.err;
#endif
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
// A UTF-8 article with a stray byte is previewed as UTF-8, and said to be
// incomplete as the import would list it.
TEST(CliPreview, Utf8WithAStrayByteIsIncomplete)
{
    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "中文内容，第 " + std::to_string(i) + " 句。";
    test::writeBytes(dir.file("a.txt"), text + "\xFF");
    const Output o = runCli({"preview", "--config", dir.file("c.ini").string(), dir.file("a.txt").string()});
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_TRUE(contains(o.out, "(encoding 2)\n  incomplete: invalid UTF-8 bytes, each read as U+FFFD\n")) << o.out;
    EXPECT_TRUE(contains(o.out, text + "\xEF\xBF\xBD\n")) << o.out;
}

// The encoding the preview shows is the one detected, and one it could not
// be sure of is said, as the import would list the file.
TEST(CliPreview, ShowsTheEncodingDetectedAndWhetherItIsCertain)
{
    TempDir dir;
    writeConfig(dir.file("c.ini"), kRules, "d", dir.path());
    test::writeBytes(dir.file("big5.txt"), convertCharset("請確認網路連線", kCharsetUtf8, kCharsetBig5));
    test::writeBytes(dir.file("short.txt"), toGb18030("拷贝"));
    const std::string big5 = dir.file("big5.txt").string(), weak = dir.file("short.txt").string();
    const Output sure = runCli({"preview", "--json", "--config", dir.file("c.ini").string(), big5});
    EXPECT_EQ(sure.status, 0) << sure.err;
    EXPECT_TRUE(sure.out.starts_with("{\"file\": \"" + big5 + "\", \"encoding\": 5, \"values\": ")) << sure.out;
    EXPECT_TRUE(contains(sure.out, "請確認網路連線")) << sure.out;

    const Output json = runCli({"preview", "--json", "--config", dir.file("c.ini").string(), weak});
    EXPECT_EQ(json.status, 3) << json.err;
    EXPECT_TRUE(json.out.starts_with("{\"file\": \"" + weak + "\", \"encoding\": 1, \"encoding_uncertain\": true, "))
        << json.out;
    EXPECT_TRUE(contains(json.out, "\"incomplete\": true}")) << json.out;
    const Output text = runCli({"preview", "--config", dir.file("c.ini").string(), weak});
    EXPECT_EQ(text.status, 3) << text.err;
    EXPECT_TRUE(contains(text.out, "(encoding 1, uncertain)\n  incomplete: encoding not certain, read as GBK\n  "))
        << text.out;
    EXPECT_TRUE(contains(text.out, "拷贝")) << text.out;
}

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

    // A name holding a line break, a tab, a backslash and a byte that is not
    // UTF-8 is one line, escaped.
    TransferResult oddName;
    oddName.outcome = TransferOutcome::Completed;
    oddName.failures = {{"/d/a\n  /forged.txt: fake\tb\\c\xFF.txt", "Data too long"}};
    p = print([&](cli::CliHost &host) { host.reportFailures("未能导入的文件", oddName.failures); }, oddName);
    EXPECT_EQ(p.err, "未能导入的文件 (1):\n  /d/a\\n  /forged.txt: fake\\tb\\\\c\\xFF.txt: Data too long\n");

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

    // The result decides, not the lists the host was shown: a list of files
    // that went in after all (a watch's earlier batch) is no failure.
    TransferResult clean;
    clean.outcome = TransferOutcome::Completed;
    p = print([&](cli::CliHost &host) { host.reportFailures("未能导入的文件", completed.failures); }, clean);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.status, runExitStatus(clean));

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
    EXPECT_TRUE(contains(failing.err, "未知列")) << failing.err;
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
    // Enough that a run outlasts the time the signal takes to arrive.
    constexpr int kFiles = 20000;
    manyArticles(kFiles);

    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        bool sent = false;
        // Batches for SIGINT, one statement per file for SIGTERM.
        const Output o = runCli(with({"import", "--clear", "--folder", dir.file("many").string(), "--batch",
                                    signal == SIGINT ? "500" : "1"}),
            signalWhenImporting(signal, 1, sent));
        ASSERT_TRUE(sent);
        EXPECT_EQ(o.status, 130) << o.err;
        const std::vector<std::string> count = column("select count(*) from `文章`");
        ASSERT_EQ(count.size(), 1u);
        const int rows = std::stoi(count[0]);
        EXPECT_LT(rows, kFiles); // it did stop
        EXPECT_EQ(o.out,
            "导入完成，已导入 " + count[0] + " 篇文章，当前表有 " + count[0] + " 条记录！\r\n已停止，还有 "
                + std::to_string(kFiles - rows) + " 篇未导入\n");
        EXPECT_TRUE(contains(o.err, "运行停止时尚未导入的文件 (" + std::to_string(kFiles - rows) + "):\n")) << o.err;
        // Every stored row took its number, and the counter goes on after
        // the last one.
        EXPECT_EQ(column("select count(distinct `序号`) from `文章` where `序号` between 1 and " + count[0]),
            std::vector<std::string>{count[0]});
        EXPECT_TRUE(contains(o.err, "计数器 序号 下次从 " + std::to_string(rows + 1) + " 开始")) << o.err;
    }
}

// A stop while the run waits to send a statement again after a conflict ends
// it there: the files whose statement was given up are not stored and not in
// doubt, they are listed as not imported.
TEST_F(CliTest, AStopDuringAConflictPauseEndsTheRunAtOnce)
{
    manyArticles(5);
    ASSERT_EQ(runCli(with({"import", "--folder", dir.file("many").string()})).status, 0);
    ASSERT_TRUE(db.execute("delete from `文章`"));
    ASSERT_TRUE(db.execute("create trigger conflict before insert on `文章` for each row signal sqlstate '40001' "
                           "set message_text = 'Deadlock found when trying to get lock', mysql_errno = 1213"));
    for (const char *batch : {"1", "500"}) {
        SCOPED_TRACE(batch);
        bool sent = false;
        RunOptions run;
        run.onStderr = [&sent](pid_t pid, const std::string &err) {
            if (!sent && contains(err, "正在导入")) {
                ::kill(pid, SIGINT);
                sent = true;
            }
        };
        const auto start = std::chrono::steady_clock::now();
        const Output o = runCli(with({"import", "--folder", dir.file("many").string(), "--batch", batch}), run);
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(sent) << o.err;
        EXPECT_EQ(o.status, 130) << o.err;
        // Each file's pauses alone come to almost four seconds.
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_EQ(o.out, "导入完成，已导入 0 篇文章，当前表有 0 条记录！\r\n已停止，还有 5 篇未导入\n");
        EXPECT_TRUE(contains(o.err, "运行停止时尚未导入的文件 (5):\n")) << o.err;
        EXPECT_FALSE(contains(o.err, "未确认")) << o.err;
        EXPECT_FALSE(contains(o.err, "未能导入的文件")) << o.err;
    }
}

// A second signal ends the run at once, with the exit status of a stop, and
// the report still tells what it stored: never more than the table holds.
TEST_F(CliTest, ASecondSignalExitsAtOnceAsStoppedAndWritesTheReport)
{
    manyArticles(5000);
    for (const int signal : {SIGTERM, SIGINT}) {
        for (const char *batch : {"1", "500"}) {
            SCOPED_TRACE(std::to_string(signal) + " batch " + batch);
            bool sent = false;
            const std::string report = dir.file("r.jsonl").string();
            std::filesystem::remove(report);
            const Output o = runCli(with({"import", "--clear", "--folder", dir.file("many").string(), "--batch", batch,
                                        "--report", report}),
                signalWhenImporting(signal, 2, sent));
            ASSERT_TRUE(sent);
            EXPECT_EQ(o.status, 130) << o.err;
            std::ifstream in(report);
            std::string line, last;
            std::size_t files = 0;
            while (std::getline(in, line)) {
                last = line;
                ++files;
            }
            ASSERT_FALSE(last.empty()) << "no report";
            const nlohmann::json summary = nlohmann::json::parse(last);
            EXPECT_EQ(summary["exit_status"], 130);
            EXPECT_EQ(summary["stopped"], true);
            EXPECT_EQ(summary["files"], 5000);
            EXPECT_EQ(files, 5001u);
            const int rows = std::stoi(column("select count(*) from `文章`").at(0));
            EXPECT_LE(summary["stored"].get<int>(), rows);
            EXPECT_LE(rows, summary["stored"].get<int>() + summary["unknown"].get<int>());
        }
    }
}

// A UTF-8 article with a stray byte is stored as UTF-8, the byte as U+FFFD,
// and listed as incomplete.
TEST_F(CliTest, Utf8WithAStrayByteIsStoredAndListedAsIncomplete)
{
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "中文内容，第 " + std::to_string(i) + " 句。";
    const std::string path = dir.file("articles/stray.txt").string();
    test::writeBytes(path, text + "\xFF");
    const Output o = runCli(with({"import", "--quiet", path}));
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_TRUE(contains(o.err, "内容不完整的文件（已导入） (1):\n  " + path + ": 含有无效的 UTF-8 字节\n")) << o.err;
    EXPECT_EQ(column("select `内容` from `文章`"), std::vector<std::string>{text + "\xEF\xBF\xBD"});
}

// What the server says when it ends a run, and a server that does not answer.
TEST_F(CliTest, ServerReasonsAndTimeout)
{
    const std::string a = dir.file("articles/a.txt").string();
    const Output badName = runCli(with({"import", "--table", "t ", a}));
    EXPECT_EQ(badName.status, 2);
    EXPECT_TRUE(badName.err.ends_with("表不存在且自动创建失败：t \n表名不正确't '\n")) << badName.err;

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
    EXPECT_TRUE(contains(save.err, "计数器 序号 下次从 2 开始\n计数器未保存：配置文件的行尾是 LF")) << save.err;
    EXPECT_FALSE(contains(save.err, "（已保存）"));
    EXPECT_EQ(test::readBytes(dir.file("lf.ini")), lf);
}

TEST_F(CliTest, SaveCountersOnAConfigurationItCannotWrite)
{
    const std::string before = test::readBytes(dir.file("config.ini"));

    // Held by another instance: not saved, and said why.
    {
        SettingsStore holder;
        ASSERT_TRUE(holder.open(dir.file("config.ini")));
        const Output held = runCli(with({"import", "--save-counters", dir.file("articles/a.txt").string()}));
        EXPECT_EQ(held.status, 4) << held.err;
        EXPECT_TRUE(contains(held.err, "计数器未保存：配置文件正被另一个实例使用")) << held.err;
        EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);
    }

    // Read-only: the system's reason.
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(dir.file("config.ini"), std::filesystem::perms(0444));
    // Root writes read-only files.
    const RunOptions run = asNobody();
    const Output o = runCli(with({"import", "--save-counters", dir.file("articles/a.txt").string()}), run);
    if (o.status == kUnreachable)
        GTEST_SKIP() << "the user nobody cannot reach " << dir.path() << " (is the temporary folder private?)";
    EXPECT_EQ(o.status, 4) << o.err;
    EXPECT_EQ(o.out, "导入完成，已导入 1 篇文章，当前表有 2 条记录！\n");
    EXPECT_TRUE(contains(o.err, "计数器 序号 下次从 2 开始\n计数器未保存：权限不够\n")) << o.err;
    EXPECT_FALSE(contains(o.err, "（已保存）"));
    EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);
}

// A folder that cannot be listed is a failure with the system's reason, not
// a folder without articles; the folder itself cannot be imported at all.
TEST_F(CliTest, FoldersThatCannotBeListed)
{
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(dir.file("config.ini"), std::filesystem::perms(0644));
    std::filesystem::create_directories(dir.file("articles/locked"));
    test::writeBytes(dir.file("articles/locked/c.txt"), "丙");
    std::filesystem::permissions(dir.file("articles/locked"), std::filesystem::perms::none);
    const RunOptions run = asNobody(); // root lists every folder
    const Output o = runCli(with({"import"}), run);
    if (o.status == kUnreachable)
        GTEST_SKIP() << "the user nobody cannot reach " << dir.path() << " (is the temporary folder private?)";
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_EQ(o.out, "导入完成，已导入 2 篇文章，当前表有 2 条记录！\r\n未能导入 1 篇\n");
    EXPECT_TRUE(contains(o.err, "未能导入的文件 (1):\n  " + dir.file("articles/locked").string() + ": 权限不够\n"))
        << o.err;

    const Output top = runCli(with({"import", "--folder", dir.file("articles/locked").string()}), run);
    EXPECT_EQ(top.status, 2) << top.err;
    EXPECT_TRUE(contains(top.err, "无法读取文章目录：" + dir.file("articles/locked").string() + "\n权限不够\n"))
        << top.err;
    EXPECT_FALSE(contains(top.err, "找不到文件"));
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});
    std::filesystem::permissions(dir.file("articles/locked"), std::filesystem::perms(0755));
}

// Rows that cannot be deleted: nothing is imported on top of them.
TEST_F(CliTest, ClearThatFailsEndsTheRun)
{
    const Output first = runCli(with({"import"}));
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_TRUE(db.execute("create table `子` (`文章ID` bigint, foreign key (`文章ID`) references `文章` (`ID`)) "
                           "engine=InnoDB"));
    ASSERT_TRUE(db.execute("insert into `子` select min(`ID`) from `文章`"));
    const Output o = runCli(with({"import", "--clear"}));
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.out, "清空表记录失败：文章\n");
    EXPECT_TRUE(contains(o.err, "\n无法删除或更新父行：外键约束失败")) << o.err;
    EXPECT_EQ(column("select count(*) from `文章`"), std::vector<std::string>{"2"});
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

// The example articles exported in every encoding and imported back give
// the table of the first import: a page keeps its text, and a charset its
// meta tag declares names the encoding the file was written in.
TEST_F(CliTest, ExportedExamplesImportBackAsTheyWere)
{
    writeConfig(dir.file("pair.ini"), {{"标题", "文件主名", "无"}, {"内容", "文件内容", "无"}}, name,
        std::filesystem::path(VARNEL_EXAMPLES_DIR) / "articles");
    auto titles = [&](const std::string &t) { return column("select `标题` from `" + t + "` order by `标题`"); };
    auto contents = [&](const std::string &t) { return column("select `内容` from `" + t + "` order by `标题`"); };
    const Output first = runCli(with({"import", "--types", "*.*", "--encoding", "0", "--quiet"}, "pair.ini"));
    ASSERT_EQ(first.status, 0) << first.err;
    const std::vector<std::string> stored = contents("文章");
    ASSERT_EQ(stored.size(), 17u);

    // What each encoding's files declare: the example pages say big5,
    // gb2312 (as GBK is written) and "utf-8".
    const std::vector<std::pair<int, std::string>> encodings = {
        {0, "gb18030"}, {1, "gb18030"}, {2, "utf-8"}, {3, "utf-16"}, {4, "utf-16"}};
    for (const auto &[encoding, charset] : encodings) {
        SCOPED_TRACE(encoding);
        const std::string folder = dir.file("out" + std::to_string(encoding)).string();
        const std::string again = "t" + std::to_string(encoding);
        const Output exported =
            runCli(with({"export", "--folder", folder, "--encoding", std::to_string(encoding), "--quiet"}, "pair.ini"));
        ASSERT_EQ(exported.status, 0) << exported.err;
        const Output imported = runCli(
            with({"import", "--table", again, "--folder", folder, "--types", "*.*", "--encoding", "0", "--quiet"},
                "pair.ini"));
        ASSERT_EQ(imported.status, 0) << imported.err;

        std::vector<std::string> expected;
        for (std::string content : stored) {
            content = replaceAll(content, "charset=big5", "charset=" + charset);
            content = replaceAll(content, "charset=\"utf-8\"", "charset=\"" + charset + "\"");
            if (charset != "gb18030")
                content = replaceAll(content, "charset=gb2312", "charset=" + charset);
            expected.push_back(content);
        }
        EXPECT_EQ(titles(again), titles("文章"));
        EXPECT_EQ(contents(again), expected);
    }
}

} // namespace
} // namespace varnel
