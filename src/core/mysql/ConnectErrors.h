#pragma once

#include <string>
#include <string_view>

namespace varnel {

// Why a connect failed, in Chinese, by the client library's or the server's
// number, with the library's own text after it in brackets, so that it can
// still be looked up: "用户名或密码不对（Access denied for user …）".
// `server` is the entry of the server field connected to ("host" or
// "host:port"; empty for the local server). `systemError`, when not 0, is
// the system's reason for a connection that could not be made, in place of
// the one the library's text ends with. A number without a text of its own
// keeps the original as it is.
std::string connectErrorText(unsigned number, std::string_view server, std::string_view original, int systemError = 0);

// The library tells a TCP connection that could not be made with the errno
// of its non-blocking connect() ("… (115)", EINPROGRESS), not with the
// reason it then read from the socket.
bool hidesConnectReason(unsigned number, std::string_view original);

// Why a TCP connection to the host and port cannot be made, as the system
// tells it after at most `timeoutMs` (ETIMEDOUT then); 0 when it can.
int tcpConnectError(const std::string &host, unsigned port, int timeoutMs);

// The number refuses a connection over encryption: the TLS handshake failed,
// or the server takes encrypted connections only.
bool isTlsRefusal(unsigned number);

} // namespace varnel
