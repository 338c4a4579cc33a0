#include "mysql/ServerAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

namespace varnel {
namespace {

bool portOf(std::string_view digits, unsigned &port)
{
    unsigned v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || v == 0 || v > 65535)
        return false;
    port = v;
    return true;
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A host name or an IPv4 address: letters, digits, '-', '_' and dots.
bool isHostName(std::string_view host)
{
    return !host.empty() && host.front() != '-' && host.front() != '.'
        && std::all_of(
            host.begin(), host.end(), [](char c) { return isAsciiAlnum(c) || c == '-' || c == '_' || c == '.'; });
}

// An IPv6 address (a zone after '%' allowed).
bool isIpv6Address(std::string_view text)
{
    const auto percent = text.find('%');
    if (percent != std::string_view::npos && !isHostName(text.substr(percent + 1)))
        return false;
    const std::string address(text.substr(0, percent));
    in6_addr parsed{};
    return ::inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address.
bool isServerEntry(std::string_view entry)
{
    unsigned port = 0;
    if (entry.starts_with('[')) {
        const auto close = entry.find(']');
        if (close == std::string_view::npos || !isIpv6Address(entry.substr(1, close - 1)))
            return false;
        const std::string_view rest = entry.substr(close + 1);
        return rest.empty() || (rest.starts_with(':') && portOf(rest.substr(1), port));
    }
    const auto colon = entry.find(':');
    if (colon == std::string_view::npos)
        return isHostName(entry);
    if (entry.find(':', colon + 1) != std::string_view::npos)
        return isIpv6Address(entry);
    return isHostName(entry.substr(0, colon)) && portOf(entry.substr(colon + 1), port);
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

ServerAddress parseServerAddress(std::string_view server)
{
    ServerAddress a;
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

ServerList splitServerList(std::string_view servers)
{
    ServerList list;
    if (trimmed(servers).empty()) {
        list.entries.emplace_back();
        return list;
    }
    std::size_t start = 0;
    while (start <= servers.size()) {
        const std::size_t comma = std::min(servers.find(',', start), servers.size());
        const std::string_view entry = trimmed(servers.substr(start, comma - start));
        if (entry.empty() || !isServerEntry(entry)) {
            list.entries.clear();
            list.invalid = std::string(entry.empty() ? trimmed(servers) : entry);
            return list;
        }
        list.entries.emplace_back(entry);
        start = comma + 1;
    }
    return list;
}

std::string invalidServerText(std::string_view text)
{
    return "服务器地址无效：" + std::string(text);
}

} // namespace varnel
