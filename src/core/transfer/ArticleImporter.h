#pragma once

#include "mapping/RuleValues.h"
#include "transfer/RowInserter.h"
#include "transfer/TransferHost.h"
#include "util/Clock.h"
#include "util/Random.h"
#include "util/ThrottledPump.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace varnel {

class Form;
class MySqlConnection;
class RowBuilder;

using ImportResult = TransferResult;

// Turns article files into table rows, one per file, one column per mapping
// row. It reads the main window's values through the form at the moments it
// needs them and reports through the host.
class ArticleImporter {
public:
    ArticleImporter(Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random = defaultRandom(),
        Clock &clock = systemClock());

    // The import button: lists the article folder and imports it, or asks a
    // running import to stop.
    ImportResult startImport(bool useAlternativeLister = false);
    // Imports the given files (dropped files); refused (Busy) while a run is
    // going on.
    ImportResult runImport(const std::vector<std::string> &files);
    // From the first check to the final message; a window that wants to
    // close or disconnect asks this first.
    bool isRunning() const { return m_running; }

    // Rows per INSERT statement; 1 sends one statement per file. Batches are
    // used only where a refused batch leaves nothing behind (InnoDB).
    void setBatchSize(std::size_t rows) { m_batchRows = rows == 0 ? 1 : rows; }
    inline static constexpr std::size_t kDefaultBatchRows = 500;

    // A mapping target whose value identifies an article: files whose key
    // the table holds already are not stored again. Empty: the one the
    // window's key box names, if any.
    void setKeyColumn(std::string column) { m_keyColumn = std::move(column); }
    // The key a run starts with now.
    std::string keyColumn() const;
    // Files of the next run that changed since they were stored: with a key,
    // their values replace the row of their key rather than count as
    // existing.
    void setReplacing(std::unordered_set<std::string> files) { m_replacing = std::move(files); }

    // Where the runs' time comes from (dates of the values, the waits); a
    // window test gives one it can step.
    void setClock(Clock &clock) { m_clock = &clock; }

    void requestStop() { m_stop = true; }
    // Stops at once: a lost connection is not restored, nothing more is
    // sent, and the run reports what it knows (a statement cut short leaves
    // its files unknown).
    void abort()
    {
        m_stop = true;
        m_aborted = true;
    }
    bool stopRequested() const { return m_stop; }
    void clearStop()
    {
        m_stop = false;
        m_aborted = false;
    }

private:
    struct Run;
    struct Session;
    // Failures of the listing lead the run's list of failed files.
    ImportResult importFiles(const std::vector<std::string> &files, std::vector<TransferFailure> listed = {});
    // The article folder listed, then imported.
    ImportResult importFolder(bool useAlternativeLister);
    void report(RunPhase phase, std::int64_t done = 0, std::int64_t total = 0, std::string current = {});
    void pumpEvents();
    // The run's parts, each in a file of its own: the checks of its inputs,
    // the database and table, the limits of its statements; importFiles()
    // is the run itself.
    std::optional<ImportResult> checkInputs(Run &run, std::size_t files);
    std::optional<ImportResult> prepareTable(Run &run);
    RowInserter::Limits insertLimits(const Run &run);
    std::optional<KeyColumn> keyColumn(const Run &run);
    struct FileLoop;
    void sendFiles(Run &run, const std::vector<std::string> &files, RowBuilder &builder, RowInserter &inserter,
        const std::unordered_set<std::string> &replacing, bool keyed, FileLoop &loop);
    std::optional<ImportResult> clearIfAsked(const Run &run);
    std::int64_t countRows(const Run &run);
    ImportResult runResult(const Run &run, const std::vector<std::string> &files, std::vector<TransferFailure> listed,
        const RowInserter &inserter, const FileLoop &loop);
    void saveCounters(const RowBuilder &builder);

    Form &m_form;
    MySqlConnection &m_db;
    TransferHost &m_host;
    RandomSource &m_random;
    Clock *m_clock;
    bool m_stop = false;
    bool m_aborted = false;
    bool m_running = false;
    bool m_idleShown = true;
    std::optional<ThrottledPump> m_pump; // during a run
    std::size_t m_batchRows = kDefaultBatchRows;
    std::string m_keyColumn;
    std::unordered_set<std::string> m_replacing;
    std::string m_keyNoticed; // the table and key the missing index was told for
};

} // namespace varnel
