#include "util/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varnel {
namespace {

int openNull()
{
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    return fd;
}

bool isOpenFd(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesWhenDestroyed)
{
    int raw = -1;
    {
        UniqueFd fd(openNull());
        raw = fd.get();
        EXPECT_TRUE(fd.isOpen());
        EXPECT_TRUE(isOpenFd(raw));
    }
    EXPECT_FALSE(isOpenFd(raw));
}

TEST(UniqueFd, AMoveHandsTheDescriptorOverAndTheSourceHoldsNothing)
{
    UniqueFd a(openNull());
    const int raw = a.get();
    UniqueFd b(std::move(a));
    EXPECT_EQ(a.get(), -1);
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), raw);
    a.reset(); // nothing held: closes nothing
    EXPECT_TRUE(isOpenFd(raw));

    UniqueFd c(openNull());
    const int replaced = c.get();
    c = std::move(b);
    EXPECT_FALSE(isOpenFd(replaced)); // the target's own descriptor is closed
    EXPECT_EQ(c.get(), raw);
    EXPECT_EQ(b.get(), -1);
    EXPECT_TRUE(isOpenFd(raw));

    auto &self = c;
    c = std::move(self);
    EXPECT_EQ(c.get(), raw);
    EXPECT_TRUE(isOpenFd(raw));
}

TEST(UniqueFd, ReleaseGivesUpOwnershipWithoutClosing)
{
    int raw = -1;
    {
        UniqueFd fd(openNull());
        raw = fd.release();
        EXPECT_EQ(fd.get(), -1);
    }
    EXPECT_TRUE(isOpenFd(raw));
    ::close(raw);
}

TEST(UniqueFd, ResetClosesTheOldDescriptorAndKeepsTheNew)
{
    UniqueFd fd(openNull());
    const int first = fd.get();
    const int second = openNull();
    fd.reset(second);
    EXPECT_EQ(fd.get(), second);
    EXPECT_TRUE(isOpenFd(second));
    if (first != second) {
        EXPECT_FALSE(isOpenFd(first));
    }
    fd.reset(second); // the same descriptor again stays open
    EXPECT_TRUE(isOpenFd(second));
    fd.reset();
    EXPECT_FALSE(isOpenFd(second));
}

TEST(UniqueFd, ClosingOnDestructionKeepsErrno)
{
    {
        UniqueFd fd(openNull());
        errno = ENOSPC;
    }
    EXPECT_EQ(errno, ENOSPC);
    UniqueFd fd(openNull());
    errno = EACCES;
    fd.reset();
    EXPECT_EQ(errno, EACCES);
}

TEST(UniqueFd, CloseReportsWhetherCloseSucceeded)
{
    UniqueFd none;
    EXPECT_TRUE(none.close());
    UniqueFd fd(openNull());
    const int raw = fd.get();
    EXPECT_TRUE(fd.close());
    EXPECT_EQ(fd.get(), -1);
    EXPECT_FALSE(isOpenFd(raw));
    // A descriptor that is no longer open: close() fails and says why.
    UniqueFd stale(raw);
    errno = 0;
    EXPECT_FALSE(stale.close());
    EXPECT_EQ(errno, EBADF);
}

} // namespace
} // namespace varnel
