#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace varnel {
namespace {

constexpr unsigned kDuplicateEntry = 1062; // ER_DUP_ENTRY
// The server gave the statement up as a whole and nothing of it stays: an
// InnoDB deadlock, or on a Galera cluster a write of another node that
// conflicted with it (certification). Sent again after a pause, it goes in.
constexpr unsigned kDeadlock = 1213; // ER_LOCK_DEADLOCK
constexpr int kConflictRetries = 8;

// A pause before the next attempt, longer each time, never in step with
// another client that met the same conflict.
void conflictPause(int attempt)
{
    static thread_local unsigned spread =
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())
        ^ static_cast<unsigned>(::getpid());
    spread = spread * 1103515245u + 12345u;
    const int base = 20 << std::min(attempt, 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(base + static_cast<int>((spread >> 16) % 20)));
}

} // namespace

void InsertRow::add(std::string name, std::string value)
{
    if (!values.empty())
        columns += ',';
    columns += name;
    valueBytes += value.size();
    names.push_back(std::move(name));
    values.push_back(std::move(value));
}

std::size_t InsertRow::assignmentBytes() const
{
    std::size_t size = 0;
    for (std::size_t i = 0; i < values.size(); ++i)
        size += (i ? 1 : 0) + names[i].size() + 3 + escapedSize(values[i]); // `a`='x'
    return size;
}

void InsertRow::appendAssignments(std::string &out) const
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        out += names[i];
        out += "='";
        appendEscaped(out, values[i]);
        out += '\'';
    }
}

std::string packetLimitReason(std::size_t maxAllowedPacket)
{
    return "超过服务器允许的单条语句大小 max_allowed_packet（" + std::to_string(maxAllowedPacket) + " 字节）";
}

RowInserter::RowInserter(MySqlConnection &db, std::string database, Identifier table, Limits limits, Restore restore)
    : m_db(db)
    , m_database(std::move(database))
    , m_table(std::move(table))
    , m_limits(limits)
    , m_restore(std::move(restore))
{
    if (m_limits.batchRows == 0)
        m_limits.batchRows = 1;
}

RowInserter::~RowInserter()
{
    if (m_inFlight)
        m_db.finishStatement();
}

std::string RowInserter::errorText() const
{
    std::string reason;
    if (!m_db.lastError(reason))
        reason = m_db.isOpen() ? "未知错误" : "没有连接到 MySQL 服务器";
    return reason;
}

void RowInserter::lost(const std::vector<const InsertRow *> &rows)
{
    const std::string reason = errorText();
    const unsigned long oldSession = m_db.threadId();
    const std::string oldClient = m_db.clientAddress();
    const std::string oldServer = m_db.server();
    const std::string oldNode = m_db.clusterNodeId();
    std::string why;
    if (!m_restore) {
        m_deadReason = reason;
    } else if (!m_restore(why)) {
        m_deadReason = "连接已断开，重新连接失败：" + why;
    }
    if (rows.empty())
        return;
    // The old session may still be carrying the statement out (the
    // connection timed out, or the network failed): it is ended first, so
    // that what the keys show afterwards is final.
    if (m_key && m_deadReason.empty() && !m_settling && endSession(oldSession, oldClient, oldServer, oldNode)) {
        settleByKey(rows, reason);
        return;
    }
    for (const InsertRow *row : rows)
        m_unknown.push_back({row->path, reason, std::string(keyOf(*row))});
}

namespace {

// Asks the count every tenth of a second until it is 0 (true), at most
// `tries` times; false when it cannot be asked or stays above 0. `first`
// runs once, after the first count above 0.
bool countFallsToZero(MySqlConnection &on, const std::string &count, int tries, const std::function<void()> &first = {})
{
    for (int i = 0; i < tries; ++i) {
        const std::unique_ptr<RowBlock> left = on.fetchRows(count);
        if (!left || left->rowCount() != 1)
            return false;
        if (left->cellText(0, 0) == "0")
            return true;
        if (i == 0 && first)
            first();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

bool RowInserter::endSession(
    unsigned long id, const std::string &clientAddress, const std::string &server, const std::string &node)
{
    if (id == 0 || clientAddress.empty())
        return false;
    // After a move to another server of the list the old session is on the
    // old one.
    MySqlConnection *on = &m_db;
    std::optional<MySqlConnection> old;
    if (m_db.server() != server) {
        old.emplace();
        old->setTimeout(10);
        if (!old->connectLike(m_db, server))
            return nodeLeftCluster(node);
        on = &*old;
    }
    const std::string session = std::to_string(id);
    // Only a session of that id from the old connection's own address is
    // ours: a restarted server numbers its sessions anew. Still going after
    // ten seconds, its rows stay unknown.
    return countFallsToZero(*on,
        "select count(*) from information_schema.processlist where id = " + session
            + " and host = " + quoteString(clientAddress),
        100, [&] { on->execute("kill " + session); });
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

std::string_view RowInserter::keyOf(const InsertRow &row) const
{
    if (!m_key)
        return {};
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] == m_key->column.sql()) {
            const std::string_view v = row.values[i];
            return v.find_first_not_of(" \t\r\n") == std::string_view::npos ? std::string_view() : v;
        }
    }
    return {};
}

// A later file of the same key may still be stored.
void RowInserter::failRow(const InsertRow &row, const std::string &reason)
{
    const std::string_view key = keyOf(row);
    if (!key.empty())
        m_runKeys.erase(std::string(key));
    m_failures.push_back({row.path, reason, std::string(key)});
}

std::string RowInserter::keyLookupFailure() const
{
    return "无法查询唯一键是否已存在：" + errorText();
}

void RowInserter::storedRow(const InsertRow &row)
{
    ++m_inserted;
    m_stored.push_back({row.path, std::string(keyOf(row))});
}

std::optional<std::unordered_set<std::string>> RowInserter::lookUp(const std::vector<const InsertRow *> &rows)
{
    std::vector<std::string_view> keys;
    for (const InsertRow *row : rows) {
        if (const std::string_view k = keyOf(*row); !k.empty())
            keys.push_back(k);
    }
    std::unordered_set<std::string> found;
    // Long keys are asked for in parts, well under the server's packet
    // limit: a key takes at most twice its size escaped, and its lookup
    // about a hundred bytes besides.
    const std::size_t limit = m_limits.maxStatementBytes ? m_limits.maxStatementBytes / 4 : std::size_t{1} << 20;
    const std::size_t lookupBytes = std::min<std::size_t>(limit, 1 << 20);
    for (std::size_t first = 0; first < keys.size();) {
        std::size_t end = first, bytes = 0;
        while (end < keys.size() && (end == first || bytes + 2 * keys[end].size() + 128 <= lookupBytes))
            bytes += 2 * keys[end++].size() + 128;
        const std::vector<std::string_view> part(
            keys.begin() + static_cast<std::ptrdiff_t>(first), keys.begin() + static_cast<std::ptrdiff_t>(end));
        auto some = existingKeys(m_db, *m_key, part);
        // Nothing was changed: a connection lost meanwhile is restored and
        // the keys asked once more.
        if (!some && m_deadReason.empty() && m_db.connectionLost()) {
            lost({});
            if (m_deadReason.empty())
                some = existingKeys(m_db, *m_key, part);
        }
        if (!some)
            return std::nullopt;
        found.merge(*some);
        first = end;
    }
    return found;
}

void RowInserter::dropExisting(std::vector<InsertRow> &rows)
{
    std::vector<const InsertRow *> all;
    for (const InsertRow &row : rows)
        all.push_back(&row);
    // Keys that cannot be looked up are left to the statement when a unique
    // index refuses a second row; without one the rows are not sent blind.
    const auto found = lookUp(all);
    if (!found) {
        if (!m_key->unique) {
            const std::string reason = keyLookupFailure();
            for (InsertRow &row : rows)
                failRow(row, reason);
            rows.clear();
        }
        return;
    }
    std::vector<InsertRow> kept;
    kept.reserve(rows.size());
    for (InsertRow &row : rows) {
        const std::string_view k = keyOf(row);
        if (!k.empty() && found->count(std::string(k))) {
            m_exists.push_back({row.path, std::string(k)});
            continue;
        }
        row.keyLookedUp = true;
        kept.push_back(std::move(row));
    }
    rows.swap(kept);
}

void RowInserter::settleByKey(const std::vector<const InsertRow *> &rows, const std::string &reason)
{
    m_settling = true;
    const auto found = lookUp(rows);
    for (const InsertRow *row : rows) {
        const std::string_view k = keyOf(*row);
        if (!found || k.empty() || !m_deadReason.empty()) {
            m_unknown.push_back({row->path, reason, std::string(k)});
        } else if (found->count(std::string(k))) {
            storedRow(*row);
        } else {
            insertOne(*row);
        }
    }
    m_settling = false;
}

bool RowInserter::ready()
{
    // The server closed the connection while the run was busy elsewhere (its
    // wait_timeout): restored before sending, so nothing is in doubt.
    if (m_deadReason.empty() && m_db.closedByServer())
        lost({});
    if (m_db.ensureDatabase(m_database))
        return true;
    // Nothing was sent yet: a lost connection is restored and nothing is in
    // doubt.
    if (!m_deadReason.empty() || !m_db.connectionLost())
        return false;
    lost({});
    return m_deadReason.empty() && m_db.ensureDatabase(m_database);
}

void RowInserter::insertOne(const InsertRow &row)
{
    const std::string key(keyOf(row));
    if (!m_deadReason.empty()) {
        failRow(row, m_deadReason);
        return;
    }
    if (!ready()) {
        failRow(row, m_deadReason.empty() ? errorText() : m_deadReason);
        return;
    }
    if (!key.empty() && !row.keyLookedUp) {
        const auto found = lookUp({&row});
        if (found && found->count(key)) {
            m_exists.push_back({row.path, key});
            return;
        }
        if (!found && !m_key->unique) {
            failRow(row, keyLookupFailure());
            return;
        }
    }
    // The statement is built in place: the row's values are escaped into it
    // once.
    bool sent = false;
    {
        std::string statement = sql::insertRow(m_table, "");
        statement.reserve(statement.size() + row.assignmentBytes());
        row.appendAssignments(statement);
        sent = m_db.insertStatement(statement);
        for (int attempt = 0; !sent && m_db.lastErrorNumber() == kDeadlock && attempt < kConflictRetries; ++attempt) {
            ++m_conflicts;
            conflictPause(attempt);
            sent = m_db.insertStatement(statement);
        }
    }
    if (sent) {
        storedRow(row);
        return;
    }
    if (m_db.connectionLost()) {
        lost({&row});
        return;
    }
    const std::string reason = errorText();
    // A unique index refused the key: the table holds the article already
    // (the lookup before sending compared as the index does not, or another
    // program stored it meanwhile).
    if (!key.empty() && m_db.lastErrorNumber() == kDuplicateEntry) {
        const auto found = lookUp({&row});
        if (found && found->count(key)) {
            m_exists.push_back({row.path, key});
            return;
        }
    }
    failRow(row, reason);
}

void RowInserter::add(InsertRow row)
{
    m_db.advanceStatement();
    if (!m_deadReason.empty()) {
        m_failures.push_back({row.path, m_deadReason, std::string(keyOf(row))});
        return;
    }
    // A second file of the same key in one run is the same article, once
    // the first is stored; the first may still be on its way, and its
    // outcome decides.
    if (const std::string key(keyOf(row)); !key.empty()) {
        if (m_runKeys.count(key)) {
            flush();
            finishInFlight();
            if (m_runKeys.count(key)) {
                m_exists.push_back({row.path, key});
                return;
            }
        }
        m_runKeys.insert(key);
    }
    // The server closes the connection on a statement over its limit: such a
    // row is refused here, and the connection stays up for the others (a
    // batched row may have to go alone). Escaping at most doubles a value,
    // so most rows are cleared without escaping a byte.
    const std::size_t head = sql::insertRow(m_table, "").size() + row.columns.size() + 4 * row.values.size();
    if (m_limits.maxStatementBytes && head + 2 * row.valueBytes + 1 > m_limits.maxStatementBytes
        && head + row.assignmentBytes() + 1 > m_limits.maxStatementBytes) {
        failRow(row, packetLimitReason(m_limits.maxStatementBytes));
        return;
    }
    std::size_t batchBytes = m_limits.batchBytes;
    if (m_limits.maxStatementBytes) {
        const std::size_t packetHead = 64 + row.values.size() / 8;
        batchBytes =
            std::min(batchBytes, m_limits.maxStatementBytes > packetHead ? m_limits.maxStatementBytes - packetHead : 0);
    }
    const std::size_t rowBytes = row.boundBytes();
    const std::size_t maxRows =
        std::min(m_limits.batchRows, kMaxBoundValues / std::max<std::size_t>(1, row.values.size()));
    // Rows without columns, rows of another column list (the mapping was
    // edited during the run) and rows too big for a batch do not join one.
    const bool single = maxRows <= 1 || row.columns.empty() || rowBytes >= batchBytes;
    if (!m_pending.empty()
        && (single || row.columns != m_pending.front().columns || m_pendingBytes + rowBytes > batchBytes
            || m_pending.size() >= maxRows))
        flush();
    if (single) {
        finishInFlight();
        insertOne(row);
        return;
    }
    m_pendingBytes += rowBytes;
    m_pending.push_back(std::move(row));
    if (m_pending.size() >= maxRows)
        flush();
}

void RowInserter::finishInFlight()
{
    if (!m_inFlight)
        return;
    const std::shared_ptr<std::vector<InsertRow>> rows = std::move(m_inFlight);
    m_inFlight.reset();
    for (int attempt = 0;; ++attempt) {
        if (m_db.finishStatement()) {
            for (const InsertRow &row : *rows)
                storedRow(row);
            return;
        }
        if (m_db.connectionLost()) {
            std::vector<const InsertRow *> all;
            for (const InsertRow &row : *rows)
                all.push_back(&row);
            lost(all);
            return;
        }
        // Nothing of the batch stayed: it goes once more as it was.
        if (m_db.lastErrorNumber() != kDeadlock || attempt >= kConflictRetries)
            break;
        ++m_conflicts;
        conflictPause(attempt);
        if (!startBatch(rows))
            return;
    }
    // All or nothing: one statement on a transactional table leaves no row
    // behind when refused, so going through its rows one by one inserts each
    // exactly once.
    for (const InsertRow &row : *rows)
        insertOne(row);
}

namespace {

// insert into `database`.`table` (`a`,`b`) values (?,?),(?,?): the database
// is named, for a prepared statement keeps the one current when it was
// prepared.
std::string batchStatement(
    const std::string &database, const Identifier &table, const InsertRow &first, std::size_t rows)
{
    std::string tuple = "(?";
    for (std::size_t i = 1; i < first.values.size(); ++i)
        tuple += ",?";
    tuple += ')';
    std::string statement =
        "insert into " + quoteIdentifier(database) + "." + table.sql() + " (" + first.columns + ") values ";
    statement.reserve(statement.size() + rows * (tuple.size() + 1));
    for (std::size_t i = 0; i < rows; ++i) {
        if (i)
            statement += ',';
        statement += tuple;
    }
    return statement;
}

} // namespace

void RowInserter::flush()
{
    finishInFlight();
    if (m_pending.empty())
        return;
    auto rows = std::make_shared<std::vector<InsertRow>>();
    rows->swap(m_pending);
    m_pendingBytes = 0;
    if (m_key && m_deadReason.empty() && ready())
        dropExisting(*rows);
    if (rows->empty())
        return;
    if (rows->size() == 1 || !m_deadReason.empty()) {
        for (const InsertRow &row : *rows)
            insertOne(row);
        return;
    }
    if (startBatch(rows))
        m_inFlight = std::move(rows);
}

bool RowInserter::startBatch(const std::shared_ptr<std::vector<InsertRow>> &rows)
{
    std::vector<std::string_view> values;
    values.reserve(rows->size() * rows->front().values.size());
    for (const InsertRow &row : *rows)
        values.insert(values.end(), row.values.begin(), row.values.end());
    // No explicit transaction: it would stay open while the window handles
    // events, and take in whatever another window sends meanwhile. A batch
    // that cannot even be prepared goes row by row, each with its reason.
    if (ready()
        && m_db.startPrepared(
            batchStatement(m_database, m_table, rows->front(), rows->size()), std::move(values), rows))
        return true;
    // Preparing carries nothing out: a connection lost meanwhile is restored
    // and nothing is in doubt.
    if (m_deadReason.empty() && m_db.connectionLost())
        lost({});
    for (const InsertRow &row : *rows)
        insertOne(row);
    return false;
}

void RowInserter::complete()
{
    flush();
    finishInFlight();
}

} // namespace varnel
