// Names and values on their way into statements.
#include "mysql/Quoting.h"
#include "mysql/Statements.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// A name is one identifier whatever it holds: each backtick doubled, so that
// none ends the quoting early, and a dot is part of the name.
TEST(Quoting, IdentifiersKeepEveryCharacterInsideTheQuotes)
{
    EXPECT_EQ(quoteIdentifier("t"), "`t`");
    EXPECT_EQ(quoteIdentifier(""), "``");
    EXPECT_EQ(quoteIdentifier("`"), "````");
    EXPECT_EQ(quoteIdentifier("a`b"), "`a``b`");
    EXPECT_EQ(quoteIdentifier("``x`"), "`````x```");
    EXPECT_EQ(quoteIdentifier("标题 x'y\\z\"."), "`标题 x'y\\z\".`");
    EXPECT_EQ(Identifier("a.b").sql(), "`a.b`");
    EXPECT_EQ(Identifier("a.b").name(), "a.b");
    // Only a typed table name splits, at its first dot.
    EXPECT_EQ(Identifier::typedTableName("t").sql(), "`t`");
    EXPECT_EQ(Identifier::typedTableName("d.t").sql(), "`d`.`t`");
    EXPECT_EQ(Identifier::typedTableName("d`b.t`x.y").sql(), "`d``b`.`t``x.y`");
}

TEST(Quoting, LiteralsEscapeEveryByteTheServerTreatsSpecially)
{
    EXPECT_EQ(escapeString("x'y\\"), "x\\'y\\\\");
    EXPECT_EQ(escapeString(std::string("a\0b\r\n\"\032", 7)), "a\\0b\\r\\n\\\"\\Z");
    EXPECT_EQ(quoteString("it's"), "'it\\'s'");
    EXPECT_EQ(quoteString(""), "''");
    EXPECT_EQ(escapeString("标题"), "标题");
}

// Every byte as two digits, high nibble first; bytes above 0x7F must not
// go through a signed char on the way.
TEST(Quoting, HexLiteralsCarryEveryByte)
{
    EXPECT_EQ(hexLiteral(std::string("\x00\x0F\xF0\xFF'\\", 6)), "X'000FF0FF275C'");
    EXPECT_EQ(hexLiteral("标"), "X'E6A087'");
    EXPECT_EQ(hexLiteral(""), "X''");
}

// Ordinary grants keep their exact text; other names get backticks unless the
// user wrote them.
TEST(Quoting, GrantTargetsAreQuotedOnlyWhenTheyNeedIt)
{
    EXPECT_EQ(grantName("shop_2$"), "shop_2$");
    EXPECT_EQ(grantName("*"), "*");
    EXPECT_EQ(grantName("`文章`"), "`文章`");
    EXPECT_EQ(grantName("文章"), "`文章`");
    EXPECT_EQ(grantName("my-db"), "`my-db`");
    EXPECT_EQ(grantName("a`b"), "`a``b`");
    EXPECT_EQ(sql::grantTarget("d", "t"), "d.t");
    EXPECT_EQ(sql::grantTarget("库", "表"), "`库`.`表`");
    EXPECT_EQ(sql::grantTarget("`库`", "*"), "`库`.*");
    EXPECT_EQ(sql::grantTarget("*", "t"), "*.*");
}

TEST(Quoting, AccountStatementsTakeUserHostAndPasswordAsValues)
{
    EXPECT_EQ(sql::grantStatement("h'", "u'", "p'w", "d", "", sql::PrivSelect),
        "GRANT select ON d.* TO 'u\\''@'h\\'' IDENTIFIED BY 'p\\'w'");
    EXPECT_EQ(sql::userExistsQuery("%", "a'b"), "select * from mysql.user where host='%' and user='a\\'b'");
    EXPECT_EQ(sql::deleteUserStatements("x'", "").front(), "delete from mysql.user where host='%' and user='x\\''");
    const auto db = sql::setPrivilegesStatements("u", "h", "d'", "", sql::PrivSelect);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->check, "select * from mysql.db where host='h' and user='u' and db='d\\''");
}

} // namespace
} // namespace varnel
