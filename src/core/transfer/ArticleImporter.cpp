#include "transfer/ArticleImporter.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "text/ArticleFile.h"
#include "transfer/FileLister.h"
#include "transfer/RowInserter.h"
#include "transfer/RunGuard.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace varnel {
namespace {

constexpr std::string_view kButton = ctl::kImportButton;

constexpr std::string_view kTableOptions = "DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci";
constexpr std::string_view kGzipIncomplete = "gzip 数据损坏或过大，内容不完整";

// Column type of an auto-created table, by source label. A file time given
// as a date alone or a time alone gets a column that takes it.
ColumnTypeCode columnTypeFor(std::string_view label, int fileTimeFormat)
{
    if (label == "文件主名" || label == "网页标题" || label == "随机时间" || label == "父目录名")
        return kTypeTinytext;
    if (label == "文件内容")
        return kTypeMediumtext;
    if (label == "文件时间")
        return fileTimeFormat == 1 ? kTypeDate : fileTimeFormat == 2 ? kTypeTime : kTypeDatetime;
    return kTypeText;
}

std::string serverReason(const MySqlConnection &db)
{
    std::string reason;
    if (!db.lastError(reason))
        reason = db.isOpen() ? std::string() : "没有连接到 MySQL 服务器";
    return reason;
}

// The first cell of a one-row result.
std::optional<std::string> queryValue(MySqlConnection &db, const std::string &statement)
{
    if (!db.execute(statement))
        return std::nullopt;
    auto r = db.storeResult();
    std::string value;
    if (!r || !r->seekRow(0) || !r->readField(0.0, value))
        return std::nullopt;
    return value;
}

// The import's session refuses what a column cannot hold instead of cutting
// it: the server's own sql_mode plus STRICT_ALL_TABLES, put back when the
// run ends so that other windows keep the server's behaviour.
class StrictSession {
public:
    explicit StrictSession(MySqlConnection &db)
        : m_db(db)
    {
        m_saved = queryValue(db, "select @@session.sql_mode");
        apply();
    }
    ~StrictSession()
    {
        if (m_saved && m_db.isOpen())
            m_db.execute("set session sql_mode='" + escapeString(*m_saved) + "'");
    }
    StrictSession(const StrictSession &) = delete;
    StrictSession &operator=(const StrictSession &) = delete;

    // Also on a new connection after a loss.
    bool apply() { return m_db.execute("set session sql_mode=concat_ws(',',@@session.sql_mode,'STRICT_ALL_TABLES')"); }

private:
    MySqlConnection &m_db;
    std::optional<std::string> m_saved;
};

} // namespace

struct ArticleImporter::Run {
    std::string table;
    bool tableExisted = false;
    std::vector<RuleState> rules;
    std::optional<std::vector<std::string>> columns; // read once, when a position needs them
    NoRepeatRandom orderPicker;
    std::int64_t imported = 0;
    bool stopped = false;
    std::string detail; // why the run could not start
};

ArticleImporter::ArticleImporter(
    Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random, Clock &clock)
    : m_form(form)
    , m_db(db)
    , m_host(host)
    , m_random(random)
    , m_clock(clock)
{
}

void ArticleImporter::report(RunPhase phase, std::int64_t done, std::int64_t total, std::string current)
{
    m_idleShown = phase == RunPhase::Idle;
    m_host.progress(m_form.control(kButton), {TransferKind::Import, phase, done, total, std::move(current)});
}

void ArticleImporter::pumpEvents()
{
    if (m_pump)
        (*m_pump)();
    else
        m_host.processEvents();
}

// Everything a run holds from its first check to its final message: the run
// state, the form in use, the one event pump (also while a batch is awaited),
// and idle again on every way out.
struct ArticleImporter::Session {
    explicit Session(ArticleImporter &importer)
        : self(importer)
        , guard(importer.m_running, importer.m_form, [&importer] {
            if (!importer.m_idleShown)
                importer.report(RunPhase::Idle);
        })
    {
        self.m_pump.emplace([&importer] { importer.m_host.processEvents(); }, importer.m_host.pumpInterval());
        self.m_db.setWaitPump(self.m_pump->callback());
    }
    ~Session()
    {
        self.m_db.setWaitPump({});
        self.m_pump.reset();
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    ArticleImporter &self;
    RunGuard guard;
};

ImportResult ArticleImporter::startImport(bool useAlternativeLister)
{
    // The button of a running import asks it to stop.
    if (m_running) {
        requestStop();
        return TransferResult::ended(TransferOutcome::Busy);
    }
    Session session(*this);
    clearStop();
    const std::string folder = controlText(m_form, ctl::kFolder);
    std::error_code ec;
    if (folder.empty() || !std::filesystem::exists(folder, ec)) {
        m_host.showMessage("请先选择要导入到数据库的文章所在目录，或者直接拖放文件列表到本窗口开始导入！");
        m_host.focus(ctl::kFolder);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    report(RunPhase::Listing);
    ListOptions options;
    options.patterns = controlText(m_form, ctl::kFileTypes);
    options.recurse = controlChecked(m_form, ctl::kRecurse);
    options.alternative = useAlternativeLister;
    options.stopRequested = [this] { return m_stop; };
    options.processEvents = [this] { pumpEvents(); };
    const std::vector<std::string> files = listArticleFiles(folder, options);
    report(RunPhase::Idle);
    if (files.empty()) {
        m_host.showMessage("根据文件类型设置[" + options.patterns + "]在这个目录中找不到文件：\r\n" + folder);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    return importFiles(files);
}

ImportResult ArticleImporter::runImport(const std::vector<std::string> &files)
{
    // Dropped files while an import runs are refused, not a stop.
    if (m_running)
        return TransferResult::ended(TransferOutcome::Busy);
    Session session(*this);
    return importFiles(files);
}

bool ArticleImporter::prepareTable(Run &run, const std::string &database, const std::string &table)
{
    if (!m_db.selectDatabase(database)) {
        const bool created = m_db.createDatabase(Identifier(database));
        const std::string reason = serverReason(m_db);
        // Another run may have created it in the meantime.
        if (!created && !m_db.selectDatabase(database)) {
            m_host.showMessage("库不存在且自动创建失败：" + database);
            m_host.showDetail(reason);
            m_host.focus(ctl::kDatabase);
            run.detail = reason;
            return false;
        }
        if (created) {
            m_db.execute("ALTER DATABASE " + quoteIdentifier(database) + " " + std::string(kTableOptions) + ";");
            m_db.selectDatabase(database);
        }
    }

    run.tableExisted = m_db.tableExists(table);
    if (!run.tableExisted) {
        std::vector<ColumnSpec> columns;
        ColumnSpec key;
        key.kind = 2;
        key.primaryKey = "ID";
        columns.push_back(key);
        ColumnSpec id;
        id.name = "ID";
        id.typeCode = kTypeBigint;
        id.allowNull = false;
        id.autoIncrement = true;
        columns.push_back(id);
        const int fileTimeFormat = fileTimeChoice(m_form).formatIndex;
        for (const FieldRule &rule : readRules(m_form)) {
            if (rule.target == "ID")
                continue;
            ColumnSpec c;
            c.name = rule.target;
            c.typeCode = columnTypeFor(rule.source, fileTimeFormat);
            columns.push_back(c);
        }
        // The character set goes into the statement itself: converting
        // afterwards would widen the text columns.
        if (!m_db.createTable(Identifier(table), columns, kTableOptions)) {
            const std::string reason = serverReason(m_db);
            // Two runs racing to create the same table: the loser goes on
            // with the one that now exists.
            if (!m_db.tableExists(table)) {
                m_host.showMessage("表不存在且自动创建失败：" + table);
                m_host.showDetail(reason);
                m_host.focus(ctl::kTable);
                run.detail = reason;
                return false;
            }
        }
    }
    return true;
}

InsertRow ArticleImporter::buildRow(Run &run, const std::string &path, const std::string &text)
{
    InsertRow insert;
    insert.path = path;
    ValueContext context{m_random, m_clock, {}};
    for (std::size_t k = 0; k < run.rules.size(); ++k) {
        pumpEvents();
        // Rows deleted during the run are not read.
        if (k >= static_cast<std::size_t>(m_form.rowCount()))
            break;
        const int row = static_cast<int>(k);
        std::string target = m_form.cell(row, 0);
        const std::string label = m_form.cell(row, 1);
        if (target == "ID")
            continue;
        context.fileTime = fileTimeChoice(m_form);
        std::string value = ruleValue(label, run.rules[k], path, text, context);

        if (run.tableExisted) {
            if (const auto n = canonicalInteger(target)) {
                if (!run.columns) {
                    run.columns.emplace();
                    // The column names, without fetching a single row.
                    if (m_db.execute("select * from " + quoteIdentifier(run.table) + " limit 0")) {
                        if (auto r = m_db.storeResult())
                            *run.columns = r->fieldNames();
                    }
                }
                if (*n >= 1 && static_cast<std::size_t>(*n) <= run.columns->size()) {
                    target = (*run.columns)[static_cast<std::size_t>(*n - 1)];
                    m_form.setCell(row, 0, target);
                }
            }
        }
        value = escapeString(value);
        if (value.empty())
            value = " ";
        const std::string column = quoteIdentifier(target);
        const char *comma = insert.columns.empty() ? "" : ",";
        insert.columns += comma + column;
        insert.assignments += comma + column + "='" + value + "'";
        insert.tuple += comma + ("'" + value + "'");
    }
    insert.tuple = "(" + insert.tuple + ")";
    return insert;
}

RowInserter::Limits ArticleImporter::insertLimits(const Run &run)
{
    RowInserter::Limits limits;
    // Read once per run: a row over it is refused before it is sent.
    if (const auto packet = queryValue(m_db, "select @@max_allowed_packet"))
        limits.maxStatementBytes =
            static_cast<std::size_t>(std::max<std::int64_t>(0, canonicalInteger(*packet).value_or(0)));
    if (m_batchRows <= 1)
        return limits;
    // Only a transactional table leaves nothing behind when a batch fails.
    const auto engine = queryValue(m_db,
        "select ENGINE from information_schema.TABLES where TABLE_SCHEMA=database() and TABLE_NAME='"
            + escapeString(run.table) + "'");
    if (engine != "InnoDB")
        return limits;
    const std::size_t packet = limits.maxStatementBytes ? limits.maxStatementBytes : std::size_t{1} << 20;
    // Well under the packet limit, and small enough to keep captions moving.
    limits.batchBytes = std::min(std::clamp<std::size_t>(packet / 4, 64 << 10, 8 << 20), packet / 2);
    limits.batchRows = m_batchRows;
    return limits;
}

ImportResult ArticleImporter::importFiles(const std::vector<std::string> &files)
{
    const std::string database = controlText(m_form, ctl::kDatabase);
    if (database.empty()) {
        m_host.showMessage("请输入库名！");
        m_host.focus(ctl::kDatabase);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    Run run;
    run.table = controlText(m_form, ctl::kTable);
    if (run.table.empty()) {
        m_host.showMessage("请输入表名！");
        m_host.focus(ctl::kTable);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    if (m_form.rowCount() == 0) {
        m_host.showMessage("请在 数据字段设置 中添加至少一个字段！");
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    // A counter that would leave 64 bits is refused before anything is
    // written, never wrapped or clamped.
    if (const auto problem = validateRules(readRules(m_form), static_cast<std::int64_t>(files.size()))) {
        m_host.showMessage(*problem);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    if (!prepareTable(run, database, run.table)) {
        ImportResult ended = TransferResult::ended(TransferOutcome::Invalid);
        ended.detail = run.detail;
        return ended;
    }

    for (const FieldRule &rule : readRules(m_form))
        run.rules.push_back(prepareRule(rule));

    if (m_host.ctrlHeld()) {
        if (!m_host.askOkCancel("确定要清空全部记录再导入？", kDefaultCaption, MessageIcon::Warning))
            return TransferResult::ended(TransferOutcome::Cancelled);
        m_db.ensureDatabase(database);
        m_db.deleteRows(Identifier(run.table), "");
    }

    m_random.reseed();
    report(RunPhase::Starting);
    const auto total = static_cast<std::int64_t>(files.size());
    StrictSession strict(m_db);
    m_db.ensureDatabase(database);
    const RowInserter::Limits limits = insertLimits(run);
    m_db.ensureDatabase(database); // current again after the queries above, for the first batch
    // After a lost connection: the same server and login, this run's
    // database and the strict session again.
    RowInserter inserter(m_db, database, Identifier(run.table), limits, [&](std::string &reason) {
        if (!m_db.reopen()) {
            reason = m_db.connectError();
            return false;
        }
        strict.apply();
        return true;
    });
    std::vector<std::string> incomplete;
    for (std::int64_t j = 1; j <= total; ++j) {
        pumpEvents();
        if (m_stop) {
            run.stopped = true;
            break;
        }
        const std::int64_t i = controlChecked(m_form, ctl::kRandomOrder) ? run.orderPicker.next(1, total, m_random) : j;
        const std::string &path = files[static_cast<std::size_t>(i - 1)];
        const DecodedArticle article =
            readArticle(path, articleEncodingFromIndex(controlIndex(m_form, ctl::kEncoding)), m_pump->callback());
        if (!article.error.empty()) {
            // Nothing was read: no row, rather than a blank one.
            inserter.skip(path, article.error);
            continue;
        }
        if (article.incomplete)
            incomplete.push_back(path);

        const std::int64_t before = inserter.inserted();
        inserter.add(buildRow(run, path, article.text));
        // One row at a time the caption moves with each inserted file; in
        // batches the count moves by a batch, the window caption every file.
        if (limits.batchRows > 1 || inserter.inserted() > before)
            report(RunPhase::Transferring, inserter.inserted(), total, fileMainName(path));
    }
    inserter.complete(); // what was read before a stop is stored too
    if (limits.batchRows > 1)
        report(RunPhase::Transferring, inserter.inserted(), total);
    run.imported = inserter.inserted();

    ImportResult result;
    result.outcome = TransferOutcome::Completed;
    result.transferred = run.imported;
    result.stopped = run.stopped;
    result.failures = inserter.failures();
    result.unknown = inserter.unknown();
    // Stored with part of their text: listed unless they are listed already.
    for (const std::string &path : incomplete) {
        auto listed = [&](const std::vector<TransferFailure> &list) {
            return std::any_of(list.begin(), list.end(), [&](const TransferFailure &f) { return f.item == path; });
        };
        if (!listed(result.failures) && !listed(result.unknown))
            result.incomplete.push_back({path, std::string(kGzipIncomplete)});
    }

    // The count comes from the server, on the restored connection if need be;
    // a count that cannot be read is said so, never shown as 0.
    m_db.ensureDatabase(database);
    std::optional<std::string> count = queryValue(m_db, "select count(*) from " + quoteIdentifier(run.table) + ";");
    if (!count && m_db.connectionLost() && m_db.reopen() && m_db.ensureDatabase(database))
        count = queryValue(m_db, "select count(*) from " + quoteIdentifier(run.table) + ";");
    std::int64_t rows = -1;
    if (count)
        rows = canonicalInteger(*count).value_or(-1);
    report(RunPhase::Idle);

    for (std::size_t k = 0; k < run.rules.size() && k < static_cast<std::size_t>(m_form.rowCount()); ++k) {
        if (run.rules[k].keepCounting && dataSourceOfLabel(m_form.cell(static_cast<int>(k), 1)) == DataSource::Counter)
            m_form.setCell(static_cast<int>(k), 2, counterOptionsAfterRun(run.rules[k]));
    }

    result.tableRows = rows;
    if (rows >= 0) {
        m_host.showMessage("导入完成，已导入 " + std::to_string(run.imported) + " 篇文章，当前表有 "
            + std::to_string(rows) + " 条记录！");
    } else {
        m_host.showMessage("导入完成，已导入 " + std::to_string(run.imported) + " 篇文章，当前表记录数无法读取！");
    }
    if (!result.failures.empty())
        m_host.reportFailures("未能导入的文件", result.failures);
    if (!result.unknown.empty())
        m_host.reportFailures("未确认是否已导入的文件", result.unknown);
    if (!result.incomplete.empty())
        m_host.reportFailures("内容不完整的文件（已导入）", result.incomplete);
    return result;
}

} // namespace varnel
