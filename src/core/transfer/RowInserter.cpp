#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"

namespace varnel {

void InsertRow::add(std::string name, std::string value)
{
    const std::size_t escaped = escapedSize(value);
    const std::size_t comma = values.empty() ? 0 : 1;
    if (comma)
        columns += ',';
    columns += name;
    assignmentBytes += comma + name.size() + 3 + escaped; // `a`='x'
    tupleBytes += (comma ? 1 : 2) + escaped + 2; // the parentheses once, a comma before the others
    names.push_back(std::move(name));
    values.push_back(std::move(value));
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

void InsertRow::appendTuple(std::string &out) const
{
    out += '(';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        out += '\'';
        appendEscaped(out, values[i]);
        out += '\'';
    }
    out += ')';
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
    for (const InsertRow *row : rows)
        m_unknown.push_back({row->path, reason});
    std::string why;
    if (!m_restore) {
        m_deadReason = reason;
    } else if (!m_restore(why)) {
        m_deadReason = "连接已断开，重新连接失败：" + why;
    }
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
    if (!m_deadReason.empty()) {
        m_failures.push_back({row.path, m_deadReason});
        return;
    }
    if (!ready()) {
        m_failures.push_back({row.path, m_deadReason.empty() ? errorText() : m_deadReason});
        return;
    }
    // The statement is built in place: the row's values are escaped into it
    // once.
    bool sent = false;
    {
        std::string statement = sql::insertRow(m_table, "");
        statement.reserve(statement.size() + row.assignmentBytes);
        row.appendAssignments(statement);
        sent = m_db.insertStatement(statement);
    }
    if (sent) {
        ++m_inserted;
        return;
    }
    if (m_db.connectionLost()) {
        lost({&row});
        return;
    }
    m_failures.push_back({row.path, errorText()});
}

void RowInserter::add(InsertRow row)
{
    m_db.advanceStatement();
    if (!m_deadReason.empty()) {
        m_failures.push_back({row.path, m_deadReason});
        return;
    }
    // The server closes the connection on a statement over its limit: such a
    // row is refused here, and the connection stays up for the others.
    const std::size_t alone = sql::insertRow(m_table, "").size() + row.assignmentBytes;
    if (m_limits.maxStatementBytes && alone + 1 > m_limits.maxStatementBytes) {
        m_failures.push_back({row.path, packetLimitReason(m_limits.maxStatementBytes)});
        return;
    }
    std::size_t batchBytes = m_limits.batchBytes;
    if (m_limits.maxStatementBytes) {
        const std::size_t head = m_table.sql().size() + row.columns.size() + 32;
        batchBytes = std::min(batchBytes, m_limits.maxStatementBytes > head ? m_limits.maxStatementBytes - head : 0);
    }
    // Rows without columns, rows of another column list (the mapping was
    // edited during the run) and rows too big for a batch do not join one.
    const bool single = m_limits.batchRows == 1 || row.columns.empty() || row.tupleBytes >= batchBytes;
    if (!m_pending.empty()
        && (single || row.columns != m_pending.front().columns || m_pendingBytes + row.tupleBytes > batchBytes))
        flush();
    if (single) {
        finishInFlight();
        insertOne(row);
        return;
    }
    m_pendingBytes += row.tupleBytes + 1;
    m_pending.push_back(std::move(row));
    if (m_pending.size() >= m_limits.batchRows)
        flush();
}

void RowInserter::finishInFlight()
{
    if (m_inFlight.empty())
        return;
    std::vector<InsertRow> rows;
    rows.swap(m_inFlight);
    if (m_db.finishStatement()) {
        m_inserted += static_cast<std::int64_t>(rows.size());
        return;
    }
    if (m_db.connectionLost()) {
        std::vector<const InsertRow *> all;
        for (const InsertRow &row : rows)
            all.push_back(&row);
        lost(all);
        return;
    }
    // All or nothing: one statement on a transactional table leaves no row
    // behind when refused, so going through its rows one by one inserts each
    // exactly once.
    for (const InsertRow &row : rows)
        insertOne(row);
}

void RowInserter::flush()
{
    finishInFlight();
    if (m_pending.empty())
        return;
    std::vector<InsertRow> rows;
    rows.swap(m_pending);
    m_pendingBytes = 0;
    if (rows.size() == 1 || !m_deadReason.empty()) {
        for (const InsertRow &row : rows)
            insertOne(row);
        return;
    }
    std::string statement = "insert into " + m_table.sql() + " (" + rows.front().columns + ") values ";
    std::size_t size = statement.size();
    for (const InsertRow &row : rows)
        size += row.tupleBytes + 1;
    statement.reserve(size);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i)
            statement += ',';
        rows[i].appendTuple(statement);
    }
    // No explicit transaction: it would stay open while the window handles
    // events, and take in whatever another window sends meanwhile.
    if (!ready() || !m_db.startStatement(std::move(statement))) {
        for (const InsertRow &row : rows)
            insertOne(row);
        return;
    }
    m_inFlight = std::move(rows);
}

void RowInserter::complete()
{
    flush();
    finishInFlight();
}

} // namespace varnel
