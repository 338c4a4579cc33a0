// Names the engines put into file names and statements.
#include "transfer/ArticleExporter.h"

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

} // namespace
} // namespace varnel
