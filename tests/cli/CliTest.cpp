// varnel-cli as a user runs it: a real process, real files, the sandbox
// server.
#include "settings/ConfigFile.h"
#include "settings/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace varnel {
namespace {

using test::TempDir;

struct Output {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Output runCli(const std::vector<std::string> &args, const TempDir &dir)
{
    std::string command = quote(VARNEL_CLI_PATH);
    for (const auto &a : args)
        command += " " + quote(a);
    const auto errFile = dir.file("stderr.txt");
    command += " 2>" + quote(errFile.string());
    Output o;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return o;
    std::array<char, 4096> buf;
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0;)
        o.out.append(buf.data(), n);
    const int raw = ::pclose(pipe);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.err = test::readBytes(errFile);
    return o;
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
        // A configuration as the window would have saved it.
        MemoryForm form(mainFormSpec());
        form.clearRows();
        const std::vector<std::array<std::string, 3>> rows = {{"标题", "文件主名", "无"}, {"内容", "文件内容", "无"},
            {"栏目", "父目录名", "无"}, {"序号", "递进数字", "1┊?┊1┊?┊真"}};
        for (const auto &r : rows) {
            const int i = form.appendRow();
            for (int c = 0; c < 3; ++c)
                form.setCell(i, c, r[static_cast<std::size_t>(c)]);
        }
        form.control("编辑框库名")->setText(name);
        form.control("编辑框表名")->setText("文章");
        form.control("编辑框文章目录")->setText(dir.file("articles").string());
        form.control("选择框遍历子目录")->setChecked(true);
        SettingsStore store;
        store.open(dir.file("config.ini"));
        saveMainConfig(store, form);
    }

    std::vector<std::string> with(std::vector<std::string> args)
    {
        for (const std::string &a : {std::string("--config"), dir.file("config.ini").string(), std::string("--server"),
                 settings.server, std::string("--user"), settings.user, std::string("--password"), settings.password})
            args.push_back(a);
        return args;
    }

    TempDir dir;
};

TEST(CliUsage, HelpAndMistakes)
{
    TempDir dir;
    const Output help = runCli({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage"), std::string::npos);
    EXPECT_NE(help.out.find("用法"), std::string::npos);
    EXPECT_NE(help.out.find("--save-counters"), std::string::npos);
    EXPECT_EQ(runCli({"import", "--bogus"}, dir).status, 1);
    EXPECT_EQ(runCli({"frobnicate"}, dir).status, 1);
    EXPECT_EQ(runCli({"preview"}, dir).status, 1);
    EXPECT_EQ(runCli({"import", "--encoding", "9"}, dir).status, 1);
    EXPECT_EQ(runCli({"import", "--config", dir.file("missing.ini").string()}, dir).status, 1);
    const Output noServer = runCli({"import", "--server", "127.0.0.1:1", "--database", "d"}, dir);
    EXPECT_EQ(noServer.status, 1);
    EXPECT_NE(noServer.err.find("连接到MySQL失败"), std::string::npos);
}

TEST_F(CliTest, ImportPreviewExportAndExitCodes)
{
    // preview shows what import then stores.
    const Output preview = runCli(with({"preview", "--json", dir.file("articles/a.txt").string()}), dir);
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(preview.out,
        "{\"file\": \"" + dir.file("articles/a.txt").string()
            + "\", \"encoding\": 1, \"values\": [[\"标题\", \"文件主名\", \"a\"], [\"内容\", "
              "\"文件内容\", \"甲文章 x'y\"], [\"栏目\", \"父目录名\", \"articles\"], [\"序号\", "
              "\"递进数字\", \"1\"]]}\n");

    const Output imported = runCli(with({"import"}), dir);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "导入完成，已导入 2 篇文章，当前表有 2 条记录！\n");
    EXPECT_NE(imported.err.find("总 2 篇，已导入 2 篇"), std::string::npos);
    EXPECT_NE(imported.err.find("计数器 序号 下次从 3 开始"), std::string::npos);
    ASSERT_TRUE(db.execute("select concat(`标题`,'|',`内容`,'|',`栏目`,'|',`序号`) from `文章` order by ID"));
    auto r = db.storeResult();
    ASSERT_EQ(r->rowCount(), 2u);
    std::string v;
    r->readField(0.0, v);
    EXPECT_EQ(v, "a|甲文章 x'y|articles|1");
    r->seekRow(1);
    r->readField(0.0, v);
    EXPECT_EQ(v, "b|乙文章 C:\\new|sub|2");

    // Without --save-counters the configuration is left as it was.
    const std::string before = test::readBytes(dir.file("config.ini"));
    EXPECT_EQ(runCli(with({"import", "--clear", dir.file("articles/a.txt").string()}), dir).status, 0);
    EXPECT_EQ(test::readBytes(dir.file("config.ini")), before);
    const Output saved =
        runCli(with({"import", "--clear", "--save-counters", dir.file("articles/a.txt").string()}), dir);
    EXPECT_EQ(saved.status, 0) << saved.err;
    SettingsStore store;
    store.openReadOnly(dir.file("config.ini"));
    store.setSection("主界面");
    EXPECT_EQ(store.readText("数据配置(4)"), "2┊?┊1┊?┊真");

    // Validation: exit 2, the message on stderr.
    const Output invalid = runCli(with({"import", "--database", ""}), dir);
    EXPECT_EQ(invalid.status, 2);
    EXPECT_EQ(invalid.err.substr(invalid.err.size() - std::string("请输入库名！\n").size()), "请输入库名！\n");
    EXPECT_EQ(invalid.out, "");

    // Some files refused: exit 3 and the list.
    const Output partial =
        runCli(with({"import", "--set", "编辑框表名=文章", dir.file("articles/a.txt").string(), "/no/such/file"}), dir);
    EXPECT_EQ(partial.status, 0) << partial.err; // an unreadable file imports as empty text
    ASSERT_TRUE(db.execute("alter table `文章` modify `内容` text not null"));
    const Output refused = runCli(with({"import", "--set", "选择框同步=假", dir.file("articles/a.txt").string()}), dir);
    EXPECT_EQ(refused.status, 0) << refused.err;
    ASSERT_TRUE(db.execute("alter table `文章` drop column `栏目`"));
    const Output failing = runCli(with({"import", dir.file("articles/a.txt").string()}), dir);
    EXPECT_EQ(failing.status, 3);
    EXPECT_NE(failing.err.find("Unknown column"), std::string::npos) << failing.err;
    EXPECT_NE(failing.out.find("已导入 0 篇文章"), std::string::npos);

    // Export: exit 0, files written.
    const Output exported = runCli(with({"export", "--folder", dir.file("out").string(), "--encoding", "2"}), dir);
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("导出完成，已导出"), std::string::npos);
    EXPECT_EQ(test::readBytes(dir.file("out/a.html")), "\xEF\xBB\xBF甲文章 x'y");
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/a (2).html"))); // same name, not overwritten
}

} // namespace
} // namespace varnel
