#include "mysql/ConnectErrors.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace varnel {
namespace {

// Each number a connect meets, with the texts the library and the servers
// give: the Chinese first, the original after it in brackets.
TEST(ConnectErrorText, ChineseByNumberWithTheOriginalKept)
{
    const struct {
        unsigned number;
        const char *server;
        const char *original;
        const char *text;
    } rows[] = {
        {2003, "127.0.0.1", "Can't connect to server on '127.0.0.1' (111)",
            "无法连接到服务器 127.0.0.1（拒绝连接）（Can't connect to server on '127.0.0.1' (111)）"},
        // As this library tells a refused TCP connection: EINPROGRESS is
        // no reason.
        {2002, "127.0.0.1:1", "Can't connect to server on '127.0.0.1' (115)",
            "无法连接到服务器 127.0.0.1:1（Can't connect to server on '127.0.0.1' (115)）"},
        // No system error at the end: none is made up.
        {2003, "h", "Can't connect to server on 'h' (0)", "无法连接到服务器 h（Can't connect to server on 'h' (0)）"},
        {2002, "", "Can't connect to local server through socket '/run/mysqld/mysqld.sock' (2)",
            "无法通过套接字 /run/mysqld/mysqld.sock 连接到本机的 MySQL 服务器（没有那个文件或目录）"
            "（Can't connect to local server through socket '/run/mysqld/mysqld.sock' (2)）"},
        {2002, "localhost", "Can't connect to server (13).",
            "无法连接到服务器 localhost（权限不够）（Can't connect to server (13).）"},
        {2005, "db.invalid", "Unknown server host 'db.invalid' (-2)",
            "找不到服务器 db.invalid：主机名无法解析（Unknown server host 'db.invalid' (-2)）"},
        {2006, "a:1", "Server has gone away", "与服务器 a:1 的连接已断开（Server has gone away）"},
        {2026, "a", "TLS/SSL error: self-signed certificate", "加密连接失败（TLS/SSL error: self-signed certificate）"},
        {1045, "a", "Access denied for user 'x'@'localhost' (using password: YES)",
            "用户名或密码不对（Access denied for user 'x'@'localhost' (using password: YES)）"},
        {3159, "a", "Connections using insecure transport are prohibited while --require_secure_transport=ON.",
            "服务器 a 只接受加密连接（Connections using insecure transport are prohibited while "
            "--require_secure_transport=ON.）"},
        {3118, "a", "Access denied for user 'x'@'%'. Account is locked.",
            "此帐号已被锁定（Access denied for user 'x'@'%'. Account is locked.）"},
        // A number without a text of its own keeps the original alone.
        {1064, "a", "You have an error in your SQL syntax", "You have an error in your SQL syntax"},
        {4031, "a", "", "连接空闲过久，已被服务器断开"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(connectErrorText(row.number, row.server, row.original), row.text) << row.number;
    // The system's reason found otherwise goes in place of the library's.
    EXPECT_EQ(connectErrorText(2002, "h:1", "Can't connect to server on 'h' (115)", ECONNREFUSED),
        "无法连接到服务器 h:1（拒绝连接）（Can't connect to server on 'h' (115)）");
    EXPECT_TRUE(hidesConnectReason(2002, "Can't connect to server on 'h' (115)"));
    EXPECT_TRUE(hidesConnectReason(2003, "Can't connect to server on 'h' (115)"));
    EXPECT_FALSE(hidesConnectReason(2003, "Can't connect to server on 'h' (111)"));
    EXPECT_FALSE(hidesConnectReason(2002, "Can't connect to local server through socket '/s' (115)"));
    EXPECT_FALSE(hidesConnectReason(1045, "Access denied (115)"));
}

// The reason a TCP connection cannot be made, found by making one.
TEST(ConnectErrorText, TcpConnectErrors)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const unsigned port = ntohs(address.sin_port);
    EXPECT_EQ(tcpConnectError("127.0.0.1", port, 1000), 0);
    ::close(listener);
    EXPECT_EQ(tcpConnectError("127.0.0.1", port, 1000), ECONNREFUSED);
}

TEST(ConnectErrorText, TlsRefusals)
{
    EXPECT_TRUE(isTlsRefusal(2026));
    EXPECT_TRUE(isTlsRefusal(3159));
    for (unsigned number : {0u, 1045u, 2003u, 2013u})
        EXPECT_FALSE(isTlsRefusal(number)) << number;
}

} // namespace
} // namespace varnel
