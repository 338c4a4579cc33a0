#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"
#include "text/Charset.h"
#include "text/TextUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace varnel {
namespace {

// What a reader that refused a file said; nothing when it took it.
std::optional<std::string> refusal(const Result<void> &read)
{
    return read ? std::nullopt : std::optional<std::string>(read.error().message);
}

using test::readBytes;
using test::RecordingHost;
using test::TempDir;
using test::writeBytes;

// The sweep keys of the main window in definition order, as the window's
// design lists them.
const std::vector<std::string> kMainSweepKeys = {"单选框默认", "选择框同步", "编辑框递进值", "编辑框起始值",
    "单选框现在时", "单选框文件时", "单选框随机时", "单选框毫秒", "单选框秒", "编辑框字段分隔符", "单选框不包含",
    "单选框包含", "单选框不相等", "单选框且逻辑", "单选框或逻辑", "选择框启用导出条件", "编辑框条件字段值",
    "单选框相等", "编辑框条件字段名", "按钮导出条件.标记", "选择框遍历子目录", "编辑框固定的文本", "按钮读表字段.标记",
    "按钮表列表.标记", "按钮库列表.标记", "编辑框库名", "按钮建立连接.标记", "编辑框用户名", "按钮导入配置.标记",
    "按钮导出配置.标记", "选择框乱序导入", "按钮导出.标记", "按钮导入.标记", "按钮输入词组.标记", "编辑框数量2",
    "编辑框词组", "编辑框数量1", "组合框模式", "选择框当前时间", "编辑框年1", "编辑框年2", "编辑框时间表达式",
    "按钮问号1.标记", "编辑框数母字数1", "编辑框数母字数2", "选择框转为全角", "选择框有数字", "选择框有小字母",
    "选择框有大字母", "编辑框汉字字数1", "编辑框汉字字数2", "选择框转为繁体", "单选框最常用", "单选框一般常用",
    "单选框次要常用", "组合框类型", "单选框访问", "单选框修改", "单选框创建", "编辑框摘要字数1", "编辑框摘要字数2",
    "编辑框标签尾", "编辑框标签头", "组合框数据来源", "按钮修改.标记", "按钮删除.标记", "按钮添加.标记", "编辑框字段名",
    "编辑框密码", "编辑框表名", "编辑框服务器", "编辑框文件类型", "组合框文件编码", "按钮选择目录.标记",
    "编辑框文章目录", "编辑框唯一键", "编辑框加密方式", "编辑框CA证书", "编辑框客户端证书", "编辑框客户端私钥",
    "选择框不保存密码"};

std::vector<std::string> fileLines(const std::filesystem::path &path)
{
    return splitText(fromGb18030(readBytes(path)), "\r\n");
}

std::string keyOf(const std::string &line)
{
    return line.substr(0, line.find('='));
}

TEST(MainForm, FirstRunDefaults)
{
    MemoryForm form(mainFormSpec());
    ASSERT_EQ(form.controls().size(), kMainSweepKeys.size());
    EXPECT_EQ(form.control("编辑框服务器")->text(), "127.0.0.1");
    EXPECT_EQ(form.control("编辑框用户名")->text(), "root");
    EXPECT_EQ(form.control("编辑框密码")->text(), "tqmv");
    EXPECT_EQ(form.control("编辑框文件类型")->text(), "*.*");
    EXPECT_EQ(form.control("组合框文件编码")->currentIndex(), 0);
    EXPECT_EQ(form.control("组合框数据来源")->items()[1], "文件内容");
    EXPECT_EQ(form.control("组合框数据来源")->currentIndex(), 1);
    EXPECT_TRUE(form.control("单选框修改")->isChecked());
    EXPECT_TRUE(form.control("选择框同步")->isChecked());
    EXPECT_FALSE(form.control("按钮导入")->isEnabled());

    // A first run restores from an empty settings file.
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("app.ini"));
    restoreMainConfig(store, form);
    ASSERT_EQ(form.rowCount(), 4);
    EXPECT_EQ(form.cell(0, 0), "标题");
    EXPECT_EQ(form.cell(1, 1), "文件内容");
    EXPECT_EQ(form.cell(2, 0), "title");
    EXPECT_EQ(form.cell(3, 0), "content");
    EXPECT_EQ(form.cell(3, 2), "");
    EXPECT_FALSE(form.control("编辑框条件字段名")->isEnabled());
    EXPECT_FALSE(form.control("编辑框字段分隔符")->isEnabled());
    EXPECT_TRUE(form.control("编辑框服务器")->isEnabled());
    EXPECT_EQ(form.control("编辑框服务器")->text(), "127.0.0.1");
}

TEST(MainConfig, FirstSaveListsRowsThenCountThenSweepKeysReversed)
{
    TempDir dir;
    const auto path = dir.file("c.ini");
    MemoryForm form(mainFormSpec());
    form.clearRows();
    for (int r = 0; r < 2; ++r) {
        form.appendRow();
        form.setCell(r, 0, "f" + std::to_string(r + 1));
        form.setCell(r, 1, "固定文本");
        form.setCell(r, 2, "行1\r\n行2");
    }
    SettingsStore store;
    store.open(path);
    saveMainConfig(store, form);

    const auto lines = fileLines(path);
    ASSERT_EQ(lines.size(), 1 + 6 + 1 + kMainSweepKeys.size());
    EXPECT_EQ(lines[0], "[主界面]");
    const std::vector<std::string> head(lines.begin() + 1, lines.begin() + 8);
    EXPECT_EQ(head,
        (std::vector<std::string>{"数据配置(2)=行1┊*┊行2", "数据来源(2)=固定文本", "字段名或位置(2)=f2",
            "数据配置(1)=行1┊*┊行2", "数据来源(1)=固定文本", "字段名或位置(1)=f1", "字段数=2"}));
    std::vector<std::string> sweep;
    for (auto it = lines.rbegin(); it != lines.rbegin() + static_cast<long>(kMainSweepKeys.size()); ++it)
        sweep.push_back(keyOf(*it));
    EXPECT_EQ(sweep, kMainSweepKeys);
    // A few values as they are stored.
    const std::string all = fromGb18030(readBytes(path));
    for (const char *line : {"\r\n编辑框服务器=127.0.0.1\r\n", "\r\n组合框数据来源=1\r\n", "\r\n单选框修改=真\r\n",
             "\r\n单选框创建=假\r\n", "\r\n按钮导入.标记=\r\n", "\r\n编辑框条件字段值=2|。\r\n"})
        EXPECT_NE(all.find(line), std::string::npos) << line;
    EXPECT_TRUE(all.ends_with("\r\n单选框默认=假"));

    // Saving again with fewer rows replaces values in place and leaves the
    // surplus row keys alone; restoring reads only 字段数 rows.
    form.clearRows();
    form.appendRow();
    form.setCell(0, 0, "only");
    saveMainConfig(store, form);
    const auto again = fileLines(path);
    EXPECT_EQ(again.size(), lines.size());
    EXPECT_EQ(again[3], "字段名或位置(2)=f2");
    EXPECT_EQ(again[6], "字段名或位置(1)=only");
    EXPECT_EQ(again[7], "字段数=1");
    MemoryForm restored(mainFormSpec());
    restoreMainConfig(store, restored);
    ASSERT_EQ(restored.rowCount(), 1);
    EXPECT_EQ(restored.cell(0, 0), "only");
    EXPECT_EQ(restored.cell(0, 2), "");
}

TEST(MainConfig, RestoresAGbkFileWhateverTheOrderOfItsKeys)
{
    TempDir dir;
    const auto path = dir.file("old.ini");
    // A configuration file as the window's format has it: GBK bytes with CR
    // LF, a line break kept as "┊*┊" and options joined by "┊?┊". Its keys
    // may come in any order (here the rows last to first, each row's cells
    // backwards, the row count after them) and other sections may come first.
    const std::string text = "[管理器]\r\n编辑框查找=abc\r\n[主界面]\r\n"
                             "数据配置(2)=<h1>┊?┊</h1>\r\n数据来源(2)=网页标题\r\n字段名或位置(2)=标题\r\n"
                             "数据配置(1)=第一行┊*┊第二行\r\n数据来源(1)=固定文本\r\n字段名或位置(1)=2\r\n"
                             "字段数=2\r\n编辑框文章目录=/data/文章\r\n编辑框服务器=10.0.0.5:3307\r\n"
                             "组合框文件编码=2\r\n选择框启用导出条件=真\r\n单选框或逻辑=真\r\n单选框且逻辑=假\r\n"
                             "按钮导入配置.标记=/old/path.ini\r\n编辑框密码=\r\n选择框同步=1";
    writeBytes(path, toGb18030(text));
    MemoryForm form(mainFormSpec());
    RecordingHost host;
    ASSERT_TRUE(importConfigFrom(ConfigWindow::Main, form, path, host));
    EXPECT_EQ(host.texts(), std::vector<std::string>{"导入配置完成！"});
    ASSERT_EQ(form.rowCount(), 2);
    EXPECT_EQ(form.cell(0, 0), "2");
    EXPECT_EQ(form.cell(0, 2), "第一行\r\n第二行");
    EXPECT_EQ(form.cell(1, 2), "<h1>┊?┊</h1>");
    EXPECT_EQ(form.control("编辑框文章目录")->text(), "/data/文章");
    EXPECT_EQ(form.control("编辑框服务器")->text(), "10.0.0.5:3307");
    EXPECT_EQ(form.control("组合框文件编码")->currentIndex(), 2);
    EXPECT_TRUE(form.control("单选框或逻辑")->isChecked());
    EXPECT_FALSE(form.control("单选框且逻辑")->isChecked());
    EXPECT_TRUE(form.control("编辑框条件字段名")->isEnabled()); // 启用 is ticked
    EXPECT_EQ(form.control("编辑框密码")->text(), ""); // an empty password is one
    EXPECT_FALSE(form.control("选择框同步")->isChecked()); // "1" is not 真
    // The tags hold the path stored in the file: the sweep ran after the
    // import had set them.
    EXPECT_EQ(form.control("按钮导入配置")->tag(), "/old/path.ini");
    EXPECT_EQ(form.control("按钮导出配置")->tag(), path.string());
    EXPECT_EQ(form.control("编辑框用户名")->text(), "root"); // missing key: unchanged
    // Importing never changes the file.
    EXPECT_EQ(readBytes(path), toGb18030(text));
}

TEST(ConfigExportImport, PathsMessagesAndOtherSections)
{
    TempDir dir;
    RecordingHost host;
    MemoryForm form(mainFormSpec());
    form.control("编辑框库名")->setText("news");

    // Exporting into a file with another section keeps that section.
    const auto path = dir.file("mine.ini");
    writeBytes(path, toGb18030("[新建表]\r\n字段数=0"));
    exportConfigTo(ConfigWindow::Main, form, path, host);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"导出配置完成！"});
    EXPECT_TRUE(fromGb18030(readBytes(path)).starts_with("[新建表]\r\n字段数=0\r\n[主界面]\r\n"));
    EXPECT_EQ(form.control("按钮导出配置")->tag(), path.string());
    EXPECT_EQ(form.control("按钮导入配置")->tag(), path.string());

    // A cancelled dialog does nothing.
    exportConfigTo(ConfigWindow::Main, form, "", host);
    EXPECT_FALSE(importConfigFrom(ConfigWindow::Main, form, "", host));
    EXPECT_EQ(host.messages.size(), 1u);

    // A name typed without extension finds the file with ".ini".
    MemoryForm other(mainFormSpec());
    EXPECT_TRUE(importConfigFrom(ConfigWindow::Main, other, dir.file("mine"), host));
    EXPECT_EQ(other.control("编辑框库名")->text(), "news");
    EXPECT_EQ(host.lastText(), "导入配置完成！");

    // No such file, with or without ".ini": a message, nothing changed.
    other.control("编辑框库名")->setText("kept");
    EXPECT_FALSE(importConfigFrom(ConfigWindow::Main, other, dir.file("absent"), host));
    EXPECT_EQ(host.lastText(), "请选择一个已存在的ini文件！");
    EXPECT_EQ(other.control("编辑框库名")->text(), "kept");

    // Exporting into a file another store holds leaves the file alone and
    // says so: nothing was exported.
    SettingsStore holder;
    holder.open(dir.file("held.ini"));
    holder.setSection("x");
    holder.writeText("y", "z");
    const std::string held = readBytes(dir.file("held.ini"));
    EXPECT_FALSE(exportConfigTo(ConfigWindow::Main, form, dir.file("held.ini"), host));
    EXPECT_EQ(host.lastText(), "导出配置失败，文件无法写入！");
    EXPECT_EQ(readBytes(dir.file("held.ini")), held);
    // So does a folder that cannot take the file.
    EXPECT_FALSE(exportConfigTo(ConfigWindow::Main, form, dir.file("no/such/folder.ini"), host));
    EXPECT_EQ(host.lastText(), "导出配置失败，文件无法写入！");
}

// The command line's read: a file edited on Linux (LF line ends, or some of
// them) reads exactly as the one the window saved.
TEST(ConfigChecked, LineFeedsReadAsCrLf)
{
    TempDir dir;
    MemoryForm form(mainFormSpec());
    form.clearRows();
    form.appendRow();
    form.setCell(0, 0, "序号");
    form.setCell(0, 1, "递进数字");
    form.setCell(0, 2, "7┊?┊2┊?┊真");
    form.control("编辑框库名")->setText("新闻");
    form.control("编辑框密码")->setText("pa=ss");
    form.control("编辑框固定的文本")->setText("第一行\r\n第二行");
    form.control("组合框文件编码")->setCurrentIndex(2);
    form.control("选择框遍历子目录")->setChecked(true);
    {
        SettingsStore store;
        store.open(dir.file("crlf.ini"));
        saveMainConfig(store, form);
    }
    const std::string crlf = readBytes(dir.file("crlf.ini"));
    writeBytes(dir.file("lf.ini"), replaceAll(crlf, "\r\n", "\n"));
    std::string mixed = crlf;
    mixed.replace(mixed.find("\r\n"), 2, "\n");
    mixed.replace(mixed.rfind("\r\n"), 2, "\n");
    writeBytes(dir.file("mixed.ini"), mixed);

    auto read = [&](const char *file, bool expectedLineFeeds) {
        SettingsStore store;
        bool lineFeeds = !expectedLineFeeds;
        const Result<void> taken = readConfigChecked(store, dir.file(file), "主界面", &lineFeeds);
        EXPECT_TRUE(taken) << file << ": " << (taken ? "" : taken.error().message);
        EXPECT_EQ(lineFeeds, expectedLineFeeds) << file;
        MemoryForm back(mainFormSpec());
        restoreMainConfig(store, back);
        return back;
    };
    for (const auto &[file, lineFeeds] : {std::pair{"crlf.ini", false}, {"lf.ini", true}, {"mixed.ini", true}}) {
        MemoryForm back = read(file, lineFeeds);
        EXPECT_EQ(back.rows(), form.rows()) << file;
        for (const char *name : {"编辑框库名", "编辑框密码", "编辑框固定的文本"})
            EXPECT_EQ(back.control(name)->text(), form.control(name)->text()) << file << " " << name;
        EXPECT_EQ(back.control("组合框文件编码")->currentIndex(), 2) << file;
        EXPECT_TRUE(back.control("选择框遍历子目录")->isChecked()) << file;
    }
    // Reading never writes.
    EXPECT_EQ(readBytes(dir.file("lf.ini")), replaceAll(crlf, "\r\n", "\n"));

    // A section named only inside another line is no section.
    writeBytes(dir.file("inline.ini"), toGb18030("x=[主界面]\n字段数=1\n"));
    SettingsStore store;
    EXPECT_EQ(refusal(readConfigChecked(store, dir.file("inline.ini"), "主界面")), "it has no section [主界面]");
}

// A count or rule a reader cannot read refuses the file, naming the key;
// a restore (the window's own settings) still makes the default rows.
TEST(ConfigChecked, RowsThatCannotBeReadAreNamed)
{
    TempDir dir;
    const std::string rule = "字段名或位置(1)=内容\r\n数据来源(1)=文件内容\r\n数据配置(1)=无\r\n";
    auto check = [&](const std::string &body) {
        writeBytes(dir.file("c.ini"), toGb18030("[主界面]\r\n" + body));
        SettingsStore store;
        return refusal(readConfigChecked(store, dir.file("c.ini"), "主界面"));
    };
    for (const char *count : {"-7", "-3", "nan", "inf", "0x10", "七", "1.5", "100001", "99999999999"}) {
        EXPECT_EQ(check(rule + "字段数=" + count + "\r\n"),
            std::string("字段数 is not a whole number from 0 to 100000: ") + count);
    }
    // What a restore still does with the count: the four default rows.
    for (const char *count : {"-7", "-3", "nan", "inf", "0x10", "七"}) {
        writeBytes(dir.file("c.ini"), toGb18030("[主界面]\r\n" + rule + "字段数=" + count + "\r\n"));
        SettingsStore store;
        store.openReadOnly(dir.file("c.ini"));
        MemoryForm form(mainFormSpec());
        restoreMainConfig(store, form);
        EXPECT_EQ(form.rowCount(), 4) << count;
    }
    EXPECT_EQ(check(rule + "字段数=1\r\n"), std::nullopt);
    EXPECT_EQ(check(rule + "字段数=0\r\n"), std::nullopt);
    EXPECT_EQ(check("编辑框库名=x\r\n"), std::nullopt);
    EXPECT_EQ(check(rule + "字段数=2\r\n"), "字段名或位置(2) is missing");
    EXPECT_EQ(check(rule + "字段名或位置(2)=a\r\n字段数=2\r\n"), "数据来源(2) is missing");
    EXPECT_EQ(
        check(rule + "字段名或位置(2)=a\r\n数据来源(2)=文件\r\n字段数=2\r\n"), "数据来源(2) is no data source: 文件");

    // A fresh settings file: no rows, the four default ones.
    SettingsStore fresh;
    fresh.open(dir.file("fresh.ini"));
    EXPECT_EQ(unreadableMainRows(fresh), std::nullopt);
    MemoryForm form(mainFormSpec());
    restoreMainConfig(fresh, form);
    EXPECT_EQ(form.rowCount(), 4);
    EXPECT_EQ(form.cell(3, 0), "content");
}

// Exported configurations hold the password too.
TEST(ConfigExportImport, ExportedFilesAreTheOwnersOnly)
{
    TempDir dir;
    RecordingHost host;
    MemoryForm form(mainFormSpec());
    const mode_t oldMask = ::umask(022);
    exportConfigTo(ConfigWindow::Main, form, dir.file("out.ini"), host);
    ::umask(oldMask);
    EXPECT_EQ(std::filesystem::status(dir.file("out.ini")).permissions(), std::filesystem::perms(0600));
    EXPECT_NE(fromGb18030(readBytes(dir.file("out.ini"))).find("编辑框密码=tqmv"), std::string::npos);
}

TEST(ConfigExportImport, APasswordNotStoredIsInNoFileAndComesBackEmpty)
{
    TempDir dir;
    RecordingHost host;
    MemoryForm form(mainFormSpec());
    form.control("编辑框密码")->setText("s3cret");
    ASSERT_TRUE(exportConfigTo(ConfigWindow::Main, form, dir.file("kept.ini"), host));
    form.control("选择框不保存密码")->setChecked(true);
    ASSERT_TRUE(exportConfigTo(ConfigWindow::Main, form, dir.file("out.ini"), host));
    EXPECT_EQ(readBytes(dir.file("out.ini")).find("s3cret"), std::string::npos);
    // Written over a file that held it, it goes from there too.
    ASSERT_TRUE(exportConfigTo(ConfigWindow::Main, form, dir.file("kept.ini"), host));
    EXPECT_EQ(readBytes(dir.file("kept.ini")).find("s3cret"), std::string::npos);

    // Read back, the password is empty, not the design's default.
    MemoryForm fresh(mainFormSpec());
    ASSERT_TRUE(importConfigFrom(ConfigWindow::Main, fresh, dir.file("out.ini"), host));
    EXPECT_TRUE(fresh.control("选择框不保存密码")->isChecked());
    EXPECT_EQ(fresh.control("编辑框密码")->text(), "");
}

TEST(ConfigExportImport, AnEmptyLoginStaysEmptyAndAMissingOneLeavesTheBox)
{
    TempDir dir;
    RecordingHost host;
    MemoryForm form(mainFormSpec());
    form.control("编辑框用户名")->setText("");
    form.control("编辑框密码")->setText("");
    ASSERT_TRUE(exportConfigTo(ConfigWindow::Main, form, dir.file("empty.ini"), host));
    MemoryForm back(mainFormSpec());
    ASSERT_TRUE(importConfigFrom(ConfigWindow::Main, back, dir.file("empty.ini"), host));
    EXPECT_EQ(back.control("编辑框用户名")->text(), "");
    EXPECT_EQ(back.control("编辑框密码")->text(), "");

    // A file of an older version that carries the design's password keeps
    // it; one without the keys leaves the boxes as they are.
    writeBytes(dir.file("old.ini"), toGb18030("[主界面]\r\n编辑框用户名=editor\r\n编辑框密码=tqmv\r\n"));
    writeBytes(dir.file("none.ini"), toGb18030("[主界面]\r\n编辑框服务器=db1\r\n"));
    MemoryForm old(mainFormSpec());
    ASSERT_TRUE(importConfigFrom(ConfigWindow::Main, old, dir.file("old.ini"), host));
    EXPECT_EQ(old.control("编辑框用户名")->text(), "editor");
    EXPECT_EQ(old.control("编辑框密码")->text(), "tqmv");
    ASSERT_TRUE(importConfigFrom(ConfigWindow::Main, old, dir.file("none.ini"), host));
    EXPECT_EQ(old.control("编辑框用户名")->text(), "editor");
    EXPECT_EQ(old.control("编辑框密码")->text(), "tqmv");
}

TEST(TableConfig, RoundTripAndEmptyList)
{
    TempDir dir;
    RecordingHost host;
    MemoryForm form(tableFormSpec());
    form.control("组合框类型")->setItems({"小数(decimal)", "变长字符串(varchar)"});
    form.control("组合框类型")->setCurrentIndex(1);
    form.control("选择框仅新建库")->setChecked(true);
    form.appendRow();
    form.setCell(0, 0, "标题");
    form.setCell(0, 1, "变长字符串(varchar)");
    form.setCell(0, 2, "255");
    exportConfigTo(ConfigWindow::CreateTable, form, dir.file("t.ini"), host);

    MemoryForm back(tableFormSpec());
    back.control("组合框类型")->setItems({"小数(decimal)", "变长字符串(varchar)"});
    importDroppedConfig(ConfigWindow::CreateTable, back, dir.file("t.ini"), host);
    EXPECT_EQ(back.rows(), form.rows());
    EXPECT_EQ(back.control("组合框类型")->currentIndex(), 1);
    EXPECT_TRUE(back.control("选择框仅新建库")->isChecked());
    EXPECT_EQ(back.control("按钮导入配置")->tag(), dir.file("t.ini").string());

    // 字段数 0 or missing: the column list is empty, no default rows.
    writeBytes(dir.file("empty.ini"), "");
    importDroppedConfig(ConfigWindow::CreateTable, back, dir.file("empty.ini"), host);
    EXPECT_EQ(back.rowCount(), 0);
    EXPECT_TRUE(isConfigFileName("a/b/X.INI"));
    EXPECT_FALSE(isConfigFileName("a.ini.txt"));
    EXPECT_FALSE(isConfigFileName("ini"));
}

TEST(SettingsLocation, BesideTheProgramOrInTheUserConfig)
{
    TempDir dir;
    const std::string xdg = (dir.path() / "xdg").string();
    test::ScopedEnv home("XDG_CONFIG_HOME", xdg.c_str());
    const std::filesystem::path inXdg = dir.path() / "xdg/varnel/Varnel MySQL 文章导入导出.ini";

    // A build tree's program folder, writable: beside the program.
    std::filesystem::create_directories(dir.file("build/src/app"));
    writeBytes(dir.file("build/src/app") / kBuildTreeMarker, "");
    EXPECT_EQ(settingsFilePath(dir.file("build/src/app")), dir.file("build/src/app/Varnel MySQL 文章导入导出.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "xdg"));

    // A folder that does not exist: the user's configuration folder, made.
    EXPECT_EQ(settingsFilePath(dir.file("no/such/dir")), inXdg);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "xdg/varnel"));

    // An installed program: its folder is writable here (as /usr/bin is for
    // root), but without the marker nothing is put there.
    std::filesystem::create_directories(dir.file("prefix/bin"));
    EXPECT_EQ(settingsFilePath(dir.file("prefix/bin")), inXdg);
    // A marker that is a folder, not the file the build writes, is no marker.
    std::filesystem::create_directories(dir.file("prefix/bin") / kBuildTreeMarker);
    EXPECT_EQ(settingsFilePath(dir.file("prefix/bin")), inXdg);
    EXPECT_EQ(settingsFilePath({}), inXdg);

    // No XDG_CONFIG_HOME (or a relative one, which the XDG rules ignore):
    // ~/.config/varnel.
    const std::string homeDir = dir.file("home").string();
    test::ScopedEnv userHome("HOME", homeDir.c_str());
    for (const char *unset : {static_cast<const char *>(nullptr), "", "relative/xdg"}) {
        home.set(unset);
        EXPECT_EQ(
            settingsFilePath(dir.file("prefix/bin")), dir.path() / "home/.config/varnel/Varnel MySQL 文章导入导出.ini")
            << (unset ? unset : "unset");
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "home/.config/varnel"));

    // A build tree folder the user cannot write: the user's configuration
    // folder as well (root writes anywhere, so only a non-root run sees it).
    if (::geteuid() != 0) {
        std::filesystem::permissions(dir.file("build/src/app"), std::filesystem::perms(0555));
        EXPECT_EQ(settingsFilePath(dir.file("build/src/app")),
            dir.path() / "home/.config/varnel/Varnel MySQL 文章导入导出.ini");
        std::filesystem::permissions(dir.file("build/src/app"), std::filesystem::perms(0755));
    }
}

} // namespace
} // namespace varnel
