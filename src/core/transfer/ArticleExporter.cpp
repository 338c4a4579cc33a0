#include "transfer/ArticleExporter.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mapping/FieldRule.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Quoting.h"
#include "mysql/Statements.h"
#include "text/RandomSentence.h"
#include "transfer/ConnectSettings.h"
#include "transfer/ExportFileNames.h"
#include "transfer/ExportRequest.h"
#include "transfer/FileWriteQueue.h"
#include "transfer/ReportedMoves.h"
#include "transfer/RunGuard.h"
#include "transfer/RunPresenter.h"
#include "transfer/TableWalk.h"
#include "util/SystemError.h"

#include <cstdint>
#include <filesystem>

namespace varnel {
namespace {

constexpr std::string_view kButton = ctl::kExportButton;

// A column given by its 1-based position becomes the column's name.
std::string resolveColumn(const std::string &column, const RowBlock &shape)
{
    const auto position = canonicalInteger(column);
    if (!position)
        return column;
    const std::int64_t n = *position;
    std::string name;
    if (n >= 1 && n <= static_cast<std::int64_t>(INT32_MAX) && shape.fieldName(static_cast<int>(n - 1), name))
        return name;
    return column;
}

// Why no more rows came where rows were due (the server went away).
std::string fetchError(const MySqlConnection &db, const TableWalk &walk)
{
    if (!walk.failure().empty())
        return walk.failure();
    std::string error;
    if (!db.lastError(error))
        error = "没有连接到 MySQL 服务器";
    return error;
}

} // namespace

// What one export run knows about itself, from its checks to its final
// message; shared by the run's parts.
struct ArticleExporter::Run {
    Run(ExportRequest r, ThrottledPump &p)
        : request(std::move(r))
        , pump(p)
    {
    }
    const ExportRequest request;
    ThrottledPump &pump;
    std::string contentColumn; // the mapping's columns, positions made names
    std::optional<std::string> nameColumn;
    std::optional<TableWalk> walk;
    std::optional<ExportFileNames> names;
    std::optional<FileWriteQueue> writer;
    // Where the chunk in hand has the columns the run reads (-1: nowhere).
    int contentIndex = -1, nameIndex = -1;
    std::vector<int> conditionIndexes;
    std::int64_t rowNumber = 0; // rows of the table read so far
    std::string fetchError; // why the rows stopped coming
    ExportResult result;
};

ArticleExporter::ArticleExporter(Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random)
    : m_form(form)
    , m_db(db)
    , m_host(host)
    , m_random(random)
{
}

void ArticleExporter::report(RunPhase phase, std::int64_t done, std::int64_t total, std::string current)
{
    m_idleShown = phase == RunPhase::Idle;
    m_host.progress(m_form.control(kButton), {TransferKind::Export, phase, done, total, std::move(current)});
}

ExportResult ArticleExporter::pressExport()
{
    // The button of a running export asks it to stop.
    if (m_running) {
        m_stop = true;
        report(RunPhase::Stopping);
        return TransferResult::ended(TransferOutcome::Busy);
    }
    return runExport();
}

// One run: the window's values, the table, then the rows a chunk at a time,
// each written to a file of its own on the writer's thread, and the final
// message once every file is written.
ExportResult ArticleExporter::runExport()
{
    if (m_running)
        return TransferResult::ended(TransferOutcome::Busy);
    RunGuard guard(m_running, m_form, [this] {
        if (!m_idleShown)
            report(RunPhase::Idle);
    });
    ExportResult result = exportTable();
    result.kind = TransferKind::Export;
    presentResult(result, m_host);
    return result;
}

ExportResult ArticleExporter::exportTable()
{
    ThrottledPump pump([this] { m_host.processEvents(); }, m_host.pumpInterval());
    const ReportedMoves moves(m_db, m_host);

    Run run(readExportRequest(m_form), pump);
    if (const std::optional<ExportProblem> missing = run.request.missingValue())
        return TransferResult::refused(TransferOutcome::Invalid, missing->message, missing->control);
    if (std::optional<ExportResult> refused = prepareRun(run))
        return *refused;

    // With a key the rows are read in chunks, so the table is never held
    // whole; the count is then read first, for the progress and the final
    // message. A table without a usable key is read whole (see chooseChunkKey).
    if (run.walk->keyed()) {
        if (const std::optional<std::int64_t> count = run.walk->countRows())
            run.result.tableRows = *count;
        else
            run.fetchError = fetchError(m_db, *run.walk);
    }
    report(RunPhase::Starting);

    run.names.emplace(run.request.folder, run.request.extension, [&pump] { pump(); });
    // Files are written on a thread of their own while the next rows are
    // read; a row counts as exported when its file has been written.
    run.writer.emplace(m_writeAhead, &m_stop);
    walkTable(run);
    // What was read is written, unless the run is stopped: then only the
    // file being written is finished.
    if (run.writer->drain(waitingForWriter(run), [this] { return m_stop.load(); }) > 0)
        run.result.stopped = true;
    collectWritten(run);
    // A walk to the end saw what the table holds now.
    if (run.walk->walked() && run.walk->keyed())
        run.result.tableRows = run.rowNumber;
    return finishRun(run);
}

std::optional<ExportResult> ArticleExporter::prepareRun(Run &run)
{
    const ExportRequest &request = run.request;
    auto refuse = [&](const std::string &message, std::string_view control) {
        std::string reason;
        if (!m_db.lastError(reason) && !m_db.isOpen())
            reason = "没有连接到 MySQL 服务器";
        return TransferResult::refused(TransferOutcome::Invalid, message, control, reason);
    };
    if (!m_db.selectDatabase(request.database))
        return refuse("打开库失败：" + request.database, ctl::kDatabase);
    // The name is a name, never a piece of SQL; "db.table" still reads a
    // table of another database.
    Identifier table = Identifier::typedTableName(request.table);
    // The table's keys and columns tell how its rows can be read a chunk at
    // a time.
    std::unique_ptr<RowBlock> keys = m_db.fetchRows(sql::showKeys(table));
    std::unique_ptr<RowBlock> shape = keys ? m_db.fetchRows(sql::selectNoRows(table)) : nullptr;
    if (!shape)
        return refuse("打开表失败：" + request.table, ctl::kTable);
    if (const std::optional<ExportProblem> missing = request.missingContent())
        return TransferResult::refused(TransferOutcome::Invalid, missing->message);

    m_stop = false;
    std::error_code ec;
    std::filesystem::create_directories(request.folder, ec); // writing then fails row by row
    run.contentColumn = resolveColumn(*request.contentColumn, *shape);
    if (request.nameColumn)
        run.nameColumn = resolveColumn(*request.nameColumn, *shape);
    run.walk.emplace(
        m_db, request.database, std::move(table), chooseChunkKey(*keys, *shape), m_chunkRows, m_chunkBytes);
    return std::nullopt;
}

void ArticleExporter::walkTable(Run &run)
{
    while (run.fetchError.empty() && !run.result.stopped) {
        const std::unique_ptr<RowBlock> rows = run.walk->fetch();
        if (!rows) {
            run.fetchError = fetchError(m_db, *run.walk);
            break;
        }
        if (!run.walk->keyed())
            run.result.tableRows = static_cast<std::int64_t>(rows->rowCount());
        exportChunk(run, *rows);
        if (run.result.stopped || !run.walk->moveOn(*rows))
            break;
    }
}

void ArticleExporter::exportChunk(Run &run, const RowBlock &rows)
{
    run.contentIndex = rows.columnIndex(run.contentColumn);
    run.nameIndex = run.nameColumn ? rows.columnIndex(*run.nameColumn) : -1;
    run.conditionIndexes.clear();
    for (const std::string &n : run.request.conditions.names())
        run.conditionIndexes.push_back(rows.columnIndex(n));
    auto text = [&](std::size_t row, int column) {
        return column < 0 ? std::string_view() : rows.cellText(row, static_cast<std::size_t>(column));
    };

    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        const std::int64_t index = run.rowNumber++;
        run.pump();
        if (m_stop) {
            run.result.stopped = true;
            return;
        }
        // The switch is looked at row by row: turned off during a run, it
        // lets the remaining rows through.
        if (controlChecked(m_form, ctl::kConditionsOn) && !run.request.conditions.empty()) {
            const bool holds = run.request.conditions.holds(
                [&](std::size_t i) { return text(r, run.conditionIndexes[i]); }, [&run] { run.pump(); });
            if (!holds)
                continue;
        }
        if (!exportRow(run, rows, r, index))
            return;
    }
}

// Queues the row's file; false when the run was stopped meanwhile.
bool ArticleExporter::exportRow(Run &run, const RowBlock &rows, std::size_t row, std::int64_t index)
{
    auto text = [&](int column) {
        return column < 0 ? std::string_view() : rows.cellText(row, static_cast<std::size_t>(column));
    };
    const std::string_view content = text(run.contentIndex);
    std::string name(text(run.nameIndex));
    if (name.empty() && !content.empty())
        name = randomSentence(content, m_random);
    if (name.empty() && content.empty()) {
        // No file can be made of it: said, so the count is not the only
        // trace of the row.
        auto isNull = [&](int column) { return column < 0 || rows.cellIsNull(row, static_cast<std::size_t>(column)); };
        run.result.failures.push_back({"第 " + std::to_string(index + 1) + " 行",
            isNull(run.contentIndex) && isNull(run.nameIndex) ? "文件名和内容都是 NULL，不写文件"
                                                              : "文件名和内容都是空的，不写文件"});
        return true;
    }

    const std::string fileName = run.names->claim(name);
    const TargetHint hint = run.names->hintFor(fileName);
    if (!run.writer->push(
            {run.request.folder + fileName, std::string(content), run.request.encoding, index, std::move(name), hint},
            waitingForWriter(run), [this] { return m_stop.load(); })) {
        run.names->settle(fileName);
        run.result.stopped = true;
        return false;
    }
    collectWritten(run);
    return true;
}

// While the run waits for the writer the window stays alive and the count
// keeps moving.
std::function<void()> ArticleExporter::waitingForWriter(Run &run)
{
    return [this, &run] {
        run.pump();
        collectWritten(run);
    };
}

void ArticleExporter::collectWritten(Run &run)
{
    for (FileWriteQueue::Done &done : run.writer->takeDone()) {
        run.names->settle(done.path.substr(run.request.folder.size()));
        if (done.error == 0) {
            ++run.result.transferred;
            report(RunPhase::Transferring, run.result.transferred, run.result.tableRows, std::move(done.name));
        } else {
            run.result.failures.push_back(
                {"第 " + std::to_string(done.row + 1) + " 行 → " + done.path, systemErrorText(done.error)});
        }
    }
}

ExportResult ArticleExporter::finishRun(Run &run)
{
    ExportResult &result = run.result;
    report(RunPhase::Idle);
    result.message = exportFinalMessage(result, run.fetchError);
    result.detail = run.fetchError;
    result.outcome = run.fetchError.empty() ? TransferOutcome::Completed : TransferOutcome::Interrupted;
    return result;
}

} // namespace varnel
