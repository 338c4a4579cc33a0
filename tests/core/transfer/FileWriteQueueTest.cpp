#include "transfer/FileWriteQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

namespace varnel {
namespace {

using test::readBytes;
using test::TempDir;

std::size_t filesIn(const std::filesystem::path &dir)
{
    std::size_t n = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir)) {
        EXPECT_FALSE(e.path().filename().string().starts_with(".varnel-")) << "a temporary file was left";
        ++n;
    }
    return n;
}

// Files come back in the order they were queued, each with its own result,
// whether the folder changes between them or cannot be written at all; the
// text is encoded as asked.
TEST(FileWriteQueue, WritesInOrderAndReportsEachFile)
{
    for (const std::size_t ahead : {std::size_t(0), std::size_t(1), std::size_t(8u << 20)}) {
        TempDir dir;
        std::filesystem::create_directories(dir.path() / "b");
        FileWriteQueue queue(ahead);
        const auto a = dir.path().string() + "/";
        ASSERT_TRUE(queue.push({a + "1.txt", "一", ArticleEncoding::Ansi, 1, "one"}));
        ASSERT_TRUE(queue.push({a + "missing/2.txt", "二", ArticleEncoding::Utf8, 2, "two"}));
        ASSERT_TRUE(queue.push({a + "b/3.txt", "三", ArticleEncoding::Utf8, 3, "three"}));
        ASSERT_TRUE(queue.push({a + "4.txt", "四", ArticleEncoding::Utf16LE, 4, "four"}));
        ASSERT_TRUE(queue.push({a + "b", "a folder is not replaced", ArticleEncoding::Utf8, 5, "five"}));
        EXPECT_EQ(queue.drain(), 0u);
        const std::vector<FileWriteQueue::Done> done = queue.takeDone();
        ASSERT_EQ(done.size(), 5u) << "ahead " << ahead;
        for (std::size_t i = 0; i < done.size(); ++i)
            EXPECT_EQ(done[i].row, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(done[0].name, "one");
        EXPECT_EQ(done[0].error, 0);
        EXPECT_EQ(done[1].error, ENOENT);
        EXPECT_EQ(done[1].path, a + "missing/2.txt");
        EXPECT_EQ(done[2].error, 0);
        EXPECT_EQ(done[3].error, 0);
        EXPECT_EQ(done[4].error, EISDIR);
        EXPECT_EQ(readBytes(dir.path() / "1.txt"), "\xD2\xBB"); // GB18030
        EXPECT_EQ(readBytes(dir.path() / "b/3.txt"), "\xEF\xBB\xBF三");
        EXPECT_EQ(readBytes(dir.path() / "4.txt"), std::string("\xFF\xFE\xDB\x56", 4));
        EXPECT_EQ(filesIn(dir.path()), 3u); // 1.txt, 4.txt and the folder b
        EXPECT_EQ(queue.outstanding(), 0u);
    }
}

// Dropping, by a drain or by the stop flag, never loses track of a file:
// every queued file is either handed back (and is on disk when it says so)
// or counted as dropped, and nothing half-written stays behind.
TEST(FileWriteQueue, DroppedFilesAreCountedAndNeverHalfWritten)
{
    const std::string text(64 * 1024, 'x');
    for (const bool byFlag : {false, true}) {
        TempDir dir;
        std::atomic<bool> stop{false};
        FileWriteQueue queue(256 * 1024, &stop);
        const int total = 400;
        int pushed = 0;
        for (int i = 0; i < total; ++i) {
            if (i == total / 2 && byFlag)
                stop = true;
            FileWriteQueue::Job job{
                (dir.path() / (std::to_string(i) + ".txt")).string(), text, ArticleEncoding::Utf8, i, {}};
            if (queue.push(std::move(job), {}, [&] { return stop.load(); }))
                ++pushed;
        }
        const std::size_t dropped = queue.drain({}, [] { return true; });
        std::size_t written = 0;
        for (const FileWriteQueue::Done &d : queue.takeDone()) {
            ASSERT_EQ(d.error, 0);
            EXPECT_EQ(readBytes(d.path).size(), text.size() + 3);
            ++written;
        }
        EXPECT_EQ(written + dropped, static_cast<std::size_t>(pushed)) << "by flag " << byFlag;
        EXPECT_EQ(filesIn(dir.path()), written);
        if (byFlag) {
            EXPECT_LT(written, static_cast<std::size_t>(total));
        }
    }
}

} // namespace
} // namespace varnel
