#pragma once

#include "transfer/ArticleImporter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class RowBlock;

using ExportResult = TransferResult;

// Writes the rows of a table out as article files.
class ArticleExporter {
public:
    ArticleExporter(Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random = defaultRandom());

    // The export button: starts an export, or asks a running one to stop.
    ExportResult pressExport();
    // An export; refused (Busy) while one is running.
    ExportResult runExport();
    bool isRunning() const { return m_running; }

    void requestStop() { m_stop = true; }

    // A table with a key is read in chunks of at most `rows` rows, and a
    // chunk keeps at most about `bytes` of cells (at least one row); the
    // defaults bound the memory of an export whatever the table's size.
    void setChunkLimits(std::size_t rows, std::size_t bytes)
    {
        m_chunkRows = rows;
        m_chunkBytes = bytes;
    }
    inline static constexpr std::size_t kDefaultChunkRows = 10000, kDefaultChunkBytes = 8u << 20;

    // Files are written on a thread of their own, with up to `bytes` of
    // rows waiting for it; 0 writes each file before the next row is read,
    // so that progress follows the rows one by one.
    void setWriteAhead(std::size_t bytes) { m_writeAhead = bytes; }
    inline static constexpr std::size_t kDefaultWriteAhead = 8u << 20;

private:
    struct Run;
    void report(RunPhase phase, std::int64_t done = 0, std::int64_t total = 0, std::string current = {});
    // The run's parts: everything before the first row (the database and
    // table, the mapping's content column, how the rows are read), the
    // chunks of rows, one row, the files written, and the final message.
    ExportResult exportTable();
    std::optional<ExportResult> prepareRun(Run &run);
    void walkTable(Run &run);
    void exportChunk(Run &run, const RowBlock &rows);
    bool exportRow(Run &run, const RowBlock &rows, std::size_t row, std::int64_t index);
    void collectWritten(Run &run);
    std::function<void()> waitingForWriter(Run &run);
    ExportResult finishRun(Run &run);

    Form &m_form;
    MySqlConnection &m_db;
    TransferHost &m_host;
    RandomSource &m_random;
    std::atomic<bool> m_stop{false}; // read by the thread that writes the files
    bool m_running = false;
    bool m_idleShown = true;
    std::size_t m_chunkRows = kDefaultChunkRows, m_chunkBytes = kDefaultChunkBytes;
    std::size_t m_writeAhead = kDefaultWriteAhead;
};

} // namespace varnel
