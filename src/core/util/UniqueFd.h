#pragma once

#include <unistd.h>

#include <cerrno>

namespace varnel {

// Owns one open file descriptor and closes it when destroyed. Move-only.
//
// Closing on destruction or in reset() leaves errno as it was, so an error
// path may read errno after the owner is gone. A file that was written is
// closed with close(), which reports what a failed close() says: it can be
// the first word of a delayed write error.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept
        : m_fd(fd)
    {
    }
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd &&other) noexcept
        : m_fd(other.release())
    {
    }
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const noexcept { return m_fd; }
    bool isOpen() const noexcept { return m_fd >= 0; }
    explicit operator bool() const noexcept { return isOpen(); }

    // Gives up ownership without closing; the owner holds nothing after.
    int release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

    // Closes what is held (errno kept) and takes `fd` instead.
    void reset(int fd = -1) noexcept
    {
        const int old = m_fd;
        m_fd = fd;
        if (old >= 0 && old != fd) {
            const int saved = errno;
            ::close(old);
            errno = saved;
        }
    }

    // Closes now. False, with errno set, when close() failed; true when
    // nothing was held.
    bool close() noexcept
    {
        const int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace varnel
