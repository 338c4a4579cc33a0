#include "mapping/FileSources.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace varnel {
namespace {

using test::ScriptedRandom;
using test::TempDir;

TEST(FileNames, MainNameAndParentFolder)
{
    const struct {
        const char *path;
        const char *mainName;
        const char *parent;
    } rows[] = {
        {"/1/2.txt", "2", "1"},
        {"/data/a.b.txt", "a.b", "data"},
        {"/x/.hidden", "", "x"},
        {"noext", "noext", ""},
        {"2.txt", "2", ""},
        {"/2.txt", "2", ""},
        {"dir/文章.htm", "文章", "dir"},
        {"/a/b/", "", "b"},
        {"", "", ""},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(fileMainName(row.path), row.mainName) << row.path;
        EXPECT_EQ(parentDirName(row.path), row.parent) << row.path;
    }
}

TEST(FormatTime, Indices)
{
    const DateTime t{2024, 3, 5, 7, 8, 9};
    EXPECT_EQ(formatTime(0, "", t), "2024-03-05 07:08:09");
    EXPECT_EQ(formatTime(1, "", t), "2024-03-05");
    EXPECT_EQ(formatTime(2, "", t), "07:08:09");
    EXPECT_EQ(formatTime(-1, "#3/#2/#1 #6", t), "05/03/2024 09");
    EXPECT_EQ(formatTime(-1, "", t), "");
    EXPECT_EQ(parseDateTime("2024-03-05 07:08:09"), t);
    EXPECT_EQ(parseDateTime("2024-03-05 ")->hour, 0);
    EXPECT_FALSE(parseDateTime("junk").has_value());
}

TEST(FileTime, FollowsThePageNotTheRule)
{
    TempDir dir;
    const auto path = dir.file("a.txt");
    test::writeBytes(path, "x");
    test::ScopedEnv tz("TZ", "UTC0");
    // Modified 2024-03-05 07:08:09 UTC, accessed at midnight.
    const struct timespec times[2] = {{1709596800, 0}, {1709622489, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    EXPECT_EQ(fileTimeValue(path, {FileTimeKind::Modified, 1}), "2024-03-05");
    EXPECT_EQ(fileTimeValue(path, {FileTimeKind::Modified, 0}), "2024-03-05 07:08:09");
    EXPECT_EQ(fileTimeValue(path, {FileTimeKind::Modified, 2}), "07:08:09");
    EXPECT_EQ(fileTimeValue(path, {FileTimeKind::Accessed, 0}), "2024-03-05 00:00:00");
    const auto times3 = fileTimes(path);
    ASSERT_TRUE(times3.has_value());
    EXPECT_EQ(times3->accessed, "2024-03-05 "); // a midnight access keeps only the date
    EXPECT_FALSE(fileTimeValue(path, {FileTimeKind::Created, 0}).empty());
    // A file that cannot be opened has no time.
    EXPECT_EQ(fileTimeValue(dir.file("missing"), {FileTimeKind::Modified, 0}), "");
}

TEST(Summary, EntitiesTagsBreaksThenLength)
{
    const std::string text = "<p>第一段&nbsp;&nbsp;文字</p>\r\n<a href='x'>链接</a>五十个字以内的短文。";
    ScriptedRandom random({}, 1000);
    EXPECT_EQ(contentSummary(text, "100", "200", random), "第一段文字五十个字以内的短文。");
    ScriptedRandom two({2});
    EXPECT_EQ(contentSummary(text, "2", "2", two), "第一");
    ScriptedRandom zero;
    EXPECT_EQ(contentSummary(text, "0", "0", zero), "");
    EXPECT_EQ(contentSummary(text, "abc", "-5", zero), "");
}

TEST(PageTitle, MarkersIgnoreCaseAndQuotes)
{
    EXPECT_EQ(pageTitle("<HTML><TITLE>标题 A</TITLE>", "<title>", "</title>"), "标题 A");
    EXPECT_EQ(pageTitle("<h1 class=\"t\">x</h1>", "<h1 class=''t''>", "</h1>"), "x");
    EXPECT_EQ(pageTitle("<h1 class=t>y</h1>", "<h1 class=''t''>", "</h1>"), "y");
    EXPECT_EQ(pageTitle("no title", "<title>", "</title>"), "");
}

} // namespace
} // namespace varnel
