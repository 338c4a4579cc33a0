// The create sequence of the table window against the sandbox server.
#include "admin/TableCreation.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mysql/MySqlConnection.h"
#include "support/RecordingHost.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnel {
namespace {

class TableCreationDbTest : public test::SandboxDatabase {
protected:
    void addRow(const char *n, const char *t, const char *l)
    {
        const int r = fields.appendRow();
        fields.setCell(r, 0, n);
        fields.setCell(r, 1, t);
        fields.setCell(r, 2, l);
    }
    // A database of the test's own besides its first; dropped with it.
    std::string other(const std::string &suffix) { return name + suffix; }
    CreationResult run(const std::string &database, const std::string &table, bool databaseOnly = false)
    {
        sent.clear();
        db.setStatementObserver([this](std::string_view s) { sent.emplace_back(s); });
        const CreationResult r = createDatabaseAndTable(db, {database, table, databaseOnly}, fields, host);
        db.setStatementObserver({});
        return r;
    }
    std::string schemaCharset(const std::string &database)
    {
        const auto v = column("select DEFAULT_CHARACTER_SET_NAME from information_schema.SCHEMATA where SCHEMA_NAME="
            + quoteString(database));
        return v.empty() ? std::string() : v.front();
    }
    std::string tableCollation(const std::string &database, const std::string &table)
    {
        const auto v = column("select TABLE_COLLATION from information_schema.TABLES where TABLE_SCHEMA="
            + quoteString(database) + " and TABLE_NAME=" + quoteString(table));
        return v.empty() ? std::string() : v.front();
    }
    bool anySent(std::string_view start)
    {
        return std::any_of(sent.begin(), sent.end(), [start](const std::string &s) { return s.starts_with(start); });
    }

    MemoryForm fields{tableFormSpec()};
    test::RecordingHost host;
    std::vector<std::string> sent;
};

TEST_F(TableCreationDbTest, NamesAreAskedForFirst)
{
    addRow("title", "文本(text)", "无");
    auto r = run("", "t");
    EXPECT_EQ(host.lastText(), "请输入库名！");
    EXPECT_EQ(r.focus, "编辑框库名");
    EXPECT_TRUE(sent.empty());
    r = run(name, "");
    EXPECT_EQ(host.lastText(), "请输入表名！");
    EXPECT_EQ(r.focus, "编辑框表名");
    EXPECT_TRUE(sent.empty());
    // Only the database: no table name needed.
    r = run(name, "", true);
    EXPECT_EQ(host.lastText(), "库已存在！");
    EXPECT_EQ(r.focus, "编辑框库名");
    EXPECT_FALSE(r.databaseCreated);
}

TEST_F(TableCreationDbTest, DatabaseOnlyIsCreatedInUtf8mb4)
{
    const std::string fresh = other("_n`b");
    const auto r = run(fresh, "t", true);
    EXPECT_EQ(host.lastText(), "创建库成功！");
    EXPECT_TRUE(r.databaseCreated);
    EXPECT_FALSE(r.tableCreated);
    EXPECT_EQ(schemaCharset(fresh), "utf8mb4");
    EXPECT_TRUE(
        column("select TABLE_NAME from information_schema.TABLES where TABLE_SCHEMA=" + quoteString(fresh)).empty());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.at(0), "create database `" + name + "_n``b`");
    EXPECT_EQ(sent.at(1), sql::databaseCharset(Identifier(fresh)));
}

TEST_F(TableCreationDbTest, TableWithItsDatabaseAndTheCharsetInTheStatement)
{
    addRow("title", "文本(text)", "无");
    addRow("a b", "变长字符串(varchar)", "0");
    addRow("x`y", "枚举(enum)", "'a','b'");
    addRow("n", "变长字符串(varchar)", "100");
    const std::string fresh = other("_t");
    const auto r = run(fresh, "t u");
    EXPECT_EQ(host.lastText(), "创建表成功");
    EXPECT_TRUE(r.databaseCreated);
    EXPECT_TRUE(r.tableCreated);
    EXPECT_EQ(sent.back(),
        "create table `t u` (`ID` bigint  NOT NULL AUTO_INCREMENT, PRIMARY KEY  (ID) , `title` text ,`a b` varchar  "
        "(255) ,`x``y` enum ('a','b'),`n` varchar  (100) ) DEFAULT CHARACTER SET utf8mb4 COLLATE "
        "utf8mb4_general_ci");
    EXPECT_FALSE(anySent("ALTER TABLE"));
    EXPECT_EQ(tableCollation(fresh, "t u"), "utf8mb4_general_ci");
    const auto types = column("select COLUMN_TYPE from information_schema.COLUMNS where TABLE_SCHEMA="
        + quoteString(fresh) + " and TABLE_NAME='t u' order by ORDINAL_POSITION");
    EXPECT_EQ(types, (std::vector<std::string>{"bigint(20)", "text", "varchar(255)", "enum('a','b')", "varchar(100)"}));
    const auto names = column("select COLUMN_NAME from information_schema.COLUMNS where TABLE_SCHEMA="
        + quoteString(fresh) + " and TABLE_NAME='t u' order by ORDINAL_POSITION");
    EXPECT_EQ(names, (std::vector<std::string>{"ID", "title", "a b", "x`y", "n"}));
}

TEST_F(TableCreationDbTest, AnExistingTableIsLeftAsItIs)
{
    ASSERT_TRUE(db.execute("create table old (v int) character set latin1"));
    addRow("title", "文本(text)", "无");
    const auto r = run(name, "old");
    EXPECT_EQ(host.lastText(), "创建表失败");
    EXPECT_FALSE(r.tableCreated);
    EXPECT_FALSE(r.databaseCreated);
    EXPECT_FALSE(anySent("ALTER"));
    EXPECT_EQ(tableCollation(name, "old"), "latin1_swedish_ci");
}

TEST_F(TableCreationDbTest, FieldsAreNeededAndADuplicateIdFails)
{
    auto r = run(name, "t");
    EXPECT_EQ(host.lastText(), "请添加至少一个字段！");
    EXPECT_FALSE(r.tableCreated);
    addRow("ID", "整数(int)", "无");
    r = run(name, "t");
    EXPECT_EQ(host.lastText(), "创建表失败");
}

TEST_F(TableCreationDbTest, ADatabaseThatCannotBeCreated)
{
    addRow("title", "文本(text)", "无");
    const std::string tooLong(70, 'x');
    run(tooLong, "t");
    EXPECT_EQ(host.lastText(), "指定库不存在，且创建失败！");
    run(tooLong, "", true);
    EXPECT_EQ(host.lastText(), "创建库失败！");
}

} // namespace
} // namespace varnel
