// How an export reads a table: by which key, in chunks of what size.
#include "transfer/TableWalk.h"
#include "mysql/Statements.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

class TableWalkTest : public test::SandboxDatabase {
protected:
    // The names of the key chosen for a table; empty when it is read whole.
    std::vector<std::string> keyOf(const std::string &table)
    {
        const std::unique_ptr<RowBlock> keys = db.fetchRows(sql::showKeys(Identifier(table)));
        const std::unique_ptr<RowBlock> shape = db.fetchRows(sql::selectNoRows(Identifier(table)));
        if (!keys || !shape) {
            ADD_FAILURE() << "cannot read " << table;
            return {};
        }
        std::vector<std::string> names;
        if (const std::optional<ChunkKey> key = chooseChunkKey(*keys, *shape)) {
            for (const Identifier &n : key->names)
                names.push_back(n.name());
        }
        return names;
    }
};

// Only a key whose values "after" reaches exactly serves: unique, NOT NULL,
// whole columns, types whose text compares as the column does.
TEST_F(TableWalkTest, TheKeyTheRowsAreReadBy)
{
    using Names = std::vector<std::string>;
    const std::pair<const char *, Names> tables[] = {
        {"create table t1 (id int primary key, u int not null unique)", {"id"}},
        {"create table t2 (a int, b varchar(9), primary key (b, a))", {"b", "a"}},
        {"create table t3 (d double primary key, u bigint not null, unique key (u))", {"u"}},
        {"create table t4 (dt datetime primary key, x int)", {"dt"}},
        {"create table t5 (a int, b int not null, unique key ua (a), unique key ub (b))", {"b"}},
        {"create table t6 (k varchar(20) not null, primary key (k(4)))", {}},
        {"create table t7 (ts timestamp not null primary key)", {}},
        {"create table t8 (b bit(8) primary key)", {}},
        {"create table t9 (s set('a','b') not null primary key)", {}},
        {"create table t10 (u int, unique key (u))", {}},
        {"create table t11 (x int, y int not null, key (y))", {}},
    };
    for (const auto &[statement, expected] : tables) {
        SCOPED_TRACE(statement);
        ASSERT_TRUE(db.execute(statement));
        const std::string table = std::string(statement).substr(13, std::string(statement).find(' ', 13) - 13);
        EXPECT_EQ(keyOf(table), expected);
    }
}

// The next chunk starts after the last row's key, which must compare as the
// column does: numbers bare (a quoted BIGINT is compared as a double),
// bytes in hex, the rest quoted.
TEST_F(TableWalkTest, KeyValuesAsLiterals)
{
    ASSERT_TRUE(db.execute("create table k (n bigint unsigned, d decimal(6,2), s varchar(9), b varbinary(4), "
                           "day date, primary key (n, d, s, b, day))"));
    ASSERT_TRUE(db.execute("insert into k values (18446744073709551615, -12.5, 'it''s\\\\', x'00FF27', '2024-02-29')"));
    const std::unique_ptr<RowBlock> keys = db.fetchRows(sql::showKeys(Identifier("k")));
    const std::unique_ptr<RowBlock> rows = db.fetchRows("select * from k");
    ASSERT_TRUE(keys && rows && rows->rowCount() == 1);
    const std::optional<ChunkKey> key = chooseChunkKey(*keys, *rows);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->literals(*rows, 0),
        (std::vector<std::string>{"18446744073709551615", "-12.50", "'it\\'s\\\\'", "X'00FF27'", "'2024-02-29'"}));
}

// A walk reads every row once, in chunks that follow the rows' sizes (the
// budget cuts most of them short), and keeps to its database whatever else
// selects another.
TEST_F(TableWalkTest, EveryRowOnceOnTheRunsDatabase)
{
    ASSERT_TRUE(db.execute("create table w (id bigint primary key, body text)"));
    ASSERT_TRUE(db.execute("insert into w select cast(seq as signed) * 3 - 1000, repeat('x', seq % 50) "
                           "from seq_1_to_500"));
    const std::unique_ptr<RowBlock> keys = db.fetchRows(sql::showKeys(Identifier("w")));
    const std::unique_ptr<RowBlock> shape = db.fetchRows(sql::selectNoRows(Identifier("w")));
    ASSERT_TRUE(keys && shape);
    TableWalk walk(db, name, Identifier("w"), chooseChunkKey(*keys, *shape), 100, 2000);
    ASSERT_TRUE(walk.keyed());
    EXPECT_EQ(walk.countRows(), 500);
    std::vector<std::string> ids;
    std::size_t chunks = 0;
    for (bool more = true; more; ++chunks) {
        ASSERT_TRUE(db.execute("use mysql"));
        const std::unique_ptr<RowBlock> rows = walk.fetch();
        ASSERT_TRUE(rows);
        ASSERT_LE(rows->rowCount(), 100u);
        for (std::size_t r = 0; r < rows->rowCount(); ++r)
            ids.emplace_back(rows->cellText(r, 0));
        more = walk.moveOn(*rows);
    }
    EXPECT_TRUE(walk.walked());
    ASSERT_EQ(ids.size(), 500u);
    EXPECT_EQ(ids.front(), "-997");
    EXPECT_EQ(ids.back(), "500");
    EXPECT_GT(chunks, 5u) << "2000 bytes a chunk cannot hold 100 rows of up to 49 bytes";
}

TEST(TableWalkSizing, ChunksFollowTheRowsSizes)
{
    constexpr std::size_t kRows = 10000, kBytes = 8u << 20;
    // Cut short by the budget: the rows that fitted, at least one.
    EXPECT_EQ(nextChunkRows(false, 37, kBytes, 64, kRows, kBytes), 37u);
    EXPECT_EQ(nextChunkRows(false, 0, 0, 64, kRows, kBytes), 1u);
    // Small rows: twice as many each time, up to the row limit.
    EXPECT_EQ(nextChunkRows(true, 64, 64 * 100, 64, kRows, kBytes), 128u);
    EXPECT_EQ(nextChunkRows(true, 8000, 8000 * 100, 8000, kRows, kBytes), kRows);
    // Large rows: as many as the budget holds by their average.
    EXPECT_EQ(nextChunkRows(true, 64, 64u << 20, 64, kRows, kBytes), 8u);
    EXPECT_EQ(nextChunkRows(true, 2, 64u << 20, 2, kRows, kBytes), 1u);
    // Limits of nothing still read a row at a time.
    EXPECT_EQ(nextChunkRows(true, 1, 10, 1, 0, kBytes), 1u);
    EXPECT_EQ(nextChunkRows(true, 1, 0, 1, kRows, 0), 1u);
}

} // namespace
} // namespace varnel
