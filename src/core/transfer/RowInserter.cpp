#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"
#include "mysql/ServerError.h"
#include "mysql/Statements.h"

#include <algorithm>

namespace varnel {

RowInserter::RowInserter(MySqlConnection &db, std::string database, Identifier table, Limits limits, Restore restore)
    : m_db(db)
    , m_database(std::move(database))
    , m_table(std::move(table))
    , m_sizing(limits, sql::insertRow(m_table, "").size())
    , m_restore(std::move(restore))
{
    m_retry.emplace(m_ownSpread);
}

RowInserter::~RowInserter()
{
    if (m_inFlight)
        m_db.finishStatement();
}

void RowInserter::setKey(const KeyColumn &key)
{
    // Keys are asked for in parts, well under the server's packet limit.
    const std::size_t packet = m_sizing.limits().maxStatementBytes;
    m_key.emplace(key, packet ? packet / 4 : std::size_t{1} << 20);
}

std::string RowInserter::errorText() const
{
    std::string reason;
    if (!m_db.lastError(reason))
        reason = m_db.isOpen() ? "未知错误" : "没有连接到 MySQL 服务器";
    return reason;
}

// A row's numbers are given once, in the order rows are decided; a row found
// stored already takes none.
void RowInserter::number(InsertRow &row)
{
    if (row.finished)
        return;
    row.finished = true;
    if (m_numbering && !row.numberedLater.empty())
        m_numbering(row);
    row.numberedLater.clear();
}

void RowInserter::failRow(InsertRow &row, const std::string &reason)
{
    number(row);
    m_failures.push_back({row.path, reason, std::string(keyOf(row))});
}

std::string RowInserter::keyLookupFailure() const
{
    return "无法查询唯一键是否已存在：" + errorText();
}

void RowInserter::notSent(InsertRow &row)
{
    if (!m_deadReason.empty())
        failRow(row, m_deadReason);
    else
        m_skipped.push_back({row.path, std::string(kStoppedReason), std::string(keyOf(row))});
}

void RowInserter::storedRow(const InsertRow &row)
{
    ++m_inserted;
    m_stored.push_back({row.path, std::string(keyOf(row))});
}

bool RowInserter::ready()
{
    // The server closed the connection while the run was busy elsewhere (its
    // wait_timeout): restored before sending, so nothing is in doubt.
    if (going() && m_db.closedByServer())
        restore();
    if (m_db.ensureDatabase(m_database))
        return true;
    // Nothing was sent yet: a lost connection is restored and nothing is in
    // doubt.
    if (!going() || !m_db.connectionLost())
        return false;
    restore();
    return going() && m_db.ensureDatabase(m_database);
}

bool RowInserter::sendRetrying(std::string_view statement)
{
    bool sent = m_db.insertStatement(statement);
    for (int attempt = 0; !sent && m_retry->again(m_db.lastErrorNumber(), attempt, m_wait); ++attempt)
        sent = m_db.insertStatement(statement);
    return sent;
}

void RowInserter::insertOne(InsertRow &row)
{
    if (!row.refusal.empty()) {
        failRow(row, row.refusal);
        return;
    }
    if (!going() || !ready()) {
        if (going())
            failRow(row, errorText());
        else
            notSent(row);
        return;
    }
    const std::string key(keyOf(row));
    if (m_key && !row.keyLookedUp) {
        const auto found = lookUp({&row});
        if (found && found->front() == KeyFound::InTable) {
            if (!row.replaces) {
                m_exists.push_back({row.path, key});
                return;
            }
            if (replaceExisting(row, 0))
                return;
        }
        if (!found && !m_key->column().unique) {
            failRow(row, keyLookupFailure());
            return;
        }
    }
    number(row);
    // The statement is built in place: the row's values are escaped into it
    // once.
    bool sent = false;
    {
        std::string statement = sql::insertRow(m_table, "");
        statement.reserve(statement.size() + row.assignmentBytes());
        row.appendAssignments(statement);
        sent = sendRetrying(statement);
    }
    if (sent) {
        storedRow(row);
        return;
    }
    if (m_db.connectionLost()) {
        lost({&row});
        return;
    }
    // A stop came while it waited to go again after a conflict: nothing of
    // it stayed.
    if (m_wait.wasStopped()) {
        notSent(row);
        return;
    }
    const std::string reason = errorText();
    // A unique index refused the key: another program stored the article
    // since the lookup.
    if (m_key && m_db.lastErrorNumber() == errnum::kDuplicateEntry) {
        const auto found = lookUp({&row});
        if (found && found->front() == KeyFound::InTable) {
            m_exists.push_back({row.path, key});
            return;
        }
    }
    failRow(row, reason);
}

void RowInserter::add(InsertRow row)
{
    m_db.advanceStatement();
    if (!going()) {
        // The rows before it go first, so that numbers keep the files' order.
        flush();
        notSent(row);
        return;
    }
    if (m_key)
        row.refusal = std::string(m_key->refusal(row));
    // The server closes the connection on a statement over its limit: such a
    // row is refused here, and the connection stays up for the others (a
    // batched row may have to go alone).
    if (row.refusal.empty() && m_sizing.tooLong(row))
        row.refusal = packetLimitReason(m_sizing.limits().maxStatementBytes);
    if (!row.refusal.empty()) {
        // It fails in its place: after the rows gathered before it.
        if (m_pending.empty())
            failRow(row, row.refusal);
        else
            m_pending.push_back(std::move(row));
        return;
    }
    const BatchSizing::Size size = m_sizing.batchOf(row.values.size());
    const std::size_t rowBytes = row.boundBytes();
    // Rows of another column list (the mapping was edited during the run)
    // do not join the batch gathered.
    const bool single = m_sizing.goesAlone(row);
    if (!m_pending.empty()
        && (single || (!m_pendingColumns.empty() && row.columns != m_pendingColumns)
            || m_pendingBytes + rowBytes > size.bytes || m_pending.size() >= size.rows))
        flush();
    if (single) {
        // Rows put back by the flush go first.
        while (!m_pending.empty())
            flush();
        finishInFlight();
        insertOne(row);
        return;
    }
    m_pendingColumns = row.columns;
    m_pendingBytes += rowBytes;
    m_pending.push_back(std::move(row));
    if (m_pending.size() >= size.rows)
        flush();
}

void RowInserter::putBack(std::vector<InsertRow> rows)
{
    for (const InsertRow &row : rows) {
        m_pendingBytes += row.refusal.empty() ? row.boundBytes() : 0;
        m_pendingColumns = row.columns;
    }
    rows.insert(rows.end(), std::make_move_iterator(m_pending.begin()), std::make_move_iterator(m_pending.end()));
    m_pending.swap(rows);
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
            std::vector<InsertRow *> all;
            for (InsertRow &row : *rows)
                all.push_back(&row);
            lost(all);
            return;
        }
        // Nothing of the batch stayed: it goes once more as it was.
        if (!m_retry->again(m_db.lastErrorNumber(), attempt, m_wait))
            break;
        if (!startBatch(rows))
            return;
    }
    // All or nothing: one statement on a transactional table leaves no row
    // behind when refused, so going through its rows one by one inserts each
    // exactly once (after a stop, none goes).
    for (InsertRow &row : *rows)
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

std::shared_ptr<std::vector<InsertRow>> RowInserter::takeBatch()
{
    // The rows of one batch, of one column list; rows put back after a loss
    // may make more.
    const InsertRow &first = m_pending.front();
    const BatchSizing::Size size = m_sizing.batchOf(first.values.size());
    std::size_t take = 0, bytes = 0;
    for (; take < m_pending.size() && take < size.rows; ++take) {
        const InsertRow &row = m_pending[take];
        if (!row.refusal.empty())
            continue;
        if (take > 0 && (row.columns != first.columns || bytes + row.boundBytes() > size.bytes))
            break;
        bytes += row.boundBytes();
    }
    auto rows = std::make_shared<std::vector<InsertRow>>(std::make_move_iterator(m_pending.begin()),
        std::make_move_iterator(m_pending.begin() + static_cast<std::ptrdiff_t>(take)));
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(take));
    m_pendingBytes = 0;
    for (const InsertRow &row : m_pending)
        m_pendingBytes += row.refusal.empty() ? row.boundBytes() : 0;
    if (m_pending.empty())
        m_pendingColumns.clear();
    return rows;
}

void RowInserter::flush()
{
    finishInFlight();
    if (m_pending.empty())
        return;
    std::shared_ptr<std::vector<InsertRow>> rows = takeBatch();
    if (m_key && going() && ready())
        settleKeys(*rows);
    // The rows that go, in their order; those refused fail in their place.
    std::vector<InsertRow> sending;
    sending.reserve(rows->size());
    for (InsertRow &row : *rows) {
        if (!row.refusal.empty())
            failRow(row, row.refusal);
        else if (!going())
            notSent(row);
        else {
            number(row);
            sending.push_back(std::move(row));
        }
    }
    rows->swap(sending);
    if (rows->empty())
        return;
    if (rows->size() == 1) {
        insertOne(rows->front());
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
    if (going() && m_db.connectionLost())
        restore();
    for (InsertRow &row : *rows)
        insertOne(row);
    return false;
}

void RowInserter::complete()
{
    // Rows that waited for an earlier row of their key, and rows a lost
    // connection put back, come back here.
    do {
        while (!m_pending.empty())
            flush();
        finishInFlight();
    } while (!m_pending.empty());
    if (m_key)
        m_key->release(m_db);
}

} // namespace varnel
