#pragma once

#include <cstdint>
#include <string>

typedef struct st_mysql MYSQL;

namespace varnel {

// Who a server session is, in the server's own terms, so that a run can find
// its old session again after the connection broke: by its id, its login and
// the client's port, never by the host name the server gives the client
// (which depends on how the server resolves names). The server's start time
// tells a restarted server, which numbers its sessions anew.
struct SessionIdentity {
    std::uint64_t id = 0; // connection_id()
    std::string user; // the login name, as the process list shows it
    unsigned clientPort = 0; // the client end's TCP port; 0 over a local socket
    std::int64_t serverStarted = 0; // Unix time the server started: now - Uptime
    std::string server; // the entry of the server list
    std::string clusterNode; // wsrep_gcomm_uuid; empty on a server of its own

    // Everything a search for the session needs was read.
    bool known() const { return id != 0 && serverStarted > 0 && !user.empty(); }
};

// Reads the identity of the session just opened on `m`, to the entry of the
// server list and the cluster node id given; fields that cannot be read stay
// empty (known() is then false).
SessionIdentity readSessionIdentity(MYSQL *m, std::string server, std::string clusterNode);

// Two start times (each whole seconds, read at a slightly different moment)
// of one running server.
inline bool sameServerRun(std::int64_t a, std::int64_t b)
{
    return a - b <= 1 && b - a <= 1;
}

// Whether a process list's host column ("name:port", or "localhost" over a
// local socket) is that of a client at `clientPort` (0: a local socket).
bool processListHostIs(std::string_view host, unsigned clientPort);

} // namespace varnel
