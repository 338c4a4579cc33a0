// The inserter's work with keys: which rows the table holds already, and
// what became of the rows a lost connection left in doubt.
#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace varnel {

std::string_view RowInserter::keyOf(const InsertRow &row) const
{
    if (!m_key)
        return {};
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] == m_key->column().column.sql())
            return row.values[i];
    }
    return {};
}

std::string_view RowInserter::keyRefusal(const InsertRow &row) const
{
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] != m_key->column().column.sql())
            continue;
        // A blank value identifies nothing: every such file would be "the
        // same article".
        if (row.values[i].find_first_not_of(" \t\r\n") == std::string::npos)
            return kBlankKey;
        if (std::find(row.lossy.begin(), row.lossy.end(), i) != row.lossy.end())
            return kLossyKey;
        return {};
    }
    return kBlankKey;
}

std::optional<std::vector<KeyFound>> RowInserter::lookUp(const std::vector<InsertRow *> &rows)
{
    std::vector<std::string_view> keys;
    keys.reserve(rows.size());
    for (const InsertRow *row : rows)
        keys.push_back(keyOf(*row));
    auto found = m_key->lookUp(m_db, keys);
    // Nothing was changed: a connection lost meanwhile is restored and the
    // keys asked once more.
    if (!found && m_deadReason.empty() && m_db.connectionLost()) {
        lost({});
        if (m_deadReason.empty())
            found = m_key->lookUp(m_db, keys);
    }
    return found;
}

void RowInserter::settleKeys(std::vector<InsertRow> &rows)
{
    std::vector<InsertRow *> asked;
    for (InsertRow &row : rows) {
        if (row.refusal.empty())
            asked.push_back(&row);
    }
    if (asked.empty())
        return;
    const auto found = lookUp(asked);
    if (!found) {
        // Without a unique index to refuse a second row, rows are not sent
        // blind; with one, the statement decides.
        if (!m_key->column().unique) {
            const std::string reason = keyLookupFailure();
            for (InsertRow *row : asked)
                row->refusal = reason;
        }
        return;
    }
    std::vector<InsertRow> kept, later;
    kept.reserve(rows.size());
    std::size_t place = 0; // in `asked`, which follows `rows`
    for (InsertRow &row : rows) {
        if (!row.refusal.empty()) {
            kept.push_back(std::move(row));
            continue;
        }
        const std::size_t at = place++;
        switch ((*found)[at]) {
        case KeyFound::InTable:
            if (!row.replaces) {
                m_exists.push_back({row.path, std::string(keyOf(row))});
                continue;
            }
            if (replaceExisting(row, at))
                continue;
            break; // its rows went meanwhile: stored anew
        case KeyFound::Repeated:
            // The earlier row's outcome decides: stored, this one exists;
            // refused, this one may go.
            later.push_back(std::move(row));
            continue;
        case KeyFound::No:
            break;
        }
        row.keyLookedUp = true;
        kept.push_back(std::move(row));
    }
    rows.swap(kept);
    if (!later.empty())
        putBack(std::move(later));
}

bool RowInserter::replaceExisting(InsertRow &row, std::size_t place)
{
    number(row);
    std::string statement = "update " + quoteIdentifier(m_database) + "." + m_table.sql() + " set ";
    statement.reserve(statement.size() + row.assignmentBytes() + 128);
    row.appendAssignments(statement);
    statement += " where " + m_key->rowsOfKey(place);
    if (sendRetrying(statement)) {
        if (m_db.matchedRows() == 0)
            return false;
        storedRow(row);
        return true;
    }
    if (m_db.connectionLost()) {
        // Whether the new values went in, the key cannot tell.
        const std::string reason = errorText();
        lost({});
        m_unknown.push_back({row.path, reason, std::string(keyOf(row))});
        return true;
    }
    failRow(row, errorText());
    return true;
}

void RowInserter::lost(const std::vector<InsertRow *> &rows)
{
    const std::string reason = errorText();
    const SessionIdentity old = m_db.identity();
    std::string why;
    if (!m_deadReason.empty()) {
        // Given up already: nothing more goes to the server.
    } else if (!m_restore) {
        m_deadReason = reason;
    } else if (!m_restore(why)) {
        m_deadReason = "连接已断开，重新连接失败：" + why;
    }
    if (rows.empty())
        return;
    // The old session may still be carrying the statement out (the
    // connection timed out, or the network failed): it is ended first, so
    // that what the keys show afterwards is final.
    if (m_key && m_deadReason.empty() && endSession(old)) {
        settleByKey(rows, reason);
        return;
    }
    for (const InsertRow *row : rows)
        m_unknown.push_back({row->path, reason, std::string(keyOf(*row))});
}

namespace {

// Asks the count every tenth of a second until it is 0 (true), at most
// `tries` times; false when it cannot be asked or stays above 0.
bool countFallsToZero(MySqlConnection &on, const std::string &count, int tries)
{
    for (int i = 0; i < tries; ++i) {
        const std::unique_ptr<RowBlock> left = on.fetchRows(count);
        if (!left || left->rowCount() != 1)
            return false;
        if (left->cellText(0, 0) == "0")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

bool RowInserter::endSession(const SessionIdentity &old)
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
    // Still going after ten seconds, its rows stay unknown.
    on->fetchRows("kill connection " + std::to_string(old.id));
    return countFallsToZero(*on, "select count(*) " + ofId, 100);
}

// A node that let no one in may still be in its cluster (it refused this
// login only, or the network between us failed): only once the cluster
// counts it out can it commit nothing more, and what it committed before is
// on every node (the reads here wait for it). Still a member after thirty
// seconds, the rows stay unknown.
bool RowInserter::nodeLeftCluster(const std::string &node)
{
    if (!m_db.clusterNode() || node.empty())
        return false;
    return countFallsToZero(
        m_db, "select count(*) from mysql.wsrep_cluster_members where node_uuid = " + quoteString(node), 300);
}

void RowInserter::settleByKey(const std::vector<InsertRow *> &rows, const std::string &reason)
{
    const auto found = lookUp(rows);
    std::vector<InsertRow> again;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        InsertRow &row = *rows[i];
        if (!found || !m_deadReason.empty()) {
            m_unknown.push_back({row.path, reason, std::string(keyOf(row))});
        } else if ((*found)[i] == KeyFound::InTable) {
            storedRow(row);
        } else {
            // Not stored: it goes again with the next rows, in a batch of
            // its own kind, looked up once more before it goes.
            row.keyLookedUp = false;
            again.push_back(std::move(row));
        }
    }
    if (!again.empty())
        putBack(std::move(again));
}

} // namespace varnel
