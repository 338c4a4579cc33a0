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
#include "transfer/RunGuard.h"
#include "util/ThrottledPump.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <set>

namespace varnel {
namespace {

constexpr std::string_view kButton = ctl::kExportButton;
constexpr std::size_t kMaxFileNameBytes = 255;

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
std::string resolveColumn(const std::string &column, const ResultSet &result)
{
    const auto position = canonicalInteger(column);
    if (!position)
        return column;
    const std::int64_t n = *position;
    std::string name;
    if (n >= 1 && n <= static_cast<std::int64_t>(INT32_MAX) && result.fieldName(static_cast<int>(n - 1), name))
        return name;
    return column;
}

// Cuts a name so that name + extension fits in a file name, at a character
// boundary.
std::string fitName(const std::string &name, const std::string &extension)
{
    if (name.size() + extension.size() <= kMaxFileNameBytes)
        return name;
    std::size_t keep = kMaxFileNameBytes > extension.size() ? kMaxFileNameBytes - extension.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.substr(0, keep);
}

} // namespace

std::string safeFileName(std::string_view name)
{
    std::string out(name);
    const std::pair<const char *, const char *> wide[] = {
        {"\\", "＼"}, {"/", "／"}, {":", "："}, {"*", "＊"}, {"?", "？"}, {"|", "｜"}, {"<", "＜"}, {">", "＞"}};
    for (const auto &[from, to] : wide)
        out = replaceAll(out, from, to);
    for (const char *gone : {"\"", "\r\n", "\r", "\n", "\t"})
        out = replaceAll(out, gone, "");
    return out;
}

std::string exportExtension(std::string_view fileTypes)
{
    std::string ext =
        fileTypes.find('|') != std::string_view::npos ? std::string("html") : replaceEach(fileTypes, "*|.", "");
    if (ext.empty())
        ext = "html";
    return "." + ext;
}

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
    if (!m_db.execute(sql::selectAll(Identifier::typedTableName(table))))
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
        if (auto pending = m_db.storeResult())
            pending->free();
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

    std::unique_ptr<ResultSet> rows = m_db.storeResult();
    std::string fetchError;
    // No rows where rows were due: the fetch failed (the server went away).
    if (!rows && !m_db.lastError(fetchError))
        fetchError = "没有连接到 MySQL 服务器";
    result.tableRows = rows ? static_cast<std::int64_t>(rows->rowCount()) : 0;
    if (rows) {
        contentColumn = resolveColumn(contentColumn, *rows);
        if (haveName)
            nameColumn = resolveColumn(nameColumn, *rows);
    }
    report(RunPhase::Starting);

    std::set<std::string> written; // names used in this run
    for (std::int64_t i = 0; i < result.tableRows; ++i) {
        pump();
        if (m_stop) {
            result.stopped = true;
            break;
        }
        rows->seekRow(static_cast<std::uint64_t>(i));
        if (controlChecked(m_form, ctl::kConditionsOn) && !names.empty()) {
            bool holds = false;
            for (std::size_t j = 0; j < names.size(); ++j) {
                std::string value;
                rows->readField(names[j], value);
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
        std::string content, name;
        rows->readField(contentColumn, content);
        if (haveName)
            rows->readField(nameColumn, name);
        if (name.empty() && !content.empty())
            name = randomSentence(content, m_random);
        if (name.empty() && content.empty())
            continue;

        // A second row with the same name in this run gets "name (2)", so no
        // row overwrites another; files of earlier runs are replaced.
        std::string base = fitName(safeFileName(name), extension);
        std::string fileName = base + extension;
        for (int n = 2; written.count(fileName); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            fileName = fitName(base, suffix + extension) + suffix + extension;
        }
        const std::string path = folder + fileName;
        if (writeArticleFile(path, content, encoding)) {
            written.insert(fileName);
            ++result.transferred;
            report(RunPhase::Transferring, result.transferred, result.tableRows, name);
        } else {
            result.failures.push_back({"第 " + std::to_string(i + 1) + " 行 → " + path, std::strerror(errno)});
        }
    }

    if (rows)
        rows->free();
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
