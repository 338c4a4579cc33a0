// Names the engines put into file names and statements.
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(ExportNames, SafeNamesAndExtensions)
{
    EXPECT_EQ(safeFileName("a/b:c"), "a／b：c");
    EXPECT_EQ(safeFileName("\\*?|<>"), "＼＊？｜＜＞");
    EXPECT_EQ(safeFileName("x\"y\r\nz\tw\rv"), "xyzwv");
    EXPECT_EQ(safeFileName(".."), "..");
    EXPECT_EQ(exportExtension("*.txt"), ".txt");
    EXPECT_EQ(exportExtension("*.*"), ".html");
    EXPECT_EQ(exportExtension(""), ".html");
    EXPECT_EQ(exportExtension("*.txt|*.htm"), ".html");
}

// A name is one identifier whatever it holds: each backtick doubled, so that
// none ends the quoting early.
TEST(ImportNames, IdentifiersKeepEveryCharacterInsideTheQuotes)
{
    EXPECT_EQ(quoteIdentifier("t"), "`t`");
    EXPECT_EQ(quoteIdentifier(""), "``");
    EXPECT_EQ(quoteIdentifier("`"), "````");
    EXPECT_EQ(quoteIdentifier("a`b"), "`a``b`");
    EXPECT_EQ(quoteIdentifier("``x`"), "`````x```");
    EXPECT_EQ(quoteIdentifier("标题 x'y\\z\"."), "`标题 x'y\\z\".`");
    // "db.table": each side of the first dot on its own.
    EXPECT_EQ(quoteQualifiedName("t"), "`t`");
    EXPECT_EQ(quoteQualifiedName("d.t"), "`d`.`t`");
    EXPECT_EQ(quoteQualifiedName("d`b.t`x.y"), "`d``b`.`t``x.y`");
}

} // namespace
} // namespace varnel
