#include "mysql/ServerFailover.h"

#include <utility>

namespace varnel {

ServerFailover::ServerFailover(std::vector<std::string> servers)
    : m_servers(std::move(servers))
{
}

std::vector<std::size_t> ServerFailover::connectOrder() const
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < m_servers.size(); ++i)
        order.push_back(i);
    return order;
}

std::vector<std::size_t> ServerFailover::reopenOrder(std::size_t lost) const
{
    std::vector<std::size_t> order;
    for (std::size_t n = 1; n <= m_servers.size(); ++n)
        order.push_back((lost + n) % m_servers.size());
    return order;
}

std::optional<std::size_t> ServerFailover::moveOn(
    const std::vector<std::size_t> &order, const Open &open, std::string &reason) const
{
    std::string reasons, last;
    for (const std::size_t i : order) {
        last.clear();
        if (open(m_servers[i], last))
            return i;
        if (m_servers.size() > 1)
            reasons += (reasons.empty() ? "" : "；") + m_servers[i] + "：" + last;
    }
    reason = m_servers.size() > 1 ? reasons : last;
    return std::nullopt;
}

} // namespace varnel
