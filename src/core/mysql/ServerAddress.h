#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Where to connect: "host", "host:port" or "[v6-address]:port"; a plain host
// (or a bare IPv6 address) uses the default port.
struct ServerAddress {
    std::string host; // empty: the library's default (the local server)
    unsigned port = 0; // 0: the default port
};
ServerAddress parseServerAddress(std::string_view server);

// The servers of a server field: "a,b:3307,[::1]:3308", tried in that order.
// Blanks around an entry and empty entries are dropped; a field without any
// entry is the one empty entry (the library's default server).
std::vector<std::string> splitServerList(std::string_view servers);

} // namespace varnel
