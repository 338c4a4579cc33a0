#include "admin/RowCondition.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnel {
namespace {

using namespace std::string_literals;

class RowConditionTest : public test::SandboxDatabase {
protected:
    // The condition of a row of "select * from `table`;", found by the text
    // of one of its cells.
    std::string conditionOf(const std::string &table, std::size_t column, std::string_view cellBytes)
    {
        EXPECT_TRUE(db.execute(sql::selectAll(Identifier(table))));
        auto r = db.storeResult();
        if (!r) {
            ADD_FAILURE() << "no result";
            return {};
        }
        for (std::uint64_t row = 0; row < r->rowCount(); ++row) {
            if (!r->cellIsNull(row, column) && r->cellBytes(row, column) == cellBytes)
                return rowCondition(*r, row);
        }
        ADD_FAILURE() << "no row holds " << cellBytes;
        return {};
    }

    // Deletes the row the condition picks the way the record viewer does;
    // exactly one row must go.
    void deleteOne(const std::string &table, const std::string &condition)
    {
        const std::string statement = "delete from " + quoteIdentifier(table) + " where " + condition + "  LIMIT 1";
        ASSERT_TRUE(db.execute(statement)) << statement;
        EXPECT_EQ(db.affectedRows(), 1u) << statement;
    }

    std::vector<std::string> sorted(const std::string &sql)
    {
        std::vector<std::string> v = column(sql);
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(RowConditionTest, PrimaryKeyAlone)
{
    ASSERT_TRUE(db.execute("create table p (title varchar(20), id int primary key, f float)"));
    ASSERT_TRUE(db.execute("insert into p values ('a', 1, 0.1), ('a', 2, 0.1), ('b', 3, 0.2)"));
    const std::string condition = conditionOf("p", 1, "2");
    EXPECT_EQ(condition, "`id` <=> 2");
    deleteOne("p", condition);
    EXPECT_EQ(sorted("select id from p"), (std::vector<std::string>{"1", "3"}));
}

TEST_F(RowConditionTest, CompositePrimaryKey)
{
    ASSERT_TRUE(db.execute("create table p (a int, b varchar(5), v text, primary key (a, b))"));
    ASSERT_TRUE(db.execute("insert into p values (1, 'x', 'same'), (1, 'y', 'same'), (2, 'x', 'same')"));
    ASSERT_TRUE(db.execute("select * from p order by a, b"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    const std::string condition = rowCondition(*r, 1);
    EXPECT_EQ(condition, "`a` <=> 1 AND `b` <=> 'y'");
    deleteOne("p", condition);
    EXPECT_EQ(sorted("select concat(a, b) from p"), (std::vector<std::string>{"1x", "2x"}));
}

TEST_F(RowConditionTest, TheTableNamesOfRenamedColumns)
{
    ASSERT_TRUE(db.execute("create table p (id int primary key, title varchar(20))"));
    ASSERT_TRUE(db.execute("insert into p values (7, 'a'), (8, 'b')"));
    ASSERT_TRUE(db.execute("select title as t, id as `key` from p order by id"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(rowCondition(*r, 1), "`id` <=> 8");
}

TEST_F(RowConditionTest, UniqueNotNullColumnWhenThereIsNoPrimaryKey)
{
    ASSERT_TRUE(db.execute("create table u (n int null unique, code varchar(10) not null unique, v text)"));
    ASSERT_TRUE(db.execute("insert into u values (NULL, 'A', 'x'), (NULL, 'B', 'x'), (3, 'C', 'x')"));
    const std::string condition = conditionOf("u", 1, "B");
    // The nullable unique column cannot tell rows apart: NULL is no value.
    EXPECT_EQ(condition, "`code` <=> 'B'");
    deleteOne("u", condition);
    EXPECT_EQ(sorted("select code from u"), (std::vector<std::string>{"A", "C"}));
}

TEST_F(RowConditionTest, EveryColumnWithoutAKeyNullAndFloat)
{
    ASSERT_TRUE(db.execute("create table k (f float, d double, n varchar(10), i int)"));
    ASSERT_TRUE(db.execute("insert into k values (0.1, 0.5, NULL, 1), (0.1, 0.5, 'x', 1), (0.2, 0.5, NULL, 1)"));
    ASSERT_TRUE(db.execute("select * from k"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->rowCount(), 3u);
    std::uint64_t row = 0;
    while (row < r->rowCount() && !(r->cell(row, 0) == "0.1" && r->cellIsNull(row, 2)))
        ++row;
    ASSERT_LT(row, r->rowCount());
    const std::string condition = rowCondition(*r, row);
    // A FLOAT 0.1 is not the double 0.1: its text is compared.
    EXPECT_EQ(condition, "CONCAT(`f`) <=> '0.1' AND CONCAT(`d`) <=> '0.5' AND `n` <=> NULL AND `i` <=> 1");
    deleteOne("k", condition);
    EXPECT_EQ(
        sorted("select concat(f, '/', ifnull(n, 'NULL')) from k"), (std::vector<std::string>{"0.1/x", "0.2/NULL"}));
}

TEST_F(RowConditionTest, BlobWithANulAndDuplicateRows)
{
    ASSERT_TRUE(db.execute("create table bl (b blob, s varchar(10)) character set utf8mb4"));
    for (const std::string &v : {"a\0b"s, "a\0b"s, "a\0c"s, ""s})
        ASSERT_TRUE(db.insertRow(Identifier("bl"), "b=" + quoteString(v) + ", s='x'"));
    const std::string condition = conditionOf("bl", 0, "a\0b"s);
    EXPECT_EQ(condition, "`b` <=> x'610062' AND `s` <=> 'x' COLLATE utf8mb4_bin");
    // Of two identical rows, one goes.
    deleteOne("bl", condition);
    EXPECT_EQ(sorted("select hex(b) from bl"), (std::vector<std::string>{"", "610062", "610063"}));
    deleteOne("bl", condition);
    EXPECT_EQ(sorted("select hex(b) from bl"), (std::vector<std::string>{"", "610063"}));

    const std::string empty = conditionOf("bl", 0, "");
    EXPECT_EQ(empty, "`b` <=> '' AND `s` <=> 'x' COLLATE utf8mb4_bin");
    deleteOne("bl", empty);
    EXPECT_EQ(sorted("select hex(b) from bl"), (std::vector<std::string>{"610063"}));
}

TEST_F(RowConditionTest, TextIsComparedExactlyWithoutAKey)
{
    ASSERT_TRUE(db.execute("create table c (s varchar(20)) character set utf8mb4 collate utf8mb4_general_ci"));
    for (const std::string &v : {"A"s, "a"s, "O'Brien\\"s, "n\0ul"s})
        ASSERT_TRUE(db.insertRow(Identifier("c"), "s=" + quoteString(v)));
    // The collation takes "a" for "A"; the condition does not.
    deleteOne("c", conditionOf("c", 0, "a"));
    EXPECT_EQ(sorted("select hex(s) from c"), (std::vector<std::string>{"41", "4F27427269656E5C", "6E00756C"}));

    const std::string quoted = conditionOf("c", 0, "O'Brien\\");
    EXPECT_EQ(quoted, "`s` <=> 'O\\'Brien\\\\' COLLATE utf8mb4_bin");
    deleteOne("c", quoted);
    deleteOne("c", conditionOf("c", 0, "n\0ul"s));
    EXPECT_EQ(sorted("select s from c"), (std::vector<std::string>{"A"}));
}

TEST_F(RowConditionTest, NumbersDatesAndBits)
{
    ASSERT_TRUE(db.execute("create table m (big bigint, de decimal(10,2), dt datetime, bt bit(8), y year)"));
    ASSERT_TRUE(db.execute("insert into m values (9007199254740993, 1.50, '2024-01-02 03:04:05', b'101', 2024), "
                           "(9007199254740992, 1.50, '2024-01-02 03:04:05', b'101', 2024)"));
    const std::string condition = conditionOf("m", 0, "9007199254740993");
    EXPECT_EQ(condition,
        "`big` <=> 9007199254740993 AND `de` <=> 1.50 AND `dt` <=> '2024-01-02 03:04:05' AND `bt` <=> 5 AND `y` <=> "
        "2024");
    deleteOne("m", condition);
    EXPECT_EQ(column("select big from m"), (std::vector<std::string>{"9007199254740992"}));
}

TEST_F(RowConditionTest, ChineseNamesAndValues)
{
    ASSERT_TRUE(db.execute("create table `文章` (`标题` varchar(20), `内容` text) character set utf8mb4"));
    ASSERT_TRUE(db.execute("insert into `文章` values ('一', '正文'), ('二', '正文')"));
    const std::string condition = conditionOf("文章", 0, "二");
    EXPECT_EQ(condition, "`标题` <=> '二' COLLATE utf8mb4_bin AND `内容` <=> '正文' COLLATE utf8mb4_bin");
    deleteOne("文章", condition);
    EXPECT_EQ(column("select `标题` from `文章`"), (std::vector<std::string>{"一"}));
}

} // namespace
} // namespace varnel
