#include "transfer/FileLister.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnel {
namespace {

using test::TempDir;

std::vector<std::string> names(const std::vector<std::string> &paths, const std::filesystem::path &base)
{
    std::vector<std::string> out;
    for (const auto &p : paths)
        out.push_back(std::filesystem::path(p).lexically_relative(base).string());
    return out;
}

TEST(Wildcards, CaseAndCharacters)
{
    EXPECT_TRUE(wildcardMatch("*.txt", "A.TXT"));
    EXPECT_TRUE(wildcardMatch("*.*", "noextension"));
    EXPECT_TRUE(wildcardMatch("文章?.htm", "文章1.htm"));
    EXPECT_TRUE(wildcardMatch("文章?.htm", "文章二.htm")); // ? is one character, not one byte
    EXPECT_FALSE(wildcardMatch("文章?.htm", "文章12.htm"));
    EXPECT_FALSE(wildcardMatch("*.htm", "a.html"));
    EXPECT_TRUE(wildcardMatch("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(wildcardMatch("a*b*c", "aXXbYY"));
}

struct Folder : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        for (const char *name : {"b.txt", "A.TXT", "c.htm", "d.html", "e.HTM", "sub/x.txt", "sub/deeper/y.txt",
                 "sub2/z.txt", "folder.txt/inner.txt"}) {
            std::filesystem::create_directories(dir.file(name).parent_path());
            test::writeBytes(dir.file(name), "x");
        }
        std::filesystem::create_directory_symlink(dir.path(), dir.file("sub/loop"));
    }
    std::vector<std::string> list(const std::string &patterns, bool recurse, bool alternative = false)
    {
        ListOptions o;
        o.patterns = patterns;
        o.recurse = recurse;
        o.alternative = alternative;
        return names(listArticleFiles(dir.path().string(), o), dir.path());
    }
};

TEST_F(Folder, NormalListerPatternsAndOrder)
{
    EXPECT_EQ(list("*.txt", false), (std::vector<std::string>{"A.TXT", "b.txt"}));
    // A file that two patterns match comes twice.
    EXPECT_EQ(list("*.txt|*.TXT", false), (std::vector<std::string>{"A.TXT", "b.txt", "A.TXT", "b.txt"}));
    EXPECT_EQ(list("", false).size(), 5u); // "*.*": files only, not the folder named folder.txt
    // Own files first, then each sub-folder depth-first; the link loop is
    // not followed.
    EXPECT_EQ(list("*.txt", true),
        (std::vector<std::string>{
            "A.TXT", "b.txt", "folder.txt/inner.txt", "sub/x.txt", "sub/deeper/y.txt", "sub2/z.txt"}));
}

TEST_F(Folder, AlternativeListerRules)
{
    EXPECT_EQ(list("*.htm", false, true), (std::vector<std::string>{"c.htm", "e.HTM"}));
    EXPECT_EQ(list("*.txt", false, true), (std::vector<std::string>{"A.TXT", "b.txt"}));
    // The whole text is one expression, so "|" is an alternation there.
    EXPECT_EQ(list("*.txt|*.htm", false, true), (std::vector<std::string>{"A.TXT", "b.txt", "c.htm", "e.HTM"}));
    EXPECT_EQ(list("*", false, true).size(), 5u);
    EXPECT_EQ(list("?.htm*", false, true), (std::vector<std::string>{"c.htm", "d.html", "e.HTM"}));
}

TEST_F(Folder, StopEndsListingBetweenFolders)
{
    ListOptions o;
    o.patterns = "*.txt";
    o.recurse = true;
    int calls = 0;
    o.stopRequested = [&] { return ++calls > 1; };
    const auto files = names(listArticleFiles(dir.path().string(), o), dir.path());
    EXPECT_EQ(files, (std::vector<std::string>{"A.TXT", "b.txt", "folder.txt/inner.txt"}));
    EXPECT_TRUE(listArticleFiles(dir.file("missing").string(), o).empty());
}

// Files and sub-folders come in name order with case ignored, by both
// listers: "a" before "B" before "c", whatever their case.
TEST(FolderOrder, CaseIsIgnored)
{
    TempDir dir;
    for (const char *name : {"b.txt", "C.txt", "a.txt", "D.txt", "Beta/x.txt", "alpha/y.txt", "Gamma/z.txt"}) {
        std::filesystem::create_directories(dir.file(name).parent_path());
        test::writeBytes(dir.file(name), "x");
    }
    for (bool alternative : {false, true}) {
        SCOPED_TRACE(alternative);
        ListOptions o;
        o.patterns = "*.txt";
        o.recurse = true;
        o.alternative = alternative;
        EXPECT_EQ(names(listArticleFiles(dir.path().string(), o), dir.path()),
            (std::vector<std::string>{"a.txt", "b.txt", "C.txt", "D.txt", "alpha/y.txt", "Beta/x.txt", "Gamma/z.txt"}));
    }
}

} // namespace
} // namespace varnel
