#include "cli/TerminalPassword.h"

#include "util/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace varnel::cli {
namespace {

// Echo off while it lives, the terminal as it was afterwards, whatever way
// the question ends.
class EchoOff {
public:
    explicit EchoOff(int fd)
        : m_fd(fd)
    {
        if (::tcgetattr(fd, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        m_set = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (m_set)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_set = false;
};

void writeAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::optional<std::string> askPasswordOnTerminal(const std::string &login, const std::function<bool()> &stopped)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    // The terminal itself, so the question is seen however stdout and stderr
    // were redirected.
    const UniqueFd tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!tty.isOpen())
        return std::nullopt;
    const EchoOff quiet(tty.get());
    writeAll(tty.get(), "请输入 " + login + " 的密码：");
    std::string line;
    for (;;) {
        if (stopped && stopped()) {
            writeAll(tty.get(), "\n");
            return std::nullopt;
        }
        pollfd p{tty.get(), POLLIN, 0};
        // A slice at a time, so a signal's request to stop is seen.
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return std::nullopt;
        if (ready == 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(tty.get(), &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return std::nullopt; // the terminal went away, or Ctrl-D
        if (c == '\n' || c == '\r')
            return line;
        line.push_back(c);
    }
}

} // namespace varnel::cli
