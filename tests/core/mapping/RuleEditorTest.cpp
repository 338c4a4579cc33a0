#include "mapping/RuleEditor.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::RecordingHost;

std::string opts(std::initializer_list<const char *> parts)
{
    return joinOptions(std::vector<std::string>(parts.begin(), parts.end()));
}

struct Editor : ::testing::Test {
    MemoryForm form{mainFormSpec()};
    RecordingHost host;

    void SetUp() override
    {
        for (const char *name : {"标题", "内容", "title"}) {
            const int r = form.appendRow();
            form.setCell(r, 0, name);
            form.setCell(r, 1, "文件主名");
            form.setCell(r, 2, "无");
        }
    }
    void select(int source) { form.control("组合框数据来源")->setCurrentIndex(source); }
    void name(const char *text) { form.control("编辑框字段名")->setText(text); }
};

TEST_F(Editor, OptionsTextFromThePages)
{
    EXPECT_EQ(optionsText(form, 2), opts({"<title>", "</title>"}));
    EXPECT_EQ(optionsText(form, 12), opts({"1", "1", "真"}));
    EXPECT_EQ(optionsText(form, 4), opts({"假", "真", "假", "0"}));
    EXPECT_EQ(optionsText(form, 8), opts({"词1|词2|词3|词4|词5|词6", "0", "3", "3"}));
    EXPECT_EQ(optionsText(form, 0), "无");
    EXPECT_EQ(optionsText(form, 9), "无");
    form.control("编辑框固定的文本")->setText("a┊?┊b");
    EXPECT_EQ(optionsText(form, 10), "a┊?┊b");
    EXPECT_EQ(optionsText(form, 13), "");
    EXPECT_EQ(optionsText(form, -1), "");
}

TEST_F(Editor, AddModifyValidation)
{
    name("  title　");
    select(2);
    auto r = addOrModifyRule(form, -1, false, host);
    EXPECT_EQ(host.lastText(), "字段名不能重复：title");
    EXPECT_EQ(r.currentRow, 2);
    EXPECT_EQ(r.focus, "超级列表框");
    EXPECT_EQ(form.rowCount(), 3);

    name("Title"); // the test is case-sensitive
    r = addOrModifyRule(form, -1, false, host);
    EXPECT_EQ(r.currentRow, 3);
    EXPECT_EQ(form.cell(3, 0), "Title");
    EXPECT_EQ(form.cell(3, 1), "网页标题");
    EXPECT_EQ(form.cell(3, 2), opts({"<title>", "</title>"}));

    name(" 　 ");
    r = addOrModifyRule(form, -1, false, host);
    EXPECT_EQ(host.lastText(), "请输入字段名或字段索引！");
    EXPECT_EQ(r.focus, "编辑框字段名");

    name("x");
    addOrModifyRule(form, -1, true, host);
    EXPECT_EQ(host.lastText(), "请选中一个字段再修改！");

    // Modifying into another row's name is allowed.
    name("标题");
    select(12);
    r = addOrModifyRule(form, 1, true, host);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(form.cell(1, 0), "标题");
    EXPECT_EQ(form.cell(1, 1), "递进数字");
    EXPECT_EQ(form.rowCount(), 4);
}

TEST_F(Editor, CounterOptionsMustBeExactWholeNumbers)
{
    name("序号");
    select(12);
    const std::string range = "-9223372036854775808 到 9223372036854775807";
    form.control("编辑框起始值")->setText("1e30");
    auto r = addOrModifyRule(form, -1, false, host);
    EXPECT_EQ(host.lastText(), "字段 序号 的起始值必须是 " + range + " 之间的整数：1e30");
    EXPECT_EQ(r.focus, "编辑框起始值");
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(form.rowCount(), 3);

    form.control("编辑框起始值")->setText("-9223372036854775808");
    form.control("编辑框递进值")->setText("9223372036854775808");
    r = addOrModifyRule(form, 0, true, host);
    EXPECT_EQ(host.lastText(), "字段 序号 的递进值必须是 " + range + " 之间的整数：9223372036854775808");
    EXPECT_EQ(r.focus, "编辑框递进值");
    EXPECT_EQ(form.cell(0, 1), "文件主名");

    form.control("编辑框递进值")->setText("9223372036854775807");
    r = addOrModifyRule(form, -1, false, host);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(form.cell(3, 2), opts({"-9223372036854775808", "9223372036854775807", "真"}));
}

TEST_F(Editor, LoadingRowsIntoTheEditors)
{
    form.setCell(0, 1, "随机数母");
    form.setCell(0, 2, opts({"真", "假", "真", "真", "7", "9"}));
    EXPECT_EQ(loadRuleIntoEditors(form, 0), 6);
    EXPECT_TRUE(form.control("选择框有数字")->isChecked());
    EXPECT_FALSE(form.control("选择框有小字母")->isChecked());
    EXPECT_TRUE(form.control("选择框转为全角")->isChecked());
    EXPECT_EQ(form.control("编辑框数母字数2")->text(), "9");
    EXPECT_EQ(form.control("编辑框字段名")->text(), "标题");

    // Too few options: the missing ones are empty.
    form.setCell(1, 1, "随机词组");
    form.setCell(1, 2, "a|b");
    EXPECT_EQ(loadRuleIntoEditors(form, 1), 8);
    EXPECT_EQ(form.control("编辑框词组")->text(), "a|b");
    EXPECT_EQ(form.control("组合框模式")->currentIndex(), 0);
    EXPECT_EQ(form.control("编辑框数量1")->text(), "");
    // A stored selection of -1 shows none; any other the item it names.
    form.setCell(1, 2, opts({"a|b", "-1"}));
    loadRuleIntoEditors(form, 1);
    EXPECT_EQ(form.control("组合框模式")->currentIndex(), -1);
    form.setCell(1, 2, opts({"a|b", "2"}));
    loadRuleIntoEditors(form, 1);
    EXPECT_EQ(form.control("组合框模式")->currentIndex(), 2);

    // A fixed text shows only what stands before the first separator.
    form.setCell(2, 1, "固定文本");
    form.setCell(2, 2, "前┊?┊后");
    EXPECT_EQ(loadRuleIntoEditors(form, 2), 10);
    EXPECT_EQ(form.control("编辑框固定的文本")->text(), "前");

    // An unknown label shows 文件主名 and leaves the row alone.
    form.setCell(2, 1, "乱码");
    EXPECT_EQ(loadRuleIntoEditors(form, 2), 0);
    EXPECT_EQ(form.control("组合框数据来源")->currentIndex(), 0);
    EXPECT_EQ(form.cell(2, 1), "乱码");
    EXPECT_EQ(loadRuleIntoEditors(form, 9), -1);
}

TEST_F(Editor, DeleteAndClear)
{
    auto r = deleteRule(form, -1, host);
    EXPECT_EQ(host.lastText(), "请选中一个字段再删除！右击按钮将全部清空！");
    r = deleteRule(form, 2, host);
    EXPECT_EQ(form.rowCount(), 2);
    EXPECT_EQ(r.currentRow, 1); // the new last row
    r = deleteRule(form, 0, host);
    EXPECT_EQ(r.currentRow, 0);
    EXPECT_EQ(form.cell(0, 0), "内容");

    host.answers = {false, true};
    clearAllRules(form, host);
    EXPECT_EQ(form.rowCount(), 1);
    EXPECT_EQ(host.lastQuestion().text, "确定要删除所有字段吗？");
    EXPECT_EQ(host.lastQuestion().caption, "");
    clearAllRules(form, host);
    EXPECT_EQ(form.rowCount(), 0);
}

TEST_F(Editor, PagesAndToggles)
{
    EXPECT_EQ(fileTimeChoice(form).kind, FileTimeKind::Modified);
    form.control("单选框创建")->setChecked(true);
    form.control("组合框类型")->setCurrentIndex(2);
    EXPECT_EQ(fileTimeChoice(form).kind, FileTimeKind::Created);
    EXPECT_EQ(fileTimeChoice(form).formatIndex, 2);

    EXPECT_TRUE(toggleExportConditionPanel(form));
    EXPECT_EQ(form.control("按钮导出条件")->text(), "关闭\r\n设置");
    EXPECT_FALSE(toggleExportConditionPanel(form));
    EXPECT_EQ(form.control("按钮导出条件")->text(), "导出\r\n条件");
    EXPECT_EQ(readRules(form).size(), 3u);
    EXPECT_EQ(readRules(form)[2], (FieldRule{"title", "文件主名", "无"}));
}

} // namespace
} // namespace varnel
