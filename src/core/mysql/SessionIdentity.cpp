#include "mysql/SessionIdentity.h"

#include <mysql.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <charconv>
#include <optional>
#include <utility>
#include <vector>

namespace varnel {
namespace {

// The cells of a query's first row, NULL as empty; nothing on an error.
std::optional<std::vector<std::string>> firstRow(MYSQL *m, std::string_view query)
{
    if (mysql_real_query(m, query.data(), static_cast<unsigned long>(query.size())) != 0)
        return std::nullopt;
    MYSQL_RES *result = mysql_store_result(m);
    if (!result)
        return std::nullopt;
    std::optional<std::vector<std::string>> cells;
    const MYSQL_ROW row = mysql_fetch_row(result);
    const unsigned long *lengths = row ? mysql_fetch_lengths(result) : nullptr;
    if (row && lengths) {
        cells.emplace();
        for (unsigned i = 0; i < mysql_num_fields(result); ++i)
            cells->emplace_back(row[i] ? std::string(row[i], lengths[i]) : std::string());
    }
    mysql_free_result(result);
    return cells;
}

std::optional<std::int64_t> wholeNumber(const std::string &text)
{
    std::int64_t v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

// The local end's port of the connection's socket; 0 for a local socket.
unsigned clientPortOf(MYSQL *m)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    const my_socket fd = mysql_get_socket(m);
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
    return 0;
}

} // namespace

SessionIdentity readSessionIdentity(MYSQL *m, std::string server, std::string clusterNode)
{
    SessionIdentity identity;
    identity.server = std::move(server);
    identity.clusterNode = std::move(clusterNode);
    identity.clientPort = clientPortOf(m);
    const auto session = firstRow(m, "select connection_id(), substring_index(user(), '@', 1), unix_timestamp()");
    // SHOW STATUS answers on every server version, whatever the user may read.
    const auto uptime = firstRow(m, "show global status like 'Uptime'");
    if (!session || session->size() != 3 || !uptime || uptime->size() != 2)
        return identity;
    const auto id = wholeNumber((*session)[0]);
    const auto now = wholeNumber((*session)[2]);
    const auto up = wholeNumber((*uptime)[1]);
    if (!id || *id <= 0 || !now || !up)
        return identity;
    identity.id = static_cast<std::uint64_t>(*id);
    identity.user = (*session)[1];
    identity.serverStarted = *now - *up;
    return identity;
}

bool processListHostIs(std::string_view host, unsigned clientPort)
{
    const auto colon = host.rfind(':');
    if (clientPort == 0)
        return colon == std::string_view::npos;
    return colon != std::string_view::npos && host.substr(colon + 1) == std::to_string(clientPort);
}

} // namespace varnel
