#include "transfer/ArticleImporter.h"

#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "settings/Control.h"
#include "text/ArticleFile.h"
#include "transfer/FileLister.h"
#include "transfer/RowInserter.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace varnel {
namespace {

constexpr const char *kButton = "按钮导入";

// "2" is a position, "02", " 2" and "+2" are names.
std::optional<std::int64_t> canonicalInteger(std::string_view text)
{
    std::int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || std::to_string(v) != text)
        return std::nullopt;
    return v;
}

// Column type of an auto-created table, by source label.
ColumnTypeCode columnTypeFor(std::string_view label)
{
    if (label == "文件主名" || label == "网页标题" || label == "随机时间" || label == "父目录名")
        return kTypeTinytext;
    if (label == "文件内容")
        return kTypeMediumtext;
    if (label == "文件时间")
        return kTypeDatetime;
    return kTypeText;
}

} // namespace

std::string quoteIdentifier(std::string_view name)
{
    std::string out = "`";
    for (char c : name) {
        out += c;
        if (c == '`')
            out += '`';
    }
    out += '`';
    return out;
}

struct ArticleImporter::Run {
    std::string table;
    bool tableExisted = false;
    std::vector<RuleState> rules;
    std::optional<std::vector<std::string>> columns; // read once, when a position needs them
    NoRepeatRandom orderPicker;
    std::int64_t imported = 0;
    std::vector<TransferFailure> failures;
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

void ArticleImporter::caption(std::string_view text)
{
    if (Control *button = m_form.control(kButton))
        m_host.setButtonCaption(*button, text);
}

ImportResult ArticleImporter::startImport(bool useAlternativeLister)
{
    if (controlText(m_form, kButton) != kImportIdle) {
        requestStop();
        return TransferResult::ended(TransferOutcome::Busy);
    }
    clearStop();
    const std::string folder = controlText(m_form, "编辑框文章目录");
    std::error_code ec;
    if (folder.empty() || !std::filesystem::exists(folder, ec)) {
        m_host.showMessage("请先选择要导入到数据库的文章所在目录，或者直接拖放文件列表到本窗口开始导入！");
        m_host.focus("编辑框文章目录");
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    caption("正在读取文章列表..");
    ListOptions options;
    options.patterns = controlText(m_form, "编辑框文件类型");
    options.recurse = controlChecked(m_form, "选择框遍历子目录");
    options.alternative = useAlternativeLister;
    options.stopRequested = [this] { return m_stop; };
    options.processEvents = [this] { m_host.processEvents(); };
    const std::vector<std::string> files = listArticleFiles(folder, options);
    caption(kImportIdle);
    if (files.empty()) {
        m_host.showMessage("根据文件类型设置[" + options.patterns + "]在这个目录中找不到文件：\r\n" + folder);
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    return runImport(files);
}

bool ArticleImporter::prepareTable(Run &run, const std::string &database, const std::string &table)
{
    if (!m_db.selectDatabase(database)) {
        if (!m_db.createDatabase(quoteIdentifier(database))) {
            m_host.showMessage("库不存在且自动创建失败：" + database);
            m_host.focus("编辑框库名");
            return false;
        }
        m_db.execute("ALTER DATABASE " + quoteIdentifier(database)
            + " DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;");
        m_db.selectDatabase(database);
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
        for (const FieldRule &rule : readRules(m_form)) {
            if (rule.target == "ID")
                continue;
            ColumnSpec c;
            c.name = quoteIdentifier(rule.target);
            c.typeCode = columnTypeFor(rule.source);
            columns.push_back(c);
        }
        if (!m_db.createTable(quoteIdentifier(table), columns)) {
            m_host.showMessage("表不存在且自动创建失败：" + table);
            m_host.focus("编辑框表名");
            return false;
        }
        // Converting (not only the default) also covers a database whose own
        // default is not utf8mb4.
        m_db.execute(
            "ALTER TABLE " + quoteIdentifier(table) + " CONVERT TO CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;");
    }
    return true;
}

InsertRow ArticleImporter::buildRow(Run &run, const std::string &path, const std::string &text)
{
    InsertRow insert;
    insert.path = path;
    ValueContext context{m_random, m_clock, {}};
    for (std::size_t k = 0; k < run.rules.size(); ++k) {
        m_host.processEvents();
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
        value = m_db.escapeValue(value);
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

std::size_t ArticleImporter::batchRowsFor(const Run &run, std::size_t &batchBytes)
{
    batchBytes = 0;
    if (m_batchRows <= 1)
        return 1;
    // Only a transactional table leaves nothing behind when a batch fails.
    std::string engine;
    if (m_db.execute("select ENGINE from information_schema.TABLES where TABLE_SCHEMA=database() and TABLE_NAME='"
            + m_db.escapeValue(run.table) + "'")) {
        if (auto r = m_db.storeResult())
            r->readField(0.0, engine);
    }
    if (engine != "InnoDB")
        return 1;
    std::size_t packet = 1 << 20;
    if (m_db.execute("select @@max_allowed_packet")) {
        if (auto r = m_db.storeResult()) {
            std::string text;
            r->readField(0.0, text);
            packet = static_cast<std::size_t>(canonicalInteger(text).value_or(1 << 20));
        }
    }
    // Well under the packet limit, and small enough to keep captions moving.
    batchBytes = std::clamp<std::size_t>(packet / 4, 64 << 10, 8 << 20);
    return m_batchRows;
}

ImportResult ArticleImporter::runImport(const std::vector<std::string> &files)
{
    const std::string database = controlText(m_form, "编辑框库名");
    if (database.empty()) {
        m_host.showMessage("请输入库名！");
        m_host.focus("编辑框库名");
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    Run run;
    run.table = controlText(m_form, "编辑框表名");
    if (run.table.empty()) {
        m_host.showMessage("请输入表名！");
        m_host.focus("编辑框表名");
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    if (m_form.rowCount() == 0) {
        m_host.showMessage("请在 数据字段设置 中添加至少一个字段！");
        return TransferResult::ended(TransferOutcome::Invalid);
    }
    if (!prepareTable(run, database, run.table))
        return TransferResult::ended(TransferOutcome::Invalid);

    for (const FieldRule &rule : readRules(m_form))
        run.rules.push_back(prepareRule(rule));

    if (m_host.ctrlHeld()) {
        if (!m_host.askOkCancel("确定要清空全部记录再导入？", kDefaultCaption, MessageIcon::Warning))
            return TransferResult::ended(TransferOutcome::Cancelled);
        m_db.deleteRows(quoteIdentifier(run.table), "");
    }

    m_random.reseed();
    caption("正在导入..");
    const auto total = static_cast<std::int64_t>(files.size());
    const std::string tableText = quoteIdentifier(run.table);
    std::size_t batchBytes = 0;
    const std::size_t batchRows = batchRowsFor(run, batchBytes);
    RowInserter inserter(m_db, tableText, batchRows, batchBytes);
    for (std::int64_t j = 1; j <= total; ++j) {
        m_host.processEvents();
        if (m_stop)
            break;
        const std::int64_t i = controlChecked(m_form, "选择框乱序导入") ? run.orderPicker.next(1, total, m_random) : j;
        const std::string &path = files[static_cast<std::size_t>(i - 1)];
        const DecodedArticle article =
            readArticle(path, articleEncodingFromIndex(controlIndex(m_form, "组合框文件编码")));

        const std::int64_t before = inserter.inserted();
        inserter.add(buildRow(run, path, article.text));
        // One row at a time the caption moves with each inserted file; in
        // batches the count moves by a batch, the window caption every file.
        if (batchRows > 1 || inserter.inserted() > before) {
            caption("总 " + std::to_string(total) + " 篇，已导入 " + std::to_string(inserter.inserted()) + " 篇");
            m_host.setWindowCaption(fileMainName(path));
        }
    }
    inserter.complete(); // what was read before a stop is stored too
    if (batchRows > 1) {
        caption("总 " + std::to_string(total) + " 篇，已导入 " + std::to_string(inserter.inserted()) + " 篇");
    }
    run.imported = inserter.inserted();
    run.failures = inserter.failures();

    std::int64_t count = 0;
    if (m_db.execute("select count(*) from " + tableText + ";")) {
        if (auto r = m_db.storeResult()) {
            std::string text;
            if (r->seekRow(0) && r->readField(0.0, text))
                count = canonicalInteger(text).value_or(0);
            r->free();
        }
    }
    caption(kImportIdle);
    m_host.restoreWindowCaption();

    for (std::size_t k = 0; k < run.rules.size(); ++k) {
        if (run.rules[k].keepCounting && dataSourceOfLabel(m_form.cell(static_cast<int>(k), 1)) == DataSource::Counter)
            m_form.setCell(static_cast<int>(k), 2, counterOptionsAfterRun(run.rules[k]));
    }

    m_host.showMessage("导入完成，已导入 " + std::to_string(run.imported) + " 篇文章，当前表有 " + std::to_string(count)
        + " 条记录！");
    if (!run.failures.empty())
        m_host.reportFailures("未能导入的文件", run.failures);
    return {TransferOutcome::Completed, run.imported, count, std::move(run.failures)};
}

} // namespace varnel
