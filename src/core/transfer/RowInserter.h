#pragma once

#include "mysql/Quoting.h"
#include "mysql/SessionIdentity.h"
#include "transfer/KeyLookup.h"
#include "transfer/TransferHost.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// One file's row: its columns and values. A batch sends the values as they
// are; only a row that goes alone is escaped, into the statement that sends
// it (a large article is then held once as its value and once in its
// statement, not as escaped copies besides).
struct InsertRow {
    std::string path;
    std::string columns; // `a`,`b`
    std::vector<std::string> names; // `a`, `b`: one per value
    std::vector<std::string> values; // as stored, not escaped
    std::size_t valueBytes = 0; // the values' own sizes
    // Values whose bytes were not all readable (a file name in no known
    // encoding): they cannot tell one file from another.
    std::vector<std::size_t> lossy;
    // Values given their number only once the row is known to be stored or
    // to have failed (a counter: a file found stored already takes none):
    // the value's index and the rule's.
    std::vector<std::pair<std::size_t, std::size_t>> numberedLater;
    bool keyLookedUp = false; // its key was not in the table a moment ago
    // Should its key be in the table, this row's values replace those there
    // (the file was stored before and has changed since).
    bool replaces = false;
    bool finished = false; // its numbers are given
    // Why it cannot be stored, known before it is sent (it fails in its
    // place among the rows, so numbers follow the files' order).
    std::string refusal;

    // Appends a value with its column.
    void add(std::string name, std::string value);
    // Changes a value, keeping the sizes right.
    void setValue(std::size_t index, std::string value);
    // The size of `a`='x',`b`='y', escaped as the one-row form sends it.
    std::size_t assignmentBytes() const;
    // Appends the assignments of the one-row form, `a`='x',`b`='y'.
    void appendAssignments(std::string &out) const;
    // At most what the row adds to a batch's packet: each value with its
    // length and type.
    std::size_t boundBytes() const { return valueBytes + kBoundValueBytes * values.size(); }
    inline static constexpr std::size_t kBoundValueBytes = 12;
};

// The reason given for a row the server would refuse by closing the
// connection: its statement is longer than the server takes.
std::string packetLimitReason(std::size_t maxAllowedPacket);

// Why a file is not stored in a run with a key.
inline constexpr std::string_view kBlankKey = "唯一键的值为空";
inline constexpr std::string_view kLossyKey =
    "唯一键的值含有无法识别的字节（文件名不是有效的 UTF-8 或 GBK 编码），不能区分文章";

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
// are looked up in one go before it is sent. Rows whose outcome a lost
// connection left unknown are settled by key on the restored connection,
// once the old server session is known to be over: found they are stored,
// otherwise they are sent again. A row without a key value, or with one that
// cannot tell files apart, fails.
class RowInserter {
public:
    struct Limits {
        std::size_t batchRows = 1; // 1 sends every row on its own, as it comes
        std::size_t batchBytes = 0;
        std::size_t maxStatementBytes = 0; // the server's max_allowed_packet; 0: unknown
    };
    // Restores the connection and the session the rows need; false with the
    // reason when it cannot.
    using Restore = std::function<bool(std::string &reason)>;
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

    // The most values one statement can bind.
    inline static constexpr std::size_t kMaxBoundValues = 65535;

    // Rows are identified by their value of this column.
    void setKey(const KeyColumn &key);
    void setNumbering(Numbering numbering) { m_numbering = std::move(numbering); }

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
    // Statements the server gave up for a deadlock or a cluster conflict and
    // that were sent again.
    std::int64_t conflictsRetried() const { return m_conflicts; }
    // Why the connection could not be restored after a loss; empty while it
    // could (or was never lost).
    const std::string &deadReason() const { return m_deadReason; }

private:
    // The connection is up and on the run's database.
    bool ready();
    void insertOne(InsertRow &row);
    // Sends a one-row statement, again after a deadlock or a conflict.
    bool sendRetrying(std::string_view statement);
    // How many bytes of values a batch of rows of that many values may bind.
    std::size_t batchBytesFor(std::size_t values) const;
    // Puts rows at the head of the rows still to go.
    void putBack(std::vector<InsertRow> rows);
    void flush();
    // Sends a batch without waiting; false when it could not be sent and its
    // rows went one by one instead.
    bool startBatch(const std::shared_ptr<std::vector<InsertRow>> &rows);
    void finishInFlight();
    // The connection broke under these rows.
    void lost(const std::vector<InsertRow *> &rows);
    std::string errorText() const;
    // The row's key: empty without a key column or a value for it.
    std::string_view keyOf(const InsertRow &row) const;
    // Why a row cannot be stored with a key (no value, an unreadable name);
    // empty when it can.
    std::string_view keyRefusal(const InsertRow &row) const;
    void number(InsertRow &row);
    void storedRow(const InsertRow &row);
    void failRow(InsertRow &row, const std::string &reason);
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
    void settleByKey(const std::vector<InsertRow *> &rows, const std::string &reason);
    // Ends the old server session and waits until it is gone; false when
    // that cannot be known for certain.
    bool endSession(const SessionIdentity &old);
    // The cluster node of that id is no longer a member of the cluster the
    // connection is on (waited for a while).
    bool nodeLeftCluster(const std::string &node);
    std::optional<std::vector<KeyFound>> lookUp(const std::vector<InsertRow *> &rows);

    MySqlConnection &m_db;
    std::string m_database;
    Identifier m_table;
    Limits m_limits;
    Restore m_restore;
    Numbering m_numbering;
    std::vector<InsertRow> m_pending;
    // Shared with the connection, which reads the values until the batch
    // has completed.
    std::shared_ptr<std::vector<InsertRow>> m_inFlight;
    std::size_t m_pendingBytes = 0;
    std::string m_pendingColumns; // of the batch being gathered
    std::int64_t m_inserted = 0;
    std::int64_t m_conflicts = 0;
    std::vector<TransferFailure> m_failures;
    std::vector<TransferFailure> m_unknown;
    std::vector<KeyedFile> m_stored;
    std::vector<KeyedFile> m_exists;
    std::optional<KeyLookup> m_key;
    std::string m_deadReason; // the connection could not be restored
};

} // namespace varnel
