// The inserter's work with keys: which rows the table holds already, and
// what became of the rows a lost connection left in doubt.
#include "transfer/RowInserter.h"

#include "mysql/MySqlConnection.h"
#include "transfer/InDoubtSettlement.h"

namespace varnel {

std::optional<std::vector<KeyFound>> RowInserter::lookUp(const std::vector<InsertRow *> &rows)
{
    std::vector<std::string_view> keys;
    keys.reserve(rows.size());
    for (const InsertRow *row : rows)
        keys.push_back(keyOf(*row));
    auto found = m_key->lookUp(m_db, keys);
    // Nothing was changed: a connection lost meanwhile is restored and the
    // keys asked once more.
    if (!found && going() && m_db.connectionLost()) {
        restore();
        if (going())
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
        switch (KeyLookup::decide((*found)[at], row)) {
        case KeyLookup::Decision::Exists:
            m_exists.push_back({row.path, std::string(keyOf(row))});
            continue;
        case KeyLookup::Decision::Replace:
            if (replaceExisting(row, at))
                continue;
            break; // its rows went meanwhile: stored anew
        case KeyLookup::Decision::Later:
            later.push_back(std::move(row));
            continue;
        case KeyLookup::Decision::Send:
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
        restore();
        m_unknown.push_back({row.path, reason, std::string(keyOf(row))});
        return true;
    }
    if (m_wait.wasStopped())
        notSent(row);
    else
        failRow(row, errorText());
    return true;
}

void RowInserter::restore()
{
    // Given up already, or stopped: nothing more goes to the server.
    if (!going())
        return;
    if (!m_restore) {
        m_deadReason = errorText();
    } else if (const Result<void> restored = m_restore(); !restored) {
        m_deadReason = "连接已断开，重新连接失败：" + restored.error().message;
    }
}

void RowInserter::lost(const std::vector<InsertRow *> &rows)
{
    const std::string reason = errorText();
    const SessionIdentity old = m_db.identity();
    restore();
    if (rows.empty())
        return;
    if (m_key && going()) {
        settleByKey(rows, old, reason);
        return;
    }
    for (const InsertRow *row : rows)
        m_unknown.push_back({row->path, reason, std::string(keyOf(*row))});
}

void RowInserter::settleByKey(
    const std::vector<InsertRow *> &rows, const SessionIdentity &old, const std::string &reason)
{
    InDoubtSettlement settlement(m_db, m_wait);
    const std::vector<InDoubtSettlement::Verdict> verdicts =
        settlement.settle(old, rows.size(), [&] { return lookUp(rows); });
    std::vector<InsertRow> again;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        InsertRow &row = *rows[i];
        switch (verdicts[i]) {
        case InDoubtSettlement::Verdict::Stored:
            storedRow(row);
            break;
        case InDoubtSettlement::Verdict::Again:
            // Not stored: it goes again with the next rows, in a batch of
            // its own kind, looked up once more before it goes.
            row.keyLookedUp = false;
            again.push_back(std::move(row));
            break;
        case InDoubtSettlement::Verdict::Unknown:
            m_unknown.push_back({row.path, reason, std::string(keyOf(row))});
            break;
        }
    }
    if (!again.empty())
        putBack(std::move(again));
}

} // namespace varnel
