#include "mysql/ResultSet.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

using namespace std::string_literals;

class ResultSetTest : public test::SandboxDatabase {
protected:
    void SetUp() override
    {
        SandboxDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(db.execute("create table t (id int primary key, u varchar(10) not null unique, "
                               "title varchar(20), b blob, f float) character set utf8mb4"));
        ASSERT_TRUE(db.insertRow(Identifier("t"), "id=1, u='x', title='中文', b=" + quoteString("a\0b"s) + ", f=0.5"));
        ASSERT_TRUE(db.insertRow(Identifier("t"), "id=2, u='y', title=NULL, b='', f=NULL"));
    }
};

TEST_F(ResultSetTest, ColumnsTellNamesKeysAndKinds)
{
    ASSERT_TRUE(db.execute("select id, u, title as heading, b, f, id + 1 from t order by id"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->columnCount(), 6u);
    const auto &c = r->columns();
    ASSERT_EQ(c.size(), 6u);

    EXPECT_EQ(c[0].name, "id");
    EXPECT_EQ(c[0].orgName, "id");
    EXPECT_EQ(c[0].orgTable, "t");
    EXPECT_TRUE(c[0].primaryKey);
    EXPECT_TRUE(c[0].notNull);
    EXPECT_TRUE(c[0].numeric);
    EXPECT_EQ(c[0].type, fieldtype::kLong);
    // Numbers come in the binary character set, but are not bytes.
    EXPECT_EQ(c[0].charset, 63u);
    EXPECT_FALSE(c[0].binary);

    EXPECT_TRUE(c[1].uniqueKey);
    EXPECT_TRUE(c[1].notNull);
    EXPECT_FALSE(c[1].primaryKey);
    EXPECT_FALSE(c[1].numeric);

    EXPECT_EQ(c[2].name, "heading");
    EXPECT_EQ(c[2].orgName, "title");
    EXPECT_FALSE(c[2].notNull);
    EXPECT_NE(c[2].charset, 63u);
    EXPECT_FALSE(c[2].binary);

    EXPECT_EQ(c[3].charset, 63u);
    EXPECT_TRUE(c[3].binary);
    EXPECT_FALSE(c[3].numeric);

    EXPECT_EQ(c[4].type, fieldtype::kFloat);
    EXPECT_TRUE(c[4].numeric);

    EXPECT_EQ(c[5].name, "id + 1");
    EXPECT_EQ(c[5].orgName, "");
    EXPECT_FALSE(c[5].primaryKey);
    EXPECT_EQ(c[0].flags & 2u, 2u); // the library's primary key flag
}

TEST_F(ResultSetTest, CellsReadInAnyOrderWithoutMovingTheCursor)
{
    ASSERT_TRUE(db.execute("select id, u, title, b, f from t order by id"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->seekRow(1));
    EXPECT_EQ(r->cell(0, 2), "中文");
    EXPECT_EQ(r->cell(1, 0), "2");
    EXPECT_EQ(r->cell(0, 4), "0.5");
    // All bytes of a BLOB, its NUL included; cell stops at the NUL as
    // readField does.
    EXPECT_EQ(r->cellBytes(0, 3), "a\0b"s);
    EXPECT_EQ(r->cellBytes(0, 3).size(), 3u);
    EXPECT_EQ(r->cell(0, 3), "a");
    EXPECT_EQ(r->cursor(), 1u);

    // NULL and an empty value: both empty, only one NULL.
    EXPECT_TRUE(r->cellIsNull(1, 2));
    EXPECT_EQ(r->cellBytes(1, 2), "");
    EXPECT_EQ(r->cell(1, 2), "");
    EXPECT_FALSE(r->cellIsNull(1, 3));
    EXPECT_EQ(r->cellBytes(1, 3), "");
    EXPECT_FALSE(r->cellIsNull(0, 2));

    // Out of range: empty, not NULL.
    EXPECT_EQ(r->cellBytes(2, 0), "");
    EXPECT_EQ(r->cell(0, 5), "");
    EXPECT_FALSE(r->cellIsNull(2, 0));
    EXPECT_FALSE(r->cellIsNull(0, 5));

    std::string v;
    ASSERT_TRUE(r->readField(0.0, v));
    EXPECT_EQ(v, "2");

    r->free();
    EXPECT_EQ(r->columnCount(), 0u);
    EXPECT_EQ(r->cellBytes(0, 0), "");
}

TEST_F(ResultSetTest, AffectedRowsOfTheLastStatement)
{
    ASSERT_TRUE(db.execute("insert into t (id, u) values (3, 'p'), (4, 'q'), (5, 'r')"));
    EXPECT_EQ(db.affectedRows(), 3u);
    ASSERT_TRUE(db.execute("update t set title='z' where id > 3"));
    EXPECT_EQ(db.affectedRows(), 2u);
    // Rows matched but not changed are not counted.
    ASSERT_TRUE(db.execute("update t set title='z' where id > 3"));
    EXPECT_EQ(db.affectedRows(), 0u);
    ASSERT_TRUE(db.deleteRows(Identifier("t"), "id = 99"));
    EXPECT_EQ(db.affectedRows(), 0u);
    ASSERT_TRUE(db.deleteRows(Identifier("t"), "id >= 4"));
    EXPECT_EQ(db.affectedRows(), 2u);
    // Rows of a select, once stored.
    ASSERT_TRUE(db.execute("select * from t"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(db.affectedRows(), 3u);
    db.disconnect();
    EXPECT_EQ(db.affectedRows(), 0u);
    MySqlConnection none;
    EXPECT_EQ(none.affectedRows(), 0u);
}

} // namespace
} // namespace varnel
