#include "transfer/FileLister.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <functional>

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
        // Links to files, here and elsewhere, and one to nothing.
        test::writeBytes(elsewhere.file("far.txt"), "x");
        std::filesystem::create_directories(dir.file("links"));
        std::filesystem::create_symlink("../b.txt", dir.file("links/near.txt"));
        std::filesystem::create_symlink(elsewhere.file("far.txt"), dir.file("links/far.txt"));
        std::filesystem::create_symlink("nothing.txt", dir.file("links/gone.txt"));
        std::filesystem::create_symlink("nothing.dat", dir.file("links/gone.dat"));
    }
    TempDir elsewhere;
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
        (std::vector<std::string>{"A.TXT", "b.txt", "folder.txt/inner.txt", "links/far.txt", "links/near.txt",
            "sub/x.txt", "sub/deeper/y.txt", "sub2/z.txt"}));
}

// A link to a file is the file, wherever it is. A link to nothing cannot be
// a folder to look into; when its name is one that was asked for, it is a
// file that cannot be read and says why, as a folder that cannot be listed
// does.
TEST_F(Folder, LinksToFilesAreFollowed)
{
    for (bool alternative : {false, true}) {
        SCOPED_TRACE(alternative);
        ListOptions o;
        o.patterns = "*.txt";
        o.alternative = alternative;
        const FileListing listing = listArticleFolder(dir.file("links").string(), o);
        EXPECT_EQ(names(listing.files, dir.file("links")), (std::vector<std::string>{"far.txt", "near.txt"}));
        ASSERT_EQ(listing.failures.size(), 1u);
        EXPECT_EQ(listing.failures[0].item, dir.file("links/gone.txt").string());
        EXPECT_EQ(listing.failures[0].reason, "没有那个文件或目录");
        EXPECT_FALSE(listing.folderUnreadable);
    }
    // Read through the link: the file's bytes, not the link's.
    ListOptions all;
    all.patterns = "*.dat";
    const FileListing listing = listArticleFolder(dir.file("links").string(), all);
    EXPECT_TRUE(listing.files.empty());
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_EQ(listing.failures[0].item, dir.file("links/gone.dat").string());
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

// The listing of `folder`, made in a child process: as the user nobody when
// running as root (who reads every folder), so that a folder without
// permissions is one that cannot be read. One line per file, then "--",
// then "item: reason" per failure.
std::string listedByUnprivileged(const std::string &folder, const ListOptions &options)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        const FileListing listing = listArticleFolder(folder, options);
        std::string text;
        for (const std::string &f : listing.files)
            text += f + "\n";
        text += listing.folderUnreadable ? "-- unreadable\n" : "--\n";
        for (const TransferFailure &f : listing.failures)
            text += f.item + ": " + f.reason + "\n";
        const bool written = ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 98);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed: " + std::to_string(status);
    return text;
}

TEST(FolderFailures, FolderThatCannotBeListedSaysWhy)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    for (const char *name : {"a/ok.txt", "b/hidden.txt", "c/x.txt", "top.txt"}) {
        std::filesystem::create_directories(dir.file(name).parent_path());
        test::writeBytes(dir.file(name), "x");
    }
    for (const char *folder : {"a", "c"})
        ::chmod(dir.file(folder).c_str(), 0755);
    ::chmod(dir.file("b").c_str(), 0);
    ListOptions o;
    o.patterns = "*.txt";
    o.recurse = true;
    const std::string base = dir.path().string() + "/";
    const std::string listed = listedByUnprivileged(dir.path().string(), o);
    if (listed.find("-- unreadable") != std::string::npos)
        GTEST_SKIP() << "the user nobody cannot reach " << dir.path();
    EXPECT_EQ(listed, base + "top.txt\n" + base + "a/ok.txt\n" + base + "c/x.txt\n--\n" + base + "b: 权限不够\n");

    // The folder itself: its reason, and nothing else.
    ::chmod(dir.path().c_str(), 0);
    EXPECT_EQ(listedByUnprivileged(dir.path().string(), o), "-- unreadable\n" + dir.path().string() + ": 权限不够\n");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.file("b").c_str(), 0755);
}

TEST(FolderFailures, LinkLoops)
{
    TempDir dir;
    std::filesystem::create_symlink("two", dir.file("one"));
    std::filesystem::create_symlink("one", dir.file("two"));
    std::filesystem::create_symlink("self.txt", dir.file("self.txt"));
    ListOptions o;
    o.patterns = "*.txt";
    FileListing listing = listArticleFolder(dir.file("one").string(), o);
    EXPECT_TRUE(listing.folderUnreadable);
    EXPECT_TRUE(listing.files.empty());
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_EQ(listing.failures[0].item, dir.file("one").string());
    EXPECT_EQ(listing.failures[0].reason, "符号连接的层数过多");

    listing = listArticleFolder(dir.path().string(), o);
    EXPECT_FALSE(listing.folderUnreadable);
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_EQ(listing.failures[0].item, dir.file("self.txt").string());
    EXPECT_EQ(listing.failures[0].reason, "符号连接的层数过多");
}

// Folders moved while they are listed: the walk finds its way back from the
// top by the names it took; a folder that is gone says so and the walk goes
// on with the rest.
TEST(FolderFailures, FoldersMovedDuringTheWalk)
{
    TempDir dir;
    for (const char *name : {"a/sub1/inner/f.txt", "a/sub2/g.txt", "z/h.txt"}) {
        std::filesystem::create_directories(dir.file(name).parent_path());
        test::writeBytes(dir.file(name), "x");
    }
    ListOptions o;
    o.patterns = "*.txt";
    o.recurse = true;
    bool moved = false;
    o.processEvents = [&] {
        if (!moved) {
            moved = true; // "inner" done: its parent leaves "a"
            std::filesystem::rename(dir.file("a/sub1"), dir.file("sub1"));
        }
    };
    FileListing listing = listArticleFolder(dir.path().string(), o);
    EXPECT_TRUE(listing.failures.empty());
    EXPECT_EQ(
        names(listing.files, dir.path()), (std::vector<std::string>{"a/sub1/inner/f.txt", "a/sub2/g.txt", "z/h.txt"}));

    std::filesystem::rename(dir.file("sub1"), dir.file("a/sub1"));
    moved = false;
    o.processEvents = [&] {
        if (!moved) {
            moved = true; // and "a" is renamed
            std::filesystem::rename(dir.file("a/sub1"), dir.file("sub1"));
            std::filesystem::rename(dir.file("a"), dir.file("b"));
        }
    };
    listing = listArticleFolder(dir.path().string(), o);
    EXPECT_EQ(names(listing.files, dir.path()), (std::vector<std::string>{"a/sub1/inner/f.txt", "z/h.txt"}));
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_EQ(listing.failures[0].item, dir.file("a").string());
    EXPECT_EQ(listing.failures[0].reason, "没有那个文件或目录");
}

// A tree deeper than any path the system takes: every level's file is
// listed, in order, without a call per level on the stack.
TEST(FolderDepth, TreeDeeperThanAPathIsListedWhole)
{
    TempDir dir;
    constexpr int kDepth = 5000;
    const test::DeepTree tree(dir.path(), kDepth, "x");
    ASSERT_TRUE(tree.made()) << "could not build the tree";
    ListOptions o;
    o.patterns = "*.txt";
    o.recurse = true;
    int events = 0;
    o.processEvents = [&] { ++events; };
    const FileListing listing = listArticleFolder(dir.path().string(), o);
    EXPECT_TRUE(listing.failures.empty());
    ASSERT_EQ(listing.files.size(), static_cast<std::size_t>(kDepth + 1));
    std::string expected = dir.path().string() + "/";
    for (int level = 0; level <= kDepth; ++level) {
        if (listing.files[static_cast<std::size_t>(level)] != expected + "f.txt") {
            ADD_FAILURE() << "level " << level;
            break;
        }
        expected += "d/";
    }
    EXPECT_GT(listing.files.back().size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(events, kDepth); // once per sub-folder done
}

} // namespace
} // namespace varnel
