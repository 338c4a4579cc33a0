#include "util/RegularFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnel {
namespace {

using test::TempDir;

// Each kind of path, opened to read and opened to be kept: only a regular
// file (or one made there) gives a descriptor, and nothing waits.
TEST(RegularFile, OnlyARegularFileIsOpened)
{
    TempDir dir;
    test::writeBytes(dir.file("file"), "text");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(dir.file("fifo").c_str(), dir.file("to-fifo").c_str()), 0);
    for (int flags : {O_RDONLY, O_RDWR | O_CREAT}) {
        RegularFile file = openRegularFile(dir.file("file"), flags);
        ASSERT_TRUE(file.fd.isOpen()) << flags;
        std::string text;
        EXPECT_TRUE(readAllAt(file.fd.get(), text));
        EXPECT_EQ(text, "text");
        for (const char *name : {"fifo", "to-fifo"}) {
            file = openRegularFile(dir.file(name), flags);
            EXPECT_TRUE(file.special) << name;
            EXPECT_FALSE(file.fd.isOpen()) << name;
            EXPECT_EQ(file.error, 0) << name;
        }
        file = openRegularFile(dir.path(), flags);
        EXPECT_EQ(file.error, EISDIR);
        EXPECT_FALSE(file.special);
    }
    EXPECT_EQ(openRegularFile(dir.file("missing")).error, ENOENT);
    const RegularFile made = openRegularFile(dir.file("made"), O_RDWR | O_CREAT, 0600);
    ASSERT_TRUE(made.fd.isOpen());
    EXPECT_EQ(made.status.st_mode & 0777, 0600u);

    EXPECT_TRUE(isSpecialFile(dir.file("fifo")));
    EXPECT_TRUE(isSpecialFile(dir.file("to-fifo")));
    for (const char *name : {"file", "missing", ""})
        EXPECT_FALSE(isSpecialFile(dir.file(name))) << name;
    EXPECT_EQ(notRegularFileText("/x/y"), "不是普通文件：/x/y");
    EXPECT_EQ(permissionText(S_IFREG | 0640), "0640");
    EXPECT_EQ(permissionText(S_IFREG | 04755), "4755");
}

// A device node (a stand-in for /dev/full) is refused without being opened.
TEST(RegularFile, ADeviceIsNotOpened)
{
    TempDir dir;
    const auto device = dir.file("full");
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod needs root: " << std::strerror(errno);
    EXPECT_TRUE(openRegularFile(device).special);
    EXPECT_TRUE(openRegularFile(device, O_RDWR | O_CREAT).special);
    EXPECT_TRUE(isSpecialFile(device));
}

} // namespace
} // namespace varnel
