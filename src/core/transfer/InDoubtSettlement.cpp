#include "transfer/InDoubtSettlement.h"

#include "mysql/MySqlConnection.h"

#include <memory>

namespace varnel {

std::vector<InDoubtSettlement::Verdict> InDoubtSettlement::settle(
    const SessionIdentity &old, std::size_t rows, const LookUp &lookUp)
{
    std::vector<Verdict> verdicts(rows, Verdict::Unknown);
    std::optional<std::vector<KeyFound>> found;
    m_stage = Stage::EndingSession;
    while (m_stage != Stage::Settled && m_stage != Stage::LeftUnknown) {
        switch (m_stage) {
        case Stage::EndingSession:
            m_stage = endSession(old) ? Stage::LookingUp : Stage::LeftUnknown;
            break;
        case Stage::LookingUp:
            found = lookUp();
            m_stage = found && found->size() == rows ? Stage::Settled : Stage::LeftUnknown;
            break;
        case Stage::Settled:
        case Stage::LeftUnknown:
            break;
        }
    }
    if (m_stage == Stage::Settled) {
        for (std::size_t i = 0; i < rows; ++i)
            verdicts[i] = (*found)[i] == KeyFound::InTable ? Verdict::Stored : Verdict::Again;
    }
    return verdicts;
}

bool InDoubtSettlement::countFallsToZero(MySqlConnection &on, const std::string &count, std::chrono::milliseconds limit)
{
    const auto end = m_wait.until(limit, std::chrono::milliseconds(100), [&]() -> std::optional<bool> {
        const std::unique_ptr<RowBlock> left = on.fetchRows(count);
        if (!left || left->rowCount() != 1)
            return std::nullopt;
        return left->cellText(0, 0) == "0";
    });
    return end == RunWait::End::Done;
}

bool InDoubtSettlement::endSession(const SessionIdentity &old)
{
    if (!old.known())
        return false;
    // After a move to another server of the list the old session is on the
    // old one.
    MySqlConnection *on = &m_db;
    std::optional<MySqlConnection> other;
    if (m_db.server() != old.server) {
        other.emplace();
        other->setTimeout(10);
        if (!other->connectLike(m_db, old.server))
            return nodeLeftCluster(old.clusterNode);
        on = &*other;
    }
    // A server that started again since has no session of before.
    const SessionIdentity &now = on->identity();
    if (!now.known())
        return false;
    if (!sameServerRun(now.serverStarted, old.serverStarted))
        return true;
    // The session is found by what the server gives: its id, its login and
    // the port of the client's end; never by the name the server resolved
    // the client's address to.
    const std::string ofId = "from information_schema.processlist where id = " + std::to_string(old.id);
    const std::unique_ptr<RowBlock> found = on->fetchRows("select user, host " + ofId);
    if (!found)
        return false;
    if (found->rowCount() == 0)
        return true;
    // A running server never gives an id twice: a session of that id that is
    // not ours belongs to a server that started again (within the second the
    // start times are told by), and ours went with the old one.
    if (found->cellText(0, 0) != old.user || !processListHostIs(found->cellText(0, 1), old.clientPort))
        return true;
    on->fetchRows("kill connection " + std::to_string(old.id));
    return countFallsToZero(*on, "select count(*) " + ofId, kSessionEnds);
}

// A node that let no one in may still be in its cluster (it refused this
// login only, or the network between us failed): only once the cluster
// counts it out can it commit nothing more, and what it committed before is
// on every node (the reads here wait for it).
bool InDoubtSettlement::nodeLeftCluster(const std::string &node)
{
    if (!m_db.clusterNode() || node.empty())
        return false;
    return countFallsToZero(
        m_db, "select count(*) from mysql.wsrep_cluster_members where node_uuid = " + quoteString(node), kNodeLeaves);
}

} // namespace varnel
