#include "mysql/ConnectErrors.h"

#include "mysql/ServerError.h"

#include "util/SystemError.h"
#include "util/UniqueFd.h"

#include <errmsg.h>
#include <mysqld_error.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <memory>

namespace varnel {
namespace {

// The names of ServerError.h are the library's numbers.
static_assert(errnum::kSocketConnect == CR_CONNECTION_ERROR);
static_assert(errnum::kHostConnect == CR_CONN_HOST_ERROR);
static_assert(errnum::kUnknownHost == CR_UNKNOWN_HOST);
static_assert(errnum::kServerGone == CR_SERVER_GONE_ERROR);
static_assert(errnum::kClientHandshake == CR_SERVER_HANDSHAKE_ERR);
static_assert(errnum::kServerLost == CR_SERVER_LOST);
static_assert(errnum::kOutOfSync == CR_COMMANDS_OUT_OF_SYNC);
static_assert(errnum::kTlsConnect == CR_SSL_CONNECTION_ERROR);
static_assert(errnum::kParamsNotBound == CR_PARAMS_NOT_BOUND);
static_assert(errnum::kServerLostExtended == CR_SERVER_LOST_EXTENDED);
static_assert(errnum::kAuthPluginCannotLoad == CR_AUTH_PLUGIN_CANNOT_LOAD);
static_assert(errnum::kTooManyConnections == ER_CON_COUNT_ERROR);
static_assert(errnum::kServerHandshake == ER_HANDSHAKE_ERROR);
static_assert(errnum::kDatabaseAccessDenied == ER_DBACCESS_DENIED_ERROR);
static_assert(errnum::kAccessDenied == ER_ACCESS_DENIED_ERROR);
static_assert(errnum::kNodeNotPrepared == ER_UNKNOWN_COM_ERROR);
static_assert(errnum::kNoSuchDatabase == ER_BAD_DB_ERROR);
static_assert(errnum::kServerShutdown == ER_SERVER_SHUTDOWN);
static_assert(errnum::kDuplicateEntry == ER_DUP_ENTRY);
static_assert(errnum::kHostBlocked == ER_HOST_IS_BLOCKED);
static_assert(errnum::kHostNotPrivileged == ER_HOST_NOT_PRIVILEGED);
static_assert(errnum::kNoSuchGrant == ER_NONEXISTING_GRANT);
static_assert(errnum::kNoSuchTableGrant == ER_NONEXISTING_TABLE_GRANT);
static_assert(errnum::kNetPacketTooLarge == ER_NET_PACKET_TOO_LARGE);
static_assert(errnum::kNetReadError == ER_NET_READ_ERROR);
static_assert(errnum::kNetReadInterrupted == ER_NET_READ_INTERRUPTED);
static_assert(errnum::kNetWriteError == ER_NET_ERROR_ON_WRITE);
static_assert(errnum::kNetWriteInterrupted == ER_NET_WRITE_INTERRUPTED);
static_assert(errnum::kTooManyUserConnections == ER_TOO_MANY_USER_CONNECTIONS);
static_assert(errnum::kDeadlock == ER_LOCK_DEADLOCK);
static_assert(errnum::kUserLimitReached == ER_USER_LIMIT_REACHED);
static_assert(errnum::kAuthModeNotSupported == ER_NOT_SUPPORTED_AUTH_MODE);
static_assert(errnum::kAccessDeniedNoPassword == ER_ACCESS_DENIED_NO_PASSWORD_ERROR);
static_assert(errnum::kMustChangePassword == ER_MUST_CHANGE_PASSWORD);
static_assert(errnum::kMustChangePasswordLogin == ER_MUST_CHANGE_PASSWORD_LOGIN);
static_assert(errnum::kConnectionKilled == ER_CONNECTION_KILLED);
static_assert(errnum::kAccountLocked == ER_ACCOUNT_HAS_BEEN_LOCKED);

// The system error the library puts at the end of its text, "… (111)" or
// "… (13).", 0 when there is none.
int systemErrorAtEnd(std::string_view text)
{
    if (text.ends_with('.'))
        text.remove_suffix(1);
    if (!text.ends_with(')'))
        return 0;
    const auto open = text.rfind('(');
    if (open == std::string_view::npos)
        return 0;
    const std::string_view digits = text.substr(open + 1, text.size() - open - 2);
    int value = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || value <= 0)
        return 0;
    return value;
}

// The last text in single quotes, "… socket '/run/mysqld/mysqld.sock' (2)"
// (the first quote may be the one of "Can't").
std::string_view lastQuoted(std::string_view text)
{
    const auto close = text.rfind('\'');
    const auto open =
        close == std::string_view::npos || close == 0 ? std::string_view::npos : text.rfind('\'', close - 1);
    return open == std::string_view::npos ? std::string_view() : text.substr(open + 1, close - open - 1);
}

std::string chineseText(unsigned number, std::string_view server, std::string_view original, int systemError)
{
    const std::string where = server.empty() ? std::string("本机的 MySQL 服务器") : "服务器 " + std::string(server);
    // Before a Chinese word that follows it.
    const std::string whereThen = server.empty() ? where : where + " ";
    auto because = [&](std::string text) {
        // EINPROGRESS is no reason: the library's text hides it then.
        const int error = systemError ? systemError : systemErrorAtEnd(original);
        return error && error != EINPROGRESS ? text + "（" + systemErrorText(error) + "）" : text;
    };
    switch (number) {
    case errnum::kSocketConnect:
        // The local socket, or (as this library tells it) a TCP connection.
        if (original.find("through socket") != std::string_view::npos && !lastQuoted(original).empty())
            return because("无法通过套接字 " + std::string(lastQuoted(original)) + " 连接到本机的 MySQL 服务器");
        [[fallthrough]];
    case errnum::kHostConnect:
        return because("无法连接到" + where);
    case errnum::kUnknownHost:
        return "找不到" + where + "：主机名无法解析";
    case errnum::kServerGone:
        return "与" + whereThen + "的连接已断开";
    case errnum::kServerLost:
    case errnum::kServerLostExtended:
        return "与" + whereThen + "的连接中途断开";
    case errnum::kClientHandshake:
    case errnum::kServerHandshake:
        return "与" + whereThen + "握手失败";
    case errnum::kTlsConnect:
        return "加密连接失败";
    case errnum::kAuthPluginCannotLoad:
    case errnum::kAuthModeNotSupported:
        return "客户端不支持服务器要求的登录认证方式";
    case errnum::kTooManyConnections:
        return whereThen + "的连接数已满";
    case errnum::kDatabaseAccessDenied:
        return "此帐号无权使用这个数据库";
    case errnum::kAccessDenied:
    case errnum::kAccessDeniedNoPassword:
        return "用户名或密码不对";
    case errnum::kNoSuchDatabase:
        return "数据库不存在";
    case errnum::kServerShutdown:
        return whereThen + "正在关闭";
    case errnum::kHostBlocked:
        return "这台电脑连接出错的次数过多，已被服务器拒绝（可在服务器上执行 FLUSH HOSTS 解除）";
    case errnum::kHostNotPrivileged:
        return "服务器不允许从这台电脑登录";
    case errnum::kTooManyUserConnections:
        return "此帐号的连接数已达上限";
    case errnum::kUserLimitReached:
        return "此帐号的资源用量已达上限";
    case errnum::kMustChangePassword:
    case errnum::kMustChangePasswordLogin:
        return "此帐号的密码已过期，须先修改密码";
    case errnum::kConnectionKilled:
        return "连接被服务器终止";
    case errnum::kMySqlSecureTransportRequired:
        return whereThen + "只接受加密连接";
    case errnum::kMySqlAccountLocked:
    case errnum::kAccountLocked:
        return "此帐号已被锁定";
    case errnum::kMySqlInactivityTimeout:
        return "连接空闲过久，已被服务器断开";
    default:
        return {};
    }
}

} // namespace

std::string connectErrorText(unsigned number, std::string_view server, std::string_view original, int systemError)
{
    const std::string chinese = chineseText(number, server, original, systemError);
    if (chinese.empty())
        return std::string(original);
    return original.empty() ? chinese : chinese + "（" + std::string(original) + "）";
}

bool hidesConnectReason(unsigned number, std::string_view original)
{
    return (number == errnum::kSocketConnect || number == errnum::kHostConnect)
        && original.find("through socket") == std::string_view::npos && systemErrorAtEnd(original) == EINPROGRESS;
}

int tcpConnectError(const std::string &host, unsigned port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return EHOSTUNREACH;
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    int error = 0;
    // Each address in turn, as the library tries them: the last one's reason.
    for (const addrinfo *a = found; a; a = a->ai_next) {
        const UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd) {
            error = errno;
            continue;
        }
        if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) == 0)
            return 0;
        error = errno;
        if (error != EINPROGRESS)
            continue;
        pollfd p{fd.get(), POLLOUT, 0};
        int ready;
        while ((ready = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) { }
        if (ready == 0) {
            error = ETIMEDOUT;
            continue;
        }
        socklen_t length = sizeof error;
        if (ready < 0 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error == 0)
            return 0;
    }
    return error;
}

bool isTlsRefusal(unsigned number)
{
    return number == errnum::kTlsConnect || number == errnum::kMySqlSecureTransportRequired;
}

} // namespace varnel
