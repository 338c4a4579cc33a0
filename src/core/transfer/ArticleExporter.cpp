#include "transfer/ArticleExporter.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Quoting.h"
#include "mysql/Statements.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/RandomSentence.h"
#include "text/TextUtil.h"
#include "transfer/ExportFileNames.h"
#include "transfer/FileWriteQueue.h"
#include "transfer/RunGuard.h"
#include "util/AsciiCase.h"
#include "util/SystemError.h"
#include "util/ThrottledPump.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <functional>
#include <optional>

namespace varnel {
namespace {

constexpr std::string_view kButton = ctl::kExportButton;
// The first chunk of a keyed table is this many rows; later chunks follow
// the rows' sizes.
constexpr std::size_t kFirstChunkRows = 64;

constexpr std::string_view kNoContentColumn =
    "请在【数据字段设置】里先添加一个【数据来源】为【文件内容】的字段名或字段位置\r\n\r\n"
    "另外建议同时设置【数据来源】为【文件主名】的字段名或字段位置作为保存文件名；如果没有指定【文件主名】，"
    "将自动从【文件内容】中随机取一句当文件名\r\n\r\n（字段位置从 1 开始，从左往右数）";

enum class Comparison { Equal, NotEqual, Contains, NotContains };

bool contains(std::string_view text, std::string_view part)
{
    if (text.empty())
        return false;
    return part.empty() || text.find(part) != std::string_view::npos;
}

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

// Key columns whose values the server sends back as text that compares
// exactly as the column does, so that "after this value" goes on where the
// last chunk ended: whole numbers, decimals, dates and times, and strings
// (bytes go back as hex). Not floating point (its text is rounded), not
// TIMESTAMP (its text is in the session's time zone, ambiguous once a year),
// not ENUM or SET (sorted by their number, compared as text), nor BIT.
bool walkableKeyColumn(const ColumnInfo &c)
{
    using namespace fieldtype;
    if (c.flags & (kEnumFlag | kSetFlag))
        return false;
    switch (c.type) {
    case kTiny:
    case kShort:
    case kLong:
    case kLongLong:
    case kInt24:
    case kYear:
    case kDecimal:
    case kNewDecimal:
    case kDate:
    case kNewDate:
    case kTime:
    case kDateTime:
    case kVarChar:
    case kVarString:
    case kString:
        return true;
    default:
        return false;
    }
}

bool plainNumber(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'))
            return false;
    }
    return true;
}

// The key of a table whose rows are read a chunk at a time, in the order of
// the key's index.
struct ChunkKey {
    std::vector<Identifier> names;
    std::vector<std::size_t> columns; // their places in "select *"
    std::vector<ColumnInfo> info;

    // The key of one row as literals for the next chunk's condition.
    std::vector<std::string> literals(const RowBlock &rows, std::size_t row) const
    {
        std::vector<std::string> out;
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const std::string_view bytes = rows.cellBytes(row, columns[k]);
            if (info[k].binary) {
                out.push_back(hexLiteral(bytes));
            } else if (info[k].numeric && plainNumber(bytes)) {
                // A number stays a number: compared with a quoted text a
                // BIGINT would be compared as a double.
                out.emplace_back(bytes);
            } else {
                out.push_back(quoteString(bytes));
            }
        }
        return out;
    }
};

// The key the rows are read by: the primary key, else the first unique key
// of NOT NULL columns, made of whole columns (not a prefix) of types that
// walkableKeyColumn accepts. A table without one (or a view, which has no
// keys) gets nothing and is read whole, as one result: reading it in chunks by
// LIMIT and OFFSET would sort the whole table again for every chunk, and an
// ORDER BY of all its columns sorts long texts by their first bytes only, so
// rows could be read twice or never.
std::optional<ChunkKey> chunkKey(const RowBlock &keys, const RowBlock &shape)
{
    const int keyName = keys.columnIndex("Key_name"), nonUnique = keys.columnIndex("Non_unique"),
              sequence = keys.columnIndex("Seq_in_index"), column = keys.columnIndex("Column_name"),
              subPart = keys.columnIndex("Sub_part"), null = keys.columnIndex("Null");
    if (keyName < 0 || nonUnique < 0 || sequence < 0 || column < 0)
        return std::nullopt;
    auto cell = [&](std::size_t row, int c) { return keys.cellText(row, static_cast<std::size_t>(c)); };
    // The keys in the order the server lists them (the primary key first),
    // each with its columns in index order.
    std::vector<std::string> order;
    std::vector<std::vector<std::pair<std::int64_t, std::size_t>>> parts;
    std::vector<bool> usable;
    for (std::size_t r = 0; r < keys.rowCount(); ++r) {
        const std::string name(cell(r, keyName));
        std::size_t k = 0;
        while (k < order.size() && order[k] != name)
            ++k;
        if (k == order.size()) {
            order.push_back(name);
            parts.emplace_back();
            usable.push_back(cell(r, nonUnique) == "0");
        }
        if (subPart >= 0 && !keys.cellIsNull(r, static_cast<std::size_t>(subPart)))
            usable[k] = false; // a prefix of the column
        if (null >= 0 && !cell(r, null).empty())
            usable[k] = false; // may hold NULL, which "after" never reaches
        const std::string_view columnName = cell(r, column);
        int place = shape.columnIndex(columnName);
        for (std::size_t c = 0; place < 0 && c < shape.columnCount(); ++c) {
            if (equalsIgnoringAsciiCase(shape.fieldNames()[c], columnName))
                place = static_cast<int>(c);
        }
        if (place < 0 || !walkableKeyColumn(shape.columns()[static_cast<std::size_t>(place)]))
            usable[k] = false;
        else
            parts[k].push_back({optionInteger(cell(r, sequence)), static_cast<std::size_t>(place)});
    }
    std::optional<std::size_t> chosen;
    for (std::size_t k = 0; k < order.size() && !chosen; ++k) {
        if (usable[k] && order[k] == "PRIMARY")
            chosen = k;
    }
    for (std::size_t k = 0; k < order.size() && !chosen; ++k) {
        if (usable[k])
            chosen = k;
    }
    if (!chosen || parts[*chosen].empty())
        return std::nullopt;
    auto keyParts = parts[*chosen];
    std::sort(keyParts.begin(), keyParts.end());
    ChunkKey key;
    for (const auto &[seq, place] : keyParts) {
        key.names.emplace_back(shape.fieldNames()[place]);
        key.columns.push_back(place);
        key.info.push_back(shape.columns()[place]);
    }
    return key;
}

} // namespace

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

ExportResult ArticleExporter::runExport()
{
    if (m_running)
        return TransferResult::ended(TransferOutcome::Busy);
    RunGuard guard(m_running, m_form, [this] {
        if (!m_idleShown)
            report(RunPhase::Idle);
    });
    ThrottledPump pump([this] { m_host.processEvents(); }, m_host.pumpInterval());

    const std::string database = controlText(m_form, ctl::kDatabase);
    if (database.empty()) {
        m_host.showMessage("请输入库名！");
        m_host.focus(ctl::kDatabase);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    const std::string table = controlText(m_form, ctl::kTable);
    if (table.empty()) {
        m_host.showMessage("请输入表名！");
        m_host.focus(ctl::kTable);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    std::string folder = controlText(m_form, ctl::kFolder);
    if (folder.empty()) {
        m_host.showMessage("请先选择要导出到的文章目录！");
        m_host.focus(ctl::kFolder);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    if (folder.back() != '/')
        folder += '/';
    auto refuse = [&](const std::string &message, std::string_view control) {
        ExportResult ended = TransferResult::ended(TransferOutcome::Invalid);
        if (!m_db.lastError(ended.detail) && !m_db.isOpen())
            ended.detail = "没有连接到 MySQL 服务器";
        m_host.showMessage(message);
        m_host.showDetail(ended.detail);
        m_host.focus(control);
        return ended;
    };
    if (!m_db.selectDatabase(database))
        return refuse("打开库失败：" + database, ctl::kDatabase);
    // The name is a name, never a piece of SQL; "db.table" still reads a
    // table of another database.
    const Identifier tableName = Identifier::typedTableName(table);
    // The table's keys and columns tell how its rows can be read a chunk at
    // a time.
    std::unique_ptr<RowBlock> keys = m_db.fetchRows(sql::showKeys(tableName));
    std::unique_ptr<RowBlock> shape = keys ? m_db.fetchRows(sql::selectNoRows(tableName)) : nullptr;
    if (!shape)
        return refuse("打开表失败：" + table, ctl::kTable);

    std::vector<std::string> names, values;
    Comparison comparison = Comparison::Equal;
    bool andLogic = true;
    if (controlChecked(m_form, ctl::kConditionsOn)) {
        const std::string separator = controlText(m_form, ctl::kConditionSeparator);
        names = splitText(controlText(m_form, ctl::kConditionNames), separator);
        values = splitText(controlText(m_form, ctl::kConditionValues), separator);
        values.resize(names.size());
        comparison = controlChecked(m_form, ctl::kEqual) ? Comparison::Equal
            : controlChecked(m_form, ctl::kNotEqual)     ? Comparison::NotEqual
            : controlChecked(m_form, ctl::kContains)     ? Comparison::Contains
            : controlChecked(m_form, ctl::kNotContains)  ? Comparison::NotContains
                                                         : Comparison::Equal;
        andLogic = controlChecked(m_form, ctl::kAndLogic);
    }

    std::string contentColumn, nameColumn;
    bool haveContent = false, haveName = false;
    for (const FieldRule &rule : readRules(m_form)) {
        const auto source = dataSourceOfLabel(rule.source);
        if (source == DataSource::FileContent && !haveContent) {
            contentColumn = rule.target;
            haveContent = true;
        } else if (source == DataSource::FileMainName && !haveName) {
            nameColumn = rule.target;
            haveName = true;
        }
    }
    if (!haveContent) {
        m_host.showMessage(kNoContentColumn);
        return TransferResult::ended(TransferOutcome::Invalid);
    }

    m_stop = false;
    ExportResult result;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec); // writing then fails row by row
    // The extension is part of the file name and made safe with it.
    const std::string extension = safeFileName(exportExtension(controlText(m_form, ctl::kFileTypes)));
    const ArticleEncoding encoding = articleEncodingFromIndex(controlIndex(m_form, ctl::kEncoding));

    contentColumn = resolveColumn(contentColumn, *shape);
    if (haveName)
        nameColumn = resolveColumn(nameColumn, *shape);
    const std::optional<ChunkKey> key = chunkKey(*keys, *shape);
    keys.reset();

    std::string fetchError;
    auto fetchFailed = [&] {
        // No rows where rows were due: the fetch failed (the server went away).
        if (!m_db.lastError(fetchError))
            fetchError = "没有连接到 MySQL 服务器";
    };
    // With a key the rows are read in chunks, so the table is never held
    // whole; the count is then read first, for the progress and the final
    // message. A table without a usable key is read whole (see chunkKey).
    if (key) {
        std::unique_ptr<RowBlock> count = m_db.fetchRows(sql::countRows(tableName));
        if (count && count->rowCount() == 1)
            result.tableRows = optionInteger(count->cellText(0, 0));
        else
            fetchFailed();
    }
    report(RunPhase::Starting);

    ExportFileNames fileNames(folder, extension, [&pump] { pump(); });
    // Files are written on a thread of their own while the next rows are
    // read; a row counts as exported when its file has been written.
    FileWriteQueue writer(m_writeAhead, &m_stop);
    auto collectWritten = [&] {
        for (FileWriteQueue::Done &done : writer.takeDone()) {
            fileNames.settle(done.path.substr(folder.size()));
            if (done.error == 0) {
                ++result.transferred;
                report(RunPhase::Transferring, result.transferred, result.tableRows, std::move(done.name));
            } else {
                result.failures.push_back(
                    {"第 " + std::to_string(done.row + 1) + " 行 → " + done.path, systemErrorText(done.error)});
            }
        }
    };
    // While the caller waits for the writer the window stays alive and the
    // count keeps moving.
    auto waiting = [&] {
        pump();
        collectWritten();
    };
    std::int64_t rowNumber = 0; // rows of the table read so far
    std::size_t chunkRows = std::min(kFirstChunkRows, std::max<std::size_t>(1, m_chunkRows));
    std::vector<std::string> after; // the key of the last row read
    bool walked = false; // every row was read
    while (fetchError.empty() && !result.stopped) {
        std::unique_ptr<RowBlock> rows;
        if (!m_db.ensureDatabase(database)) {
            fetchFailed();
            break;
        }
        rows = key ? m_db.fetchRows(sql::selectAfterKey(tableName, key->names, after, chunkRows), m_chunkBytes)
                   : m_db.fetchRows(sql::selectAll(tableName));
        if (!rows) {
            fetchFailed();
            break;
        }
        if (!key)
            result.tableRows = static_cast<std::int64_t>(rows->rowCount());
        const int contentIndex = rows->columnIndex(contentColumn);
        const int nameIndex = haveName ? rows->columnIndex(nameColumn) : -1;
        auto text = [&](std::size_t row, int column) {
            return column < 0 ? std::string_view() : rows->cellText(row, static_cast<std::size_t>(column));
        };
        std::vector<int> conditionColumns;
        for (const std::string &n : names)
            conditionColumns.push_back(rows->columnIndex(n));

        for (std::size_t r = 0; r < rows->rowCount(); ++r) {
            const std::int64_t i = rowNumber++;
            pump();
            if (m_stop) {
                result.stopped = true;
                break;
            }
            if (controlChecked(m_form, ctl::kConditionsOn) && !names.empty()) {
                bool holds = false;
                for (std::size_t j = 0; j < names.size(); ++j) {
                    const std::string_view value = text(r, conditionColumns[j]);
                    switch (comparison) {
                    case Comparison::Equal:
                        holds = value == values[j];
                        break;
                    case Comparison::NotEqual:
                        holds = value != values[j];
                        break;
                    case Comparison::Contains:
                        holds = contains(value, values[j]);
                        break;
                    case Comparison::NotContains:
                        holds = !contains(value, values[j]);
                        break;
                    }
                    if (holds != andLogic)
                        break; // and: first false; or: first true
                    pump();
                }
                if (!holds)
                    continue;
            }
            const std::string_view content = text(r, contentIndex);
            std::string name(text(r, nameIndex));
            if (name.empty() && !content.empty())
                name = randomSentence(content, m_random);
            if (name.empty() && content.empty()) {
                // No file can be made of it: said, so the count is not the
                // only trace of the row.
                auto isNull = [&](int column) {
                    return column < 0 || rows->cellIsNull(r, static_cast<std::size_t>(column));
                };
                result.failures.push_back({"第 " + std::to_string(i + 1) + " 行",
                    isNull(contentIndex) && isNull(nameIndex) ? "文件名和内容都是 NULL，不写文件"
                                                              : "文件名和内容都是空的，不写文件"});
                continue;
            }

            const std::string fileName = fileNames.claim(name);
            const TargetHint hint = fileNames.hintFor(fileName);
            if (!writer.push({folder + fileName, std::string(content), encoding, i, std::move(name), hint}, waiting,
                    [this] { return m_stop.load(); })) {
                fileNames.settle(fileName);
                result.stopped = true;
                break;
            }
            collectWritten();
        }
        if (result.stopped)
            break;
        if (!key || (rows->complete() && rows->rowCount() < chunkRows)) {
            walked = true;
            break;
        }
        // The next chunk starts after the last row of this one.
        std::vector<std::string> last = key->literals(*rows, rows->rowCount() - 1);
        if (last == after) {
            walked = true; // no step forward (cannot happen with a unique key)
            break;
        }
        after = std::move(last);
        // As many rows as fit in the budget by this chunk's average, at most
        // twice as many as this time; when the budget cut the chunk short,
        // the rows that fitted.
        if (!rows->complete()) {
            chunkRows = std::max<std::size_t>(1, rows->rowCount());
        } else {
            const std::size_t average = std::max<std::size_t>(1, rows->bytes() / rows->rowCount());
            chunkRows = std::clamp<std::size_t>(
                std::min(m_chunkBytes / average, chunkRows * 2), 1, std::max<std::size_t>(1, m_chunkRows));
        }
    }
    // What was read is written, unless the run is stopped: then only the
    // file being written is finished.
    if (writer.drain(waiting, [this] { return m_stop.load(); }) > 0)
        result.stopped = true;
    collectWritten();
    // A walk to the end saw what the table holds now.
    if (walked && key)
        result.tableRows = rowNumber;

    report(RunPhase::Idle);
    if (!fetchError.empty()) {
        m_host.showMessage("导出中断，已导出 " + std::to_string(result.transferred) + " 篇文章：" + fetchError);
        result.detail = fetchError;
        result.outcome = TransferOutcome::Interrupted;
    } else {
        m_host.showMessage("导出完成，已导出 " + std::to_string(result.transferred) + " 篇文章，表中有 "
            + std::to_string(result.tableRows) + " 条记录！");
        result.outcome = TransferOutcome::Completed;
    }
    if (!result.failures.empty())
        m_host.reportFailures("未能写出的行", result.failures);
    return result;
}

} // namespace varnel
