#include "transfer/ArticleImporter.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mysql/MySqlConnection.h"
#include "transfer/FileLister.h"
#include "transfer/ReportedMoves.h"
#include "transfer/RunGuard.h"
#include "transfer/RunPresenter.h"

#include <filesystem>

namespace varnel {

// The importer's entry points and the session every run holds. The run
// itself is in ImportRun.cpp, its parts in ImportChecks.cpp, ImportTable.cpp
// and BatchSizing.cpp; the rows are made by RowBuilder.

namespace {

constexpr std::string_view kButton = ctl::kImportButton;

} // namespace

ArticleImporter::ArticleImporter(
    Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random, Clock &clock)
    : m_form(form)
    , m_db(db)
    , m_host(host)
    , m_random(random)
    , m_clock(&clock)
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
    ReportedMoves moves{self.m_db, self.m_host};
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
    ImportResult result = importFolder(useAlternativeLister);
    presentResult(result, m_host);
    return result;
}

ImportResult ArticleImporter::importFolder(bool useAlternativeLister)
{
    const std::string folder = controlText(m_form, ctl::kFolder);
    std::error_code ec;
    if (folder.empty() || !std::filesystem::exists(folder, ec)) {
        return TransferResult::refused(TransferOutcome::Invalid,
            "请先选择要导入到数据库的文章所在目录，或者直接拖放文件列表到本窗口开始导入！", ctl::kFolder);
    }
    report(RunPhase::Listing);
    ListOptions options;
    options.patterns = controlText(m_form, ctl::kFileTypes);
    options.recurse = controlChecked(m_form, ctl::kRecurse);
    options.alternative = useAlternativeLister;
    options.stopRequested = [this] { return m_stop; };
    options.processEvents = [this] { pumpEvents(); };
    FileListing listing = listArticleFolder(folder, options);
    report(RunPhase::Idle);
    if (listing.folderUnreadable) {
        return TransferResult::refused(
            TransferOutcome::Invalid, "无法读取文章目录：" + folder, ctl::kFolder, listing.failures.front().reason);
    }
    if (listing.files.empty()) {
        ImportResult ended = TransferResult::refused(TransferOutcome::Invalid,
            "根据文件类型设置[" + options.patterns + "]在这个目录中找不到文件：\r\n" + folder);
        // Folders that could not be looked into may hold what was sought.
        ended.failures = std::move(listing.failures);
        return ended;
    }
    return importFiles(listing.files, std::move(listing.failures));
}

ImportResult ArticleImporter::runImport(const std::vector<std::string> &files)
{
    // Dropped files while an import runs are refused, not a stop.
    if (m_running)
        return TransferResult::ended(TransferOutcome::Busy);
    Session session(*this);
    ImportResult result = importFiles(files);
    presentResult(result, m_host);
    return result;
}

} // namespace varnel
