#include "settings/WindowSweep.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::TempDir;

FormSpec allKinds()
{
    FormSpec f;
    f.section = "窗口";
    auto add = [&](std::string name, ControlKind kind) {
        ControlSpec s;
        s.name = std::move(name);
        s.kind = kind;
        f.controls.push_back(s);
    };
    add("按钮甲", ControlKind::Button);
    add("编辑框甲", ControlKind::EditBox);
    add("编辑框字节", ControlKind::EditBox);
    add("选择框甲", ControlKind::CheckBox);
    add("单选框甲", ControlKind::RadioButton);
    add("组合框甲", ControlKind::ComboBox);
    add("列表框甲", ControlKind::ListBox);
    add("选择列表框甲", ControlKind::TickListBox);
    add("颜色选择器甲", ControlKind::ColourPicker);
    add("标签甲", ControlKind::Other);
    add("编辑框禁止", ControlKind::EditBox);
    add("", ControlKind::EditBox);
    return f;
}

TEST(WindowSweep, EveryKindRoundTrips)
{
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("s.ini"));
    MemoryForm form(allKinds());
    form.control("按钮甲")->setTag("/last/path");
    form.control("编辑框甲")->setText("内容\r\n两行");
    form.control("编辑框字节")->setTag("字节集方式");
    form.control("编辑框字节")->setText("字节内容");
    form.control("选择框甲")->setChecked(true);
    form.control("单选框甲")->setChecked(true);
    Control *combo = form.control("组合框甲");
    combo->setItems({"一", "二", "三"});
    combo->setCurrentIndex(2);
    combo->setEditText("编辑");
    Control *list = form.control("列表框甲");
    list->setItems({"a", "", "c"});
    list->select(0);
    list->select(2);
    Control *ticks = form.control("选择列表框甲");
    ticks->setItems({"x", "y"});
    ticks->setCurrentIndex(1);
    ticks->tick(1);
    form.control("颜色选择器甲")->setColour(0xFF8000);
    form.control("编辑框禁止")->setTag("禁止保存");
    form.control("编辑框禁止")->setText("secret");

    SweepOptions options;
    options.comboItems = true;
    options.comboText = true;
    saveWindowState(store, form, "窗口", options);
    const std::string text = fromGb18030(store.rawText());
    EXPECT_NE(text.find("\r\n按钮甲.标记=/last/path"), std::string::npos);
    EXPECT_NE(text.find("\r\n编辑框甲=内容┊*┊两行"), std::string::npos);
    EXPECT_NE(text.find("\r\n组合框甲=2\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n列表框甲.选中=0,2"), std::string::npos);
    EXPECT_NE(text.find("\r\n选择列表框甲.打勾=1"), std::string::npos);
    EXPECT_NE(text.find("\r\n颜色选择器甲=16744448"), std::string::npos);
    EXPECT_EQ(text.find("编辑框字节="), std::string::npos); // byte mode: side file only
    EXPECT_EQ(text.find("禁止"), std::string::npos);
    EXPECT_EQ(text.find("标签"), std::string::npos);
    EXPECT_EQ(test::readBytes(dir.file("inibin/窗口-编辑框字节.ibn")), toGb18030("字节内容"));

    MemoryForm back(allKinds());
    back.control("编辑框字节")->setTag("字节集方式");
    back.control("编辑框禁止")->setTag("禁止保存");
    back.control("编辑框禁止")->setText("untouched");
    back.control("列表框甲")->setItems({"p", "q", "r"});
    back.control("列表框甲")->select(1); // restoring adds, never clears
    // The index is restored before the items, so it needs items to land on.
    back.control("组合框甲")->setItems({"p", "q", "r"});
    restoreWindowState(store, back, "窗口", options);
    EXPECT_EQ(back.control("按钮甲")->tag(), "/last/path");
    EXPECT_EQ(back.control("编辑框甲")->text(), "内容\r\n两行");
    EXPECT_EQ(back.control("编辑框字节")->text(), "字节内容");
    EXPECT_TRUE(back.control("选择框甲")->isChecked());
    EXPECT_TRUE(back.control("单选框甲")->isChecked());
    EXPECT_EQ(back.control("组合框甲")->items(), (std::vector<std::string>{"一", "二", "三"}));
    EXPECT_EQ(back.control("组合框甲")->currentIndex(), 2);
    EXPECT_EQ(back.control("组合框甲")->editText(), "编辑");
    EXPECT_EQ(back.control("列表框甲")->items(), (std::vector<std::string>{"a", "", "c"}));
    EXPECT_EQ(back.control("列表框甲")->selectedIndices(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(back.control("选择列表框甲")->currentIndex(), 1);
    EXPECT_EQ(back.control("选择列表框甲")->tickedIndices(), std::vector<int>{1});
    EXPECT_EQ(back.control("颜色选择器甲")->colour(), 0xFF8000u);
    EXPECT_EQ(back.control("编辑框禁止")->text(), "untouched");
}

TEST(WindowSweep, MissingSectionExcludedNamesAndDamagedValues)
{
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("s.ini"));
    MemoryForm form(mainFormSpec());
    form.control("编辑框库名")->setText("mine");
    restoreWindowState(store, form, "主界面");
    EXPECT_EQ(form.control("编辑框库名")->text(), "mine");

    SweepOptions options;
    options.excludedNames = {"编辑框库名"};
    saveWindowState(store, form, "主界面", options);
    EXPECT_EQ(fromGb18030(store.rawText()).find("编辑框库名"), std::string::npos);

    // Indices no control can take leave the control as it is.
    store.setSection("主界面");
    store.writeText("组合框文件编码", "99");
    store.writeText("组合框模式", "1e300");
    store.writeText("组合框类型", "-7");
    restoreWindowState(store, form, "主界面");
    EXPECT_EQ(form.control("组合框文件编码")->currentIndex(), 0);
    EXPECT_EQ(form.control("组合框模式")->currentIndex(), 0);
    EXPECT_EQ(form.control("组合框类型")->currentIndex(), 0);

    // Radio buttons of a group stay exclusive when restored one by one.
    store.writeBool("单选框创建", true);
    restoreWindowState(store, form, "主界面");
    EXPECT_TRUE(form.control("单选框创建")->isChecked());
    EXPECT_FALSE(form.control("单选框修改")->isChecked());
}

// A stored index is restored only onto an item the control has; one past its
// last item, or below -1 (none), leaves the control as it is.
TEST(WindowSweep, IndicesLandOnlyOnItemsTheControlHas)
{
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("s.ini"));
    MemoryForm form(allKinds());
    Control *combo = form.control("组合框甲");
    Control *ticks = form.control("选择列表框甲");
    const struct {
        const char *stored;
        int expected;
    } rows[] = {{"0", 0}, {"2", 2}, {"3", 1}, {"4", 1}, {"-1", -1}, {"-2", 1}};
    for (const auto &row : rows) {
        combo->setItems({"一", "二", "三"});
        combo->setCurrentIndex(1);
        ticks->setItems({"x", "y", "z"});
        ticks->setCurrentIndex(1);
        store.setSection("窗口");
        store.writeText("组合框甲", row.stored);
        store.writeText("选择列表框甲.选中", row.stored);
        restoreWindowState(store, form, "窗口");
        EXPECT_EQ(combo->currentIndex(), row.expected) << row.stored;
        EXPECT_EQ(ticks->currentIndex(), row.expected) << row.stored;
        EXPECT_EQ(ticks->items().size(), 3u);
    }
}

} // namespace
} // namespace varnel
