#include "admin/ListText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnel {
namespace {

TEST(FormatListLine, CellsJoinedByTab)
{
    EXPECT_EQ(formatListLine({"1", "标题", ""}, false), "1\t标题\t");
    EXPECT_EQ(formatListLine({"only"}, false), "only");
    EXPECT_EQ(formatListLine({}, false), "");
}

TEST(FormatListLine, TitleLineQuotesEveryTitle)
{
    EXPECT_EQ(formatListLine({"id(1)", "title(2)"}, true), "\"id(1)\"\t\"title(2)\"");
    EXPECT_EQ(formatListLine({""}, true), "\"\"");
}

TEST(FormatListLine, CellsWithLineBreaksOrTabsAreQuoted)
{
    EXPECT_EQ(formatListLine({"a\tb", "x"}, false), "\"a\tb\"\tx");
    // CR LF becomes LF; a lone LF or CR is kept as it is.
    EXPECT_EQ(formatListLine({"a\r\nb\r\n"}, false), "\"a\nb\n\"");
    EXPECT_EQ(formatListLine({"a\nb"}, false), "\"a\nb\"");
    EXPECT_EQ(formatListLine({"a\rb"}, false), "\"a\rb\"");
    EXPECT_EQ(formatListLine({"a\r\r\nb"}, false), "\"a\r\nb\"");
    // Inside a quoted cell each double quote is doubled.
    EXPECT_EQ(formatListLine({"say \"hi\"\r\nnow"}, false), "\"say \"\"hi\"\"\nnow\"");
}

TEST(FormatListLine, OtherCellsStayAsTheyAre)
{
    EXPECT_EQ(formatListLine({"a,b", "say \"hi\"", "\"x\""}, false), "a,b\tsay \"hi\"\t\"x\"");
}

TEST(WriteGb18030File, WritesTheTextAsGb18030)
{
    test::TempDir dir;
    const auto path = dir.file("out.csv");
    std::string error;
    ASSERT_TRUE(writeGb18030File(path, "\"中文\"\tx\r\n", error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(test::readBytes(path), "\"" + test::fromHex("d6 d0 ce c4") + "\"\tx\r\n");
    // Replaces what was there.
    ASSERT_TRUE(writeGb18030File(path, "a", error));
    EXPECT_EQ(test::readBytes(path), "a");
    // A character outside GBK takes four bytes.
    ASSERT_TRUE(writeGb18030File(path, "😀", error));
    EXPECT_EQ(test::readBytes(path), test::fromHex("94 39 fc 36"));
}

TEST(WriteGb18030File, ReportsWhyItFailed)
{
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(writeGb18030File(dir.file("no-such-folder") / "out.csv", "x", error));
    EXPECT_FALSE(error.empty());
    // A folder where the file should be is left alone.
    std::filesystem::create_directory(dir.file("folder"));
    error.clear();
    EXPECT_FALSE(writeGb18030File(dir.file("folder"), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    EXPECT_FALSE(writeGb18030File("", "x", error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace varnel
