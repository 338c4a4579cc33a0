#include "form/MainControls.h"
#include "transfer/ArticleImporter.h"

#include "form/Control.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"
#include "text/ArticleFile.h"
#include "transfer/ConnectSettings.h"
#include "transfer/ImportRun.h"
#include "transfer/RowBuilder.h"
#include "transfer/RunPresenter.h"
#include "transfer/ServerQueries.h"

#include <algorithm>

namespace varnel {
namespace {

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

// The column names of a table, without fetching a single row; none when they
// cannot be read.
std::vector<std::string> columnNames(MySqlConnection &db, const std::string &table)
{
    if (db.execute("select * from " + quoteIdentifier(table) + " limit 0")) {
        if (auto r = db.storeResult())
            return r->fieldNames();
    }
    return {};
}

// A file's values as its row; the values are moved, not copied.
InsertRow insertRow(const std::string &path, std::vector<RowValue> values)
{
    InsertRow insert;
    insert.path = path;
    for (RowValue &v : values) {
        if (v.lossy)
            insert.lossy.push_back(insert.values.size());
        if (v.numberLater >= 0)
            insert.numberedLater.emplace_back(insert.values.size(), static_cast<std::size_t>(v.numberLater));
        insert.add(quoteIdentifier(v.target), std::move(v.value));
    }
    return insert;
}

// Whether the key column takes its values from a counter: its numbers are
// then what tells articles apart, and every file takes one.
bool keyIsCounted(Form &form, const std::string &key)
{
    for (const FieldRule &rule : readRules(form)) {
        if (rule.target == key && dataSourceOfLabel(rule.source) == DataSource::Counter)
            return true;
    }
    return false;
}

// Files stored with part of their text, unless they are listed already.
void listIncomplete(ImportResult &result, const std::vector<std::pair<std::string, std::string_view>> &incomplete)
{
    for (const auto &[path, why] : incomplete) {
        // Named again for the lambda: clang 14 cannot capture a structured binding.
        auto listedIn = [&item = path](const std::vector<TransferFailure> &list) {
            return std::any_of(list.begin(), list.end(), [&](const TransferFailure &f) { return f.item == item; });
        };
        auto existed = [&item = path](const std::vector<KeyedFile> &list) {
            return std::any_of(list.begin(), list.end(), [&](const KeyedFile &f) { return f.item == item; });
        };
        if (!listedIn(result.failures) && !listedIn(result.unknown) && !existed(result.exists))
            result.incomplete.push_back({path, std::string(why.empty() ? kIncompleteGzip : why)});
    }
}

} // namespace

// The files one by one (in random order when the window asks for it), each
// read, built into its row and handed to the inserter, until a stop.
struct ArticleImporter::FileLoop {
    std::vector<char> attempted;
    std::vector<std::pair<std::string, std::string_view>> incomplete; // path, why
};

void ArticleImporter::sendFiles(Run &run, const std::vector<std::string> &files, RowBuilder &builder,
    RowInserter &inserter, const std::unordered_set<std::string> &replacing, bool keyed, FileLoop &loop)
{
    const auto total = static_cast<std::int64_t>(files.size());
    const bool batched = run.limits.batchRows > 1;
    loop.attempted.assign(files.size(), 0);
    for (std::int64_t j = 1; j <= total; ++j) {
        pumpEvents();
        if (m_stop) {
            run.stopped = true;
            break;
        }
        const std::int64_t i = controlChecked(m_form, ctl::kRandomOrder) ? run.orderPicker.next(1, total, m_random) : j;
        const std::string &path = files[static_cast<std::size_t>(i - 1)];
        loop.attempted[static_cast<std::size_t>(i - 1)] = 1;
        DecodedArticle article =
            readArticle(path, articleEncodingFromIndex(controlIndex(m_form, ctl::kEncoding)), m_pump->callback());
        if (!article.error.empty()) {
            // Nothing was read: no row, rather than a blank one.
            inserter.skip(path, article.error);
            continue;
        }
        if (article.incomplete)
            loop.incomplete.emplace_back(path, article.incompleteReason);

        const std::int64_t before = inserter.inserted();
        std::vector<RowValue> values = builder.build(path, article.text);
        std::string().swap(article.text); // freed: the values hold what the row needs
        InsertRow row = insertRow(path, std::move(values));
        row.replaces = keyed && replacing.count(path) > 0;
        inserter.add(std::move(row));
        // One row at a time the caption moves with each inserted file; in
        // batches the count moves by a batch, the window caption every file.
        if (batched || inserter.inserted() > before)
            report(RunPhase::Transferring, inserter.inserted(), total, fileMainName(path));
    }
}

// Asked for with Ctrl held: the table is emptied first. Nothing when the run
// goes on.
std::optional<ImportResult> ArticleImporter::clearIfAsked(const Run &run)
{
    if (!m_host.ctrlHeld())
        return std::nullopt;
    if (!m_host.askOkCancel("确定要清空全部记录再导入？", kDefaultCaption, MessageIcon::Warning))
        return TransferResult::ended(TransferOutcome::Cancelled);
    m_db.ensureDatabase(run.database);
    // Importing on top of rows that were to go would leave a table the user
    // did not ask for.
    if (m_db.deleteRows(Identifier(run.table), ""))
        return std::nullopt;
    return TransferResult::refused(
        TransferOutcome::Interrupted, "清空表记录失败：" + run.table, {}, serverReason(m_db));
}

// The count comes from the server, on the restored connection if need be; a
// count that cannot be read is -1, never shown as 0.
std::int64_t ArticleImporter::countRows(const Run &run)
{
    m_db.ensureDatabase(run.database);
    std::optional<std::string> count = queryValue(m_db, sql::countRows(Identifier(run.table)));
    if (!count && !m_aborted && m_db.connectionLost() && m_db.reopen() && m_db.ensureDatabase(run.database))
        count = queryValue(m_db, sql::countRows(Identifier(run.table)));
    return count ? canonicalInteger(*count).value_or(-1) : -1;
}

// What the inserter knew at the end, with the files the run did not come to.
ImportResult ArticleImporter::runResult(const Run &run, const std::vector<std::string> &files,
    std::vector<TransferFailure> listed, const RowInserter &inserter, const FileLoop &loop)
{
    ImportResult result;
    // A server lost for good ended the run, whatever it went on to list.
    result.outcome = inserter.deadReason().empty() ? TransferOutcome::Completed : TransferOutcome::Interrupted;
    result.detail = inserter.deadReason();
    result.transferred = run.imported;
    result.stopped = run.stopped || m_aborted || inserter.stopped();
    result.failures = std::move(listed);
    result.failures.insert(result.failures.end(), inserter.failures().begin(), inserter.failures().end());
    result.unknown = inserter.unknown();
    result.stored = inserter.stored();
    result.exists = inserter.exists();
    result.skipped = inserter.skipped();
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!loop.attempted[k])
            result.skipped.push_back({files[k], std::string(kStoppedReason)});
    }
    listIncomplete(result, loop.incomplete);
    return result;
}

// One run: checks, table, then one row per file, the count from the server
// and the final message.
ImportResult ArticleImporter::importFiles(const std::vector<std::string> &files, std::vector<TransferFailure> listed)
{
    Run run;
    if (auto refused = checkInputs(run, files.size()))
        return *refused;
    if (auto refused = prepareTable(run))
        return *refused;
    const std::string &database = run.database;

    RowBuilder builder(m_form, m_random, *m_clock);
    builder.setEventPump([this] { pumpEvents(); });
    // Positions name the columns of a table that was there before the run;
    // the mapping row then shows the column's name.
    if (run.tableExisted)
        builder.resolvePositions([this, &run] { return columnNames(m_db, run.table); }, true);
    if (auto ended = clearIfAsked(run))
        return *ended;

    m_random.reseed();
    report(RunPhase::Starting);
    StrictSession strict(m_db);
    m_db.ensureDatabase(database);
    run.limits = insertLimits(run);
    const std::optional<KeyColumn> key = keyColumn(run);
    m_db.ensureDatabase(database); // current again after the queries above, for the first batch
    // After a lost connection: the same server and login, this run's
    // database and the strict session again.
    RowInserter inserter(m_db, database, Identifier(run.table), run.limits, [&]() -> Result<void> {
        if (m_aborted || m_host.endAtOnce()) {
            m_aborted = true;
            m_stop = true;
            return failure(std::string(kStoppedReason));
        }
        if (!m_db.reopen())
            return failure(m_db.connectError(), m_db.connectErrorNumber());
        strict.apply();
        return {};
    });
    inserter.setWait(RunWait(
        m_pump->callback(), [this] { return m_stop; }, *m_clock));
    if (key)
        inserter.setKey(*key);
    // With a key a file found stored already takes no counter value: numbers
    // are given as rows are found new (or fail).
    if (key && !keyIsCounted(m_form, run.key)) {
        builder.setNumberingLater(true);
        inserter.setNumbering([&builder](InsertRow &row) {
            for (const auto &[value, rule] : row.numberedLater) {
                std::string number = builder.nextNumber(rule);
                row.setValue(value, number.empty() ? std::string(" ") : std::move(number));
            }
        });
    }
    const std::unordered_set<std::string> replacing = std::move(m_replacing);
    m_replacing.clear();
    FileLoop loop;
    sendFiles(run, files, builder, inserter, replacing, key.has_value(), loop);
    // What was read before a stop is stored too, unless the run was told
    // to end at once.
    if (m_aborted)
        inserter.abandon(std::string(kStoppedReason));
    inserter.complete();
    if (run.limits.batchRows > 1)
        report(RunPhase::Transferring, inserter.inserted(), static_cast<std::int64_t>(files.size()));
    run.imported = inserter.inserted();

    ImportResult result = runResult(run, files, std::move(listed), inserter, loop);
    result.tableRows = countRows(run);
    report(RunPhase::Idle);
    saveCounters(builder);
    result.message = importFinalMessage(result);
    return result;
}

// Counters that keep counting leave their next start in the mapping.
void ArticleImporter::saveCounters(const RowBuilder &builder)
{
    const std::vector<RuleState> &rules = builder.ruleStates();
    for (std::size_t k = 0; k < rules.size() && k < static_cast<std::size_t>(m_form.rowCount()); ++k) {
        if (rules[k].keepCounting && dataSourceOfLabel(m_form.cell(static_cast<int>(k), 1)) == DataSource::Counter)
            m_form.setCell(static_cast<int>(k), 2, counterOptionsAfterRun(rules[k]));
    }
}

} // namespace varnel
