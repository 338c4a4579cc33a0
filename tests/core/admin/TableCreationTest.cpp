#include "admin/TableCreation.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mysql/ColumnTypes.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::RecordingHost;

constexpr int kVarchar = 19;
constexpr int kEnum = 24;
constexpr int kSet = 25;
constexpr int kText = 15;

struct FieldEditor : ::testing::Test {
    MemoryForm form{tableFormSpec()};
    RecordingHost host;

    void SetUp() override
    {
        form.control("组合框类型")->setItems(columnTypeLabels());
        form.control("组合框类型")->setCurrentIndex(kDefaultFieldType);
    }
    void name(const char *text) { form.control("编辑框字段名")->setText(text); }
    void type(int index) { form.control("组合框类型")->setCurrentIndex(index); }
    std::vector<std::string> row(int r) { return {form.cell(r, 0), form.cell(r, 1), form.cell(r, 2)}; }
    void addRow(const char *n, const char *t, const char *l)
    {
        const int r = form.appendRow();
        form.setCell(r, 0, n);
        form.setCell(r, 1, t);
        form.setCell(r, 2, l);
    }
};

TEST_F(FieldEditor, AddsWithTheSelectedTypeAndItsStoredValue)
{
    name("  title　");
    auto r = addOrModifyField(form, -1, false, "0", host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(r.currentRow, 0);
    EXPECT_TRUE(r.focus.empty());
    EXPECT_EQ(row(0), (std::vector<std::string>{"title", "单精度小数(float)", "无"}));

    name("name");
    type(kVarchar);
    r = addOrModifyField(form, 0, false, "100", host);
    EXPECT_EQ(r.currentRow, 1);
    EXPECT_EQ(row(1), (std::vector<std::string>{"name", "变长字符串(varchar)", "100"}));

    name("kind");
    type(kEnum);
    r = addOrModifyField(form, 1, false, "'a','b'", host);
    EXPECT_EQ(row(2), (std::vector<std::string>{"kind", "枚举(enum)", "'a','b'"}));
}

TEST_F(FieldEditor, EmptyNameIsRefusedAtItsBox)
{
    name(" 　 ");
    const auto r = addOrModifyField(form, -1, false, "0", host);
    EXPECT_EQ(host.lastText(), "请输入字段名！");
    EXPECT_EQ(r.focus, "编辑框字段名");
    EXPECT_EQ(r.currentRow, -1);
    EXPECT_EQ(form.rowCount(), 0);
    addOrModifyField(form, -1, true, "0", host);
    EXPECT_EQ(host.lastText(), "请输入字段名！");
}

TEST_F(FieldEditor, DuplicateNameSelectsTheListedRow)
{
    addRow("a", "文本(text)", "无");
    addRow("b", "文本(text)", "无");
    name("b");
    auto r = addOrModifyField(form, 0, false, "0", host);
    EXPECT_EQ(host.lastText(), "字段名不能重复：b");
    EXPECT_EQ(r.currentRow, 1);
    EXPECT_EQ(r.focus, "超级列表框");
    EXPECT_EQ(form.rowCount(), 2);
    // Letter case counts.
    name("B");
    r = addOrModifyField(form, 0, false, "0", host);
    EXPECT_EQ(r.currentRow, 2);
    EXPECT_EQ(form.rowCount(), 3);
}

TEST_F(FieldEditor, ModifyNeedsACurrentRowAndAcceptsAnotherRowsName)
{
    addRow("a", "文本(text)", "无");
    addRow("b", "文本(text)", "无");
    name("b");
    auto r = addOrModifyField(form, -1, true, "0", host);
    EXPECT_EQ(host.lastText(), "请选中一个字段再修改！");
    EXPECT_EQ(r.currentRow, -1);
    EXPECT_TRUE(r.focus.empty());

    type(kVarchar);
    r = addOrModifyField(form, 0, true, "42", host);
    EXPECT_EQ(r.currentRow, 0);
    EXPECT_EQ(row(0), (std::vector<std::string>{"b", "变长字符串(varchar)", "42"}));
    EXPECT_EQ(form.rowCount(), 2);
}

TEST_F(FieldEditor, DeleteAndClear)
{
    addRow("a", "文本(text)", "无");
    addRow("b", "文本(text)", "无");
    addRow("c", "文本(text)", "无");
    auto r = deleteField(form, -1, host);
    EXPECT_EQ(host.lastText(), "请选中一个字段再删除！右击按钮将全部清空！");
    EXPECT_EQ(form.rowCount(), 3);

    r = deleteField(form, 0, host);
    EXPECT_EQ(r.currentRow, 0);
    EXPECT_EQ(r.focus, "超级列表框");
    EXPECT_EQ(form.cell(0, 0), "b");
    // The last row gone: the new last row is current.
    r = deleteField(form, 1, host);
    EXPECT_EQ(r.currentRow, 0);
    EXPECT_EQ(form.rowCount(), 1);

    host.answers = {false};
    r = clearAllFields(form, host);
    EXPECT_EQ(host.lastQuestion().text, "确定要删除所有字段吗？");
    EXPECT_EQ(form.rowCount(), 1);
    EXPECT_FALSE(r.changed);
    host.answers = {true};
    r = clearAllFields(form, host);
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_TRUE(r.changed);
}

TEST(TypeItemValues, VarcharKeepsAWholeNumberEnumAndSetTheText)
{
    EXPECT_EQ(leadingWholeNumber("100"), 100);
    EXPECT_EQ(leadingWholeNumber(" -12abc"), -12);
    EXPECT_EQ(leadingWholeNumber("+7"), 7);
    EXPECT_EQ(leadingWholeNumber("abc"), 0);
    EXPECT_EQ(leadingWholeNumber(""), 0);
    EXPECT_EQ(leadingWholeNumber("99999999999999999999999"), INT64_MAX);

    EXPECT_EQ(storedValueFromAnswer("变长字符串(varchar)", "64 chars"), "64");
    EXPECT_EQ(storedValueFromAnswer("变长字符串(varchar)", "many"), "0");
    EXPECT_EQ(storedValueFromAnswer("枚举(enum)", "'a','b'"), "'a','b'");
    EXPECT_EQ(storedValueFromAnswer("集合(set)", "'x'"), "'x'");

    EXPECT_EQ(storedValueFromCell("变长字符串(varchar)", "无"), "0");
    EXPECT_EQ(storedValueFromCell("变长字符串(varchar)", "120"), "120");
    EXPECT_EQ(storedValueFromCell("枚举(enum)", "'a','b'"), "'a','b'");
    EXPECT_EQ(storedValueFromCell("枚举(enum)", "无"), "0");

    EXPECT_EQ(lengthCellText("变长字符串(varchar)", "0"), "0");
    EXPECT_EQ(lengthCellText("变长字符串(varchar)", "100"), "100");
    EXPECT_EQ(lengthCellText("集合(set)", "'a'"), "'a'");
    EXPECT_EQ(lengthCellText("文本(text)", "100"), "无");
}

TEST(TypeItemValues, RowTypeFindsItsItemBySqlName)
{
    const auto labels = columnTypeLabels();
    ASSERT_EQ(labels.size(), 26u);
    EXPECT_EQ(labels[kDefaultFieldType], "单精度小数(float)");
    EXPECT_EQ(typeIndexOfRowType(labels, "变长字符串(varchar)"), kVarchar);
    EXPECT_EQ(typeIndexOfRowType(labels, "别的名字(varchar)"), kVarchar);
    EXPECT_EQ(typeIndexOfRowType(labels, "集合(set)"), kSet);
    EXPECT_EQ(typeIndexOfRowType(labels, "文本(text)"), kText);
    EXPECT_EQ(typeIndexOfRowType(labels, "没有这种(nothing)"), -1);
}

TEST_F(FieldEditor, ColumnListStartsWithTheKey)
{
    addRow("title", "文本(text)", "无");
    const auto columns = columnSpecsFromRows(form);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].kind, 1);
    EXPECT_EQ(columns[0].name, "ID");
    EXPECT_EQ(columns[0].typeCode, kTypeBigint);
    EXPECT_FALSE(columns[0].allowNull);
    EXPECT_TRUE(columns[0].autoIncrement);
    EXPECT_EQ(columns[1].kind, 2);
    EXPECT_EQ(columns[1].primaryKey, "ID");
    EXPECT_EQ(columns[2].name, "title");
    EXPECT_EQ(columns[2].typeCode, kTypeText);
    EXPECT_TRUE(columns[2].allowNull);
    EXPECT_FALSE(columns[2].autoIncrement);
    EXPECT_EQ(columns[2].attributes, 0);
    EXPECT_EQ(columns[2].lengthOrValues, "");

    const auto statement = sql::createTable(Identifier("t"), columns);
    ASSERT_TRUE(statement);
    EXPECT_EQ(*statement + " " + std::string(sql::kUtf8mb4TableOptions),
        "create table `t` (`ID` bigint  NOT NULL AUTO_INCREMENT, PRIMARY KEY  (ID) , `title` text ) DEFAULT "
        "CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
}

TEST_F(FieldEditor, VarcharLengthsEnumAndSetValues)
{
    addRow("v0", "变长字符串(varchar)", "0");
    addRow("v100", "变长字符串(varchar)", "100");
    addRow("vneg", "变长字符串(varchar)", "-5");
    addRow("vtext", "变长字符串(varchar)", "12abc");
    addRow("vnone", "变长字符串(varchar)", "无");
    addRow("e", "枚举(enum)", "'a','b'");
    addRow("s", "集合(set)", "'x','y'");
    addRow("c", "字符串(char)", "10");
    const auto columns = columnSpecsFromRows(form);
    ASSERT_EQ(columns.size(), 10u);
    const char *lengths[] = {"255", "100", "255", "255", "255"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(columns[2 + i].typeCode, kTypeVarchar);
        EXPECT_EQ(columns[2 + i].attributes, 1);
        EXPECT_EQ(columns[2 + i].lengthOrValues, lengths[i]) << columns[2 + i].name;
    }
    EXPECT_EQ(columns[7].lengthOrValues, "'a','b'");
    EXPECT_EQ(columns[7].attributes, 0);
    EXPECT_EQ(columns[8].lengthOrValues, "'x','y'");
    EXPECT_EQ(columns[9].lengthOrValues, "");
    EXPECT_EQ(columns[9].attributes, 0);

    const auto statement = sql::createTable(Identifier("t"), columns);
    ASSERT_TRUE(statement);
    EXPECT_NE(statement->find("`v0` varchar  (255) ,"), std::string::npos) << *statement;
    EXPECT_NE(statement->find("`v100` varchar  (100) ,"), std::string::npos) << *statement;
    EXPECT_NE(statement->find("`e` enum ('a','b'),"), std::string::npos) << *statement;
    EXPECT_NE(statement->find("`s` set ('x','y'),"), std::string::npos) << *statement;
    EXPECT_NE(statement->find("`c` char )"), std::string::npos) << *statement;
}

TEST_F(FieldEditor, OddNamesAreQuotedAsOneIdentifier)
{
    addRow("a b", "整数(int)", "无");
    addRow("x`y", "整数(int)", "无");
    const auto statement = sql::createTable(Identifier("t.u"), columnSpecsFromRows(form));
    ASSERT_TRUE(statement);
    EXPECT_EQ(*statement,
        "create table `t.u` (`ID` bigint  NOT NULL AUTO_INCREMENT, PRIMARY KEY  (ID) , `a b` int ,`x``y` int )");
}

} // namespace
} // namespace varnel
