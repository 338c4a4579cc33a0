#include "mysql/ServerAddress.h"

#include <algorithm>
#include <charconv>

namespace varnel {

ServerAddress parseServerAddress(std::string_view server)
{
    ServerAddress a;
    auto portOf = [](std::string_view digits, unsigned &port) {
        unsigned v = 0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || v == 0 || v > 65535)
            return false;
        port = v;
        return true;
    };
    if (server.starts_with('[')) {
        const auto close = server.find(']');
        if (close != std::string_view::npos) {
            a.host = std::string(server.substr(1, close - 1));
            const std::string_view rest = server.substr(close + 1);
            if (rest.starts_with(':'))
                portOf(rest.substr(1), a.port);
            return a;
        }
    }
    const auto colon = server.find(':');
    if (colon != std::string_view::npos && server.find(':', colon + 1) == std::string_view::npos
        && portOf(server.substr(colon + 1), a.port)) {
        a.host = std::string(server.substr(0, colon));
        return a;
    }
    a.host = std::string(server);
    return a;
}

std::vector<std::string> splitServerList(std::string_view servers)
{
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start <= servers.size()) {
        const std::size_t comma = std::min(servers.find(',', start), servers.size());
        std::string_view entry = servers.substr(start, comma - start);
        const auto first = entry.find_first_not_of(" \t");
        entry = first == std::string_view::npos ? std::string_view() : entry.substr(first);
        entry = entry.substr(0, entry.find_last_not_of(" \t") + 1);
        if (!entry.empty())
            list.emplace_back(entry);
        start = comma + 1;
    }
    if (list.empty())
        list.emplace_back();
    return list;
}

} // namespace varnel
