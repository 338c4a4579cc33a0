#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

// Decides which server of a server list is tried when: a connect goes down
// the list from the first, a reopen from the one after the server lost.
class ServerFailover {
public:
    // The entries of a server field (splitServerList), in its order.
    explicit ServerFailover(std::vector<std::string> servers);

    const std::vector<std::string> &servers() const { return m_servers; }
    // The places in the list in the order a connect tries them: as given.
    std::vector<std::size_t> connectOrder() const;
    // The order of a reopen after the server at `lost` was lost: the ones
    // after it, round the list, and that one last (it may be back by then).
    std::vector<std::size_t> reopenOrder(std::size_t lost) const;

    // Opens a server: true when it let us in, else false with the reason.
    using Open = std::function<bool(const std::string &server, std::string &reason)>;
    // Tries the servers in `order` until one lets us in and gives its place.
    // When none does, nothing, and `reason` tells why: of one server its
    // reason as it is, of a list each server's, "server：reason" by "；".
    std::optional<std::size_t> moveOn(
        const std::vector<std::size_t> &order, const Open &open, std::string &reason) const;

private:
    std::vector<std::string> m_servers;
};

} // namespace varnel
