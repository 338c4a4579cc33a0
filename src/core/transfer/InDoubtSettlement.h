#pragma once

#include "mysql/SessionIdentity.h"
#include "transfer/KeyLookup.h"
#include "util/RunWait.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// Decides what became of the rows whose statement a lost connection left in
// doubt: stored when the table holds their key, to be sent again when not.
//
// The keys tell only once the old server session can commit nothing more, so
// it is ended first: killed and waited for on its server, or, on a cluster
// node that no longer lets us in, waited for until the cluster counts the
// node out. When that cannot be known (or a stop ends the wait) the rows stay
// unknown. The connection given is the restored one.
class InDoubtSettlement {
public:
    enum class Verdict { Stored, Again, Unknown };
    enum class Stage { EndingSession, LookingUp, Settled, LeftUnknown };
    // The keys of the rows in doubt looked up on the restored connection,
    // one answer per row; nothing when the lookup failed.
    using LookUp = std::function<std::optional<std::vector<KeyFound>>()>;

    InDoubtSettlement(MySqlConnection &db, RunWait &wait)
        : m_db(db)
        , m_wait(wait)
    {
    }

    // One verdict per row in doubt.
    std::vector<Verdict> settle(const SessionIdentity &old, std::size_t rows, const LookUp &lookUp);
    // Where the last settle() ended.
    Stage stage() const { return m_stage; }

    // How long an old session that was killed may take to end, and a cluster
    // to count a node out.
    inline static constexpr std::chrono::seconds kSessionEnds{10};
    inline static constexpr std::chrono::seconds kNodeLeaves{30};

private:
    bool endSession(const SessionIdentity &old);
    bool nodeLeftCluster(const std::string &node);
    // Asks the count until it is 0, at most for `limit`.
    bool countFallsToZero(MySqlConnection &on, const std::string &count, std::chrono::milliseconds limit);

    MySqlConnection &m_db;
    RunWait &m_wait;
    Stage m_stage = Stage::EndingSession;
};

} // namespace varnel
