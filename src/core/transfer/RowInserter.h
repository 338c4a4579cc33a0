#pragma once

#include "transfer/TransferHost.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// One file's row, ready to send: the quoted column list, the assignments of
// the one-row form and the value tuple of the multi-row form.
struct InsertRow {
    std::string path;
    std::string columns; // `a`,`b`
    std::string assignments; // `a`='x',`b`='y'
    std::string tuple; // ('x','y')
};

// Sends rows to a table, either one INSERT per row or in multi-row batches
// (for tables that take a refused statement back as a whole: InnoDB). When
// the server refuses a batch, its rows go one by one, so only the refused
// rows are skipped, each with the server's reason. No row goes in twice.
//
// A batch is sent without waiting: while the server stores it, the caller
// prepares the next rows (add() keeps the statement moving). Its outcome is
// taken when the next batch goes, or at complete().
class RowInserter {
public:
    // batchRows 1 sends every row on its own, as it comes.
    RowInserter(MySqlConnection &db, std::string tableText, std::size_t batchRows, std::size_t batchBytes);

    void add(InsertRow row);
    // Sends what is pending and waits for every row's outcome.
    void complete();

    std::int64_t inserted() const { return m_inserted; }
    const std::vector<TransferFailure> &failures() const { return m_failures; }

private:
    bool insertOne(const InsertRow &row);
    void insertEachOf(std::vector<InsertRow> &rows);
    void flush();
    void finishInFlight();

    MySqlConnection &m_db;
    std::string m_table;
    std::size_t m_batchRows;
    std::size_t m_batchBytes;
    std::vector<InsertRow> m_pending;
    std::vector<InsertRow> m_inFlight;
    std::size_t m_pendingBytes = 0;
    std::int64_t m_inserted = 0;
    std::vector<TransferFailure> m_failures;
};

} // namespace varnel
