#pragma once

#include "mysql/Quoting.h"
#include "mysql/SessionIdentity.h"
#include "transfer/BatchSizing.h"
#include "transfer/ConflictRetry.h"
#include "transfer/InsertRow.h"
#include "transfer/KeyLookup.h"
#include "transfer/TransferHost.h"
#include "util/Result.h"
#include "util/RunWait.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// Decides the order in which rows go and what each one's outcome is: stored,
// exists, failed, unknown or skipped, only as the server said.
//
// Sends rows to a table, either one INSERT per row or in multi-row batches
// (for tables that take a refused statement back as a whole: InnoDB). When
// the server refuses a batch, its rows go one by one, so only the refused
// rows are skipped, each with the server's reason. No row goes in twice.
//
// A batch is one prepared multi-row INSERT with the values bound: the server
// takes them as they are instead of scanning megabytes of escaped literals,
// which is most of its work on articles. It is sent without waiting: while
// the server stores it, the caller prepares the next rows (add() keeps the
// statement moving). Its outcome is taken when the next batch goes, or at
// complete().
//
// A row counts as inserted only when the server confirmed it. When the
// connection is lost, the rows whose statement was under way are listed as
// unknown (they may or may not be stored), the connection is restored once
// through the restore hook, and the remaining rows go on the new one; when it
// cannot be restored, every remaining row fails with the reason.
//
// With a key column a row whose key the table holds already, or that an
// earlier row of the run had, is not sent: it "exists". Keys compare as the
// column holds them (KeyLookup), in one run as across runs. Each batch's keys
// are looked up before it is sent. Rows whose outcome a lost connection
// left unknown are settled by key on the restored connection, once the old
// server session is known to be over (InDoubtSettlement): found they are
// stored, otherwise they are sent again. A row without a key value, or with
// one that cannot tell files apart, fails.
//
// Its waits (conflict pauses, an old session ending) go through the run's
// RunWait: a stop asked for meanwhile ends the run there, and the rows that
// had not gone are skipped.
class RowInserter {
public:
    using Limits = InsertLimits;
    // Restores the connection and the session the rows need, or says why it
    // cannot.
    using Restore = std::function<Result<void>()>;
    // Gives a row the values numbered later, right before it is sent or
    // fails (never for a row found stored already).
    using Numbering = std::function<void(InsertRow &row)>;

    // Rows go to the table in `database`, whatever other windows select on
    // the connection meanwhile.
    RowInserter(MySqlConnection &db, std::string database, Identifier table, Limits limits, Restore restore = {});
    // A batch still on its way is awaited: the connection reads its values.
    ~RowInserter();
    RowInserter(const RowInserter &) = delete;
    RowInserter &operator=(const RowInserter &) = delete;

    inline static constexpr std::size_t kMaxBoundValues = BatchSizing::kMaxBoundValues;

    // Rows are identified by their value of this column.
    void setKey(const KeyColumn &key);
    void setNumbering(Numbering numbering) { m_numbering = std::move(numbering); }
    // How the run waits: its pump, its stop request, its clock.
    void setWait(RunWait wait) { m_wait = std::move(wait); }
    // Where the spread of conflict pauses comes from (by default a source of
    // its own, so that the run's random values do not depend on conflicts).
    void setConflictSpread(RandomSource &spread) { m_retry.emplace(spread); }

    void add(InsertRow row);
    // A file that gives no row (it could not be read), in its place in the
    // list of failures.
    void skip(const std::string &path, const std::string &reason) { m_failures.push_back({path, reason}); }
    // Sends what is pending and waits for every row's outcome.
    void complete();
    // Sends nothing more: the rows still to go fail with the reason, and a
    // connection lost from now on is not restored.
    void abandon(const std::string &reason)
    {
        if (m_deadReason.empty())
            m_deadReason = reason;
    }

    std::int64_t inserted() const { return m_inserted; }
    const std::vector<TransferFailure> &failures() const { return m_failures; }
    const std::vector<TransferFailure> &unknown() const { return m_unknown; }
    const std::vector<KeyedFile> &stored() const { return m_stored; }
    const std::vector<KeyedFile> &exists() const { return m_exists; }
    // Rows that did not go because a stop ended a wait of the run.
    const std::vector<TransferFailure> &skipped() const { return m_skipped; }
    bool stopped() const { return m_wait.wasStopped(); }
    // Statements the server gave up for a deadlock or a cluster conflict and
    // that were sent again.
    std::int64_t conflictsRetried() const { return m_retry->retried(); }
    // Why the connection could not be restored after a loss; empty while it
    // could (or was never lost).
    const std::string &deadReason() const { return m_deadReason; }

private:
    // Rows still go to the server: no stop ended a wait, and the connection
    // was not lost for good.
    bool going() const { return m_deadReason.empty() && !m_wait.wasStopped(); }
    // The connection is up and on the run's database.
    bool ready();
    void insertOne(InsertRow &row);
    // Sends a one-row statement, again after a deadlock or a conflict.
    bool sendRetrying(std::string_view statement);
    // Puts rows at the head of the rows still to go.
    void putBack(std::vector<InsertRow> rows);
    void flush();
    // The rows of the next batch, taken from the head of the pending ones.
    std::shared_ptr<std::vector<InsertRow>> takeBatch();
    // Sends a batch without waiting; false when it could not be sent and its
    // rows went one by one instead.
    bool startBatch(const std::shared_ptr<std::vector<InsertRow>> &rows);
    void finishInFlight();
    // The connection broke under these rows.
    void lost(const std::vector<InsertRow *> &rows);
    // The connection broke with nothing in doubt: it is restored.
    void restore();
    std::string errorText() const;
    std::string_view keyOf(const InsertRow &row) const { return m_key ? m_key->keyOf(row) : std::string_view(); }
    void number(InsertRow &row);
    void storedRow(const InsertRow &row);
    void failRow(InsertRow &row, const std::string &reason);
    // A row that does not go: skipped after a stop, otherwise failed with
    // the reason the connection went for good.
    void notSent(InsertRow &row);
    std::string keyLookupFailure() const;
    // Sorts the rows to go by their keys: those the table holds already
    // exist (or replace what is there), those equal to an earlier row's wait
    // for its outcome, in the next batch.
    void settleKeys(std::vector<InsertRow> &rows);
    // Replaces the values of the rows of a key the last lookup found (at its
    // place in that lookup); false when no row of it was there any more.
    bool replaceExisting(InsertRow &row, std::size_t place);
    // After a lost connection was restored: rows found by key are stored,
    // the others go again with the rows still to go.
    void settleByKey(const std::vector<InsertRow *> &rows, const SessionIdentity &old, const std::string &reason);
    std::optional<std::vector<KeyFound>> lookUp(const std::vector<InsertRow *> &rows);

    MySqlConnection &m_db;
    std::string m_database;
    Identifier m_table;
    BatchSizing m_sizing;
    Restore m_restore;
    Numbering m_numbering;
    RunWait m_wait;
    ClockSeededRandom m_ownSpread;
    std::optional<ConflictRetry> m_retry;
    std::vector<InsertRow> m_pending;
    // Shared with the connection, which reads the values until the batch
    // has completed.
    std::shared_ptr<std::vector<InsertRow>> m_inFlight;
    std::size_t m_pendingBytes = 0;
    std::string m_pendingColumns; // of the batch being gathered
    std::int64_t m_inserted = 0;
    std::vector<TransferFailure> m_failures;
    std::vector<TransferFailure> m_unknown;
    std::vector<TransferFailure> m_skipped;
    std::vector<KeyedFile> m_stored;
    std::vector<KeyedFile> m_exists;
    std::optional<KeyLookup> m_key;
    std::string m_deadReason; // the connection could not be restored
};

} // namespace varnel
