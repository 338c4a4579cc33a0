#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"

namespace varnel {

RowInserter::RowInserter(MySqlConnection &db, std::string tableText, std::size_t batchRows, std::size_t batchBytes)
    : m_db(db)
    , m_table(std::move(tableText))
    , m_batchRows(batchRows == 0 ? 1 : batchRows)
    , m_batchBytes(batchBytes)
{
}

bool RowInserter::insertOne(const InsertRow &row)
{
    if (m_db.insertRow(m_table, row.assignments)) {
        ++m_inserted;
        return true;
    }
    std::string reason;
    if (!m_db.lastError(reason))
        reason = "no connection";
    m_failures.push_back({row.path, reason});
    return false;
}

void RowInserter::insertEachOf(std::vector<InsertRow> &rows)
{
    for (const InsertRow &row : rows)
        insertOne(row);
}

void RowInserter::add(InsertRow row)
{
    m_db.advanceStatement();
    // Rows without columns, rows of another column list (the mapping was
    // edited during the run) and rows too big for a batch do not join one.
    const bool alone = m_batchRows == 1 || row.columns.empty() || row.tuple.size() >= m_batchBytes;
    if (!m_pending.empty()
        && (alone || row.columns != m_pending.front().columns || m_pendingBytes + row.tuple.size() > m_batchBytes))
        flush();
    if (alone) {
        finishInFlight();
        insertOne(row);
        return;
    }
    m_pendingBytes += row.tuple.size() + 1;
    m_pending.push_back(std::move(row));
    if (m_pending.size() >= m_batchRows)
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
    // All or nothing: one statement on a transactional table leaves no row
    // behind when refused, so going through its rows one by one inserts each
    // exactly once.
    insertEachOf(rows);
}

void RowInserter::flush()
{
    finishInFlight();
    if (m_pending.empty())
        return;
    std::vector<InsertRow> rows;
    rows.swap(m_pending);
    m_pendingBytes = 0;
    if (rows.size() == 1) {
        insertOne(rows.front());
        return;
    }
    std::string statement = "insert into " + m_table + " (" + rows.front().columns + ") values ";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i)
            statement += ',';
        statement += rows[i].tuple;
    }
    // No explicit transaction: it would stay open while the window handles
    // events, and take in whatever another window sends meanwhile.
    if (!m_db.startStatement(statement)) {
        insertEachOf(rows);
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
