#pragma once

#include <optional>
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

// The servers of a server field, "a,b:3307,[::1]:3308", tried in that order.
// Entries are separated by commas; blanks around an entry do not count.
struct ServerList {
    // A field that is empty (or blank) is the one empty entry: the library's
    // default server, that is the host of an option file when one is read,
    // else the local server through its socket.
    std::vector<std::string> entries;
    // When the field is no such list, the text that is not a server: an
    // entry that is no host, host:port or [v6-address]:port (two servers
    // joined by a semicolon, a port that is no number), or the whole field
    // when an entry is empty (a stray comma). The entries are empty then.
    std::optional<std::string> invalid;
};
ServerList splitServerList(std::string_view servers);

// What a connect says of a server field that is no list of servers.
std::string invalidServerText(std::string_view text);

} // namespace varnel
