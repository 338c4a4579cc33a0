#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace varnel::test {

// A MariaDB server of a test's own: its own data directory and port, root
// without a password, so that a test may kill, freeze or reconfigure it
// without touching the shared sandbox. It runs as a server does in its
// default configuration: grant tables checked, client host names resolved
// (a login over TCP from 127.0.0.1 is root@localhost). The data directory is
// copied from a template made once per build tree.
class ThrowawayServer {
public:
    // Extra server options, e.g. "--max-allowed-packet=1M".
    explicit ThrowawayServer(std::string options = {});
    ~ThrowawayServer();
    ThrowawayServer(const ThrowawayServer &) = delete;
    ThrowawayServer &operator=(const ThrowawayServer &) = delete;

    // Empty when it came up; otherwise why not.
    const std::string &error() const { return m_error; }
    // "127.0.0.1:port", as the server edit box takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Its local socket.
    std::filesystem::path socket() const { return m_dir / "sock"; }
    unsigned port() const { return m_port; }

    // Starts it again on the same data directory and port (after kill()).
    bool start();
    void kill(); // kill -9, and waits until it is gone
    void freeze(); // SIGSTOP
    void thaw(); // SIGCONT
    bool running() const { return m_pid > 0; }

private:
    std::filesystem::path m_dir;
    std::string m_options;
    std::string m_error;
    unsigned m_port = 0;
    pid_t m_pid = -1;
};

// The server binary and the installer, or empty when none is installed.
bool mariadbInstalled();

} // namespace varnel::test

// Skips the test when no MariaDB server is installed; in CI, which has one,
// fails it instead. Needs support/TestSupport.h.
#define VARNEL_REQUIRE_MARIADB()                                                                                       \
    do {                                                                                                               \
        if (!::varnel::test::mariadbInstalled()) {                                                                     \
            if (::varnel::test::inCi())                                                                                \
                FAIL() << "no MariaDB server installed";                                                               \
            GTEST_SKIP() << "no MariaDB server installed";                                                             \
        }                                                                                                              \
    } while (false)
