#pragma once

#include <string>
#include <string_view>

namespace varnel {

// Where to connect: "host", "host:port" or "[v6-address]:port"; a plain host
// (or a bare IPv6 address) uses the default port.
struct ServerAddress {
    std::string host; // empty: the library's default (the local server)
    unsigned port = 0; // 0: the default port
};
ServerAddress parseServerAddress(std::string_view server);

} // namespace varnel
