// The names an export gives its files.
#include "transfer/ExportFileNames.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>

namespace varnel {
namespace {

using test::TempDir;

TEST(ExportNames, SafeNamesAndExtensions)
{
    const std::pair<std::string_view, std::string_view> names[] = {
        {"a/b:c", "a／b：c"}, {"\\*?|<>", "＼＊？｜＜＞"}, {"x\"y\r\nz\tw\rv", "xyzwv"}, {"..", ".."}};
    for (const auto &[name, safe] : names)
        EXPECT_EQ(safeFileName(name), safe) << name;
    const std::pair<std::string_view, std::string_view> extensions[] = {
        {"*.txt", ".txt"}, {"*.*", ".html"}, {"", ".html"}, {"*.txt|*.htm", ".html"}};
    for (const auto &[types, extension] : extensions)
        EXPECT_EQ(exportExtension(types), extension) << types;
}

std::string folderOf(const TempDir &dir)
{
    return dir.path().string() + "/";
}

// A name stays taken while its file waits to be written and once it is on
// disk; a file that could not be written leaves its name free again.
TEST(ExportNames, ARunNeverGivesOneNameTwice)
{
    TempDir dir;
    ExportFileNames names(folderOf(dir), ".txt", [] {});
    EXPECT_EQ(names.claim("同名"), "同名.txt");
    EXPECT_EQ(names.claim("同名"), "同名 (2).txt");
    EXPECT_EQ(names.claim("a/b"), "a／b.txt");
    EXPECT_EQ(names.claim("a／b"), "a／b (2).txt"); // the same once made safe

    test::writeBytes(dir.file("同名.txt"), "written");
    names.settle("同名.txt");
    names.settle("同名 (2).txt"); // failed: nothing on disk
    EXPECT_EQ(names.claim("同名"), "同名 (2).txt");
    EXPECT_EQ(names.claim("同名"), "同名 (3).txt");

    // Far more names than the set starts with: none is lost as it grows.
    std::set<std::string> first;
    for (int i = 0; i < 1000; ++i)
        first.insert(names.claim("n" + std::to_string(i)));
    EXPECT_EQ(first.size(), 1000u);
    EXPECT_TRUE(first.count("n999.txt"));
    for (int i = 0; i < 1000; i += 111)
        EXPECT_EQ(names.claim("n" + std::to_string(i)), "n" + std::to_string(i) + " (2).txt");
}

// A long name is cut to fit 255 bytes with its extension and number, never
// inside a character.
TEST(ExportNames, LongNamesAreCutAtACharacter)
{
    TempDir dir;
    ExportFileNames names(folderOf(dir), ".txt", [] {});
    std::string chinese;
    for (int i = 0; i < 100; ++i)
        chinese += "文";
    const std::string first = names.claim(chinese);
    EXPECT_EQ(first, chinese.substr(0, 83 * 3) + ".txt");
    const std::string second = names.claim(chinese);
    EXPECT_EQ(second, chinese.substr(0, 82 * 3) + " (2).txt");
    EXPECT_LE(second.size(), 255u);
    EXPECT_EQ(names.claim(std::string(300, 'n')), std::string(251, 'n') + ".txt");
}

// Only a name that was not in the folder at the start may be written
// without a look for an old file.
TEST(ExportNames, NamesInTheFolderAtTheStart)
{
    TempDir dir;
    test::writeBytes(dir.file("old.html"), "x");
    ExportFileNames names(folderOf(dir), ".html", [] {});
    EXPECT_EQ(names.hintFor("old.html"), TargetHint::Unknown);
    EXPECT_EQ(names.hintFor("new.html"), TargetHint::Absent);

    const ExportFileNames missing(folderOf(dir) + "not-yet/", ".html", [] {});
    EXPECT_EQ(missing.hintFor("new.html"), TargetHint::Unknown);
}

} // namespace
} // namespace varnel
