#pragma once

#include <string>

typedef struct st_mysql MYSQL;

namespace varnel {

// Decides whether a server is a node of a Galera cluster, whether it takes
// clients now, and that the reads of a session on it wait for the cluster.
class ClusterNode {
public:
    // A server of its own.
    ClusterNode() = default;

    // Asks the server just connected on `m` what it is. A node that is ready
    // has the session's reads wait until it applied what the cluster
    // committed before them (wsrep_sync_wait), so a run that moved here after
    // its node died looks its keys up after that node's final statements.
    static ClusterNode join(MYSQL *m);

    bool isNode() const { return m_node; }
    // wsrep_gcomm_uuid; empty on a server of its own.
    const std::string &id() const { return m_id; }
    // Why the node takes no clients (it is not in the cluster's primary part,
    // wsrep_ready not ON); empty when it does, or when it is no node.
    std::string refusal() const;
    // An error of a statement that means the node was cut off from the rest
    // of its cluster: it answers every statement so (1047) over a socket
    // that stays open, which for a run is a lost server too.
    bool cutOffBy(unsigned errorNumber) const;

private:
    bool m_node = false;
    std::string m_id;
    std::string m_ready; // wsrep_ready as the node told it
};

} // namespace varnel
