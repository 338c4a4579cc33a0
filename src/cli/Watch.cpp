#include "cli/Watch.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/MySqlConnection.h"
#include "transfer/ArticleImporter.h"
#include "transfer/FileLister.h"
#include "transfer/FolderWatch.h"
#include "transfer/ReportedMoves.h"
#include "transfer/ServerQueries.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace varnel::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A batch goes once no new file came for this long, or once it is this big.
constexpr auto kQuiet = std::chrono::milliseconds(1000);
constexpr std::size_t kBatchFiles = 1000;
// How long to wait before trying an unreachable server again.
constexpr auto kRetryServer = std::chrono::seconds(5);
constexpr std::string_view kFolderGone = "文章目录已删除或移走";

template <class T> void append(std::vector<T> &to, const std::vector<T> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// A watch reports each file once, by what became of it last: a file that
// went again (written anew, or after the server came back) drops what was
// said of it before.
void forget(TransferResult &total, const std::unordered_set<std::string> &files)
{
    auto gone = [&](const auto &entry) { return files.count(entry.item) > 0; };
    std::erase_if(total.failures, gone);
    std::erase_if(total.unknown, gone);
    std::erase_if(total.incomplete, gone);
    std::erase_if(total.stored, gone);
    std::erase_if(total.exists, gone);
    std::erase_if(total.skipped, gone);
}

// What a watch knows of the files it has taken.
class TakenFiles {
public:
    // Whether the file is as it was when it was last taken (also under
    // another name: a folder moved within the watched one).
    bool unchanged(const std::optional<FileState> &now) const
    {
        const auto it = now ? m_taken.find(now->identity) : m_taken.end();
        return it != m_taken.end() && it->second.sameAs(*now);
    }
    // Taken before, and written anew since.
    bool changed(const std::optional<FileState> &now) const
    {
        return now && m_taken.count(now->identity) && !unchanged(now);
    }
    void take(const FileState &state) { m_taken[state.identity] = state; }
    void forget(const std::optional<FileState> &state)
    {
        if (state)
            m_taken.erase(state->identity);
    }

private:
    std::unordered_map<FileIdentity, FileState, FileIdentityHash> m_taken;
};

// One watch of the article folder: the files waiting, what became of those
// taken, and the batches that import them.
class Watcher {
public:
    Watcher(const CliOptions &options, Form &form, MySqlConnection &db, CliHost &host, FolderWatch &watch,
        const std::string &folder, ListOptions list,
        const std::function<bool(const TransferResult &, int)> &writeReport)
        : m_options(options)
        , m_db(db)
        , m_host(host)
        , m_watch(watch)
        , m_folder(folder)
        , m_list(std::move(list))
        , m_writeReport(writeReport)
        , m_importer(form, db, host)
    {
        m_importer.setBatchSize(options.batch);
        if (options.key)
            m_importer.setKeyColumn(*options.key);
        host.onInterrupt([this] { m_importer.requestStop(); });
        host.onAbort([this] { m_importer.abort(); });
        // The report is written into place in the folder perhaps: not an
        // article.
        std::error_code ec;
        if (options.report)
            m_reportFile = std::filesystem::weakly_canonical(*options.report, ec).string();
    }

    // Watches until a signal, the folder gone or a validation message;
    // returns the exit status.
    int run();

private:
    // A batch as it goes: its files, what each was when it went, and those
    // written anew since they were taken before.
    struct Batch {
        std::vector<std::string> files;
        std::unordered_map<std::string, FileState> before;
        std::unordered_set<std::string> replacing;
    };

    void enqueue(const std::vector<std::string> &files);
    void listAll();
    bool takeEvents();
    bool batchDue() const;
    bool serverReady();
    void waitForServer(const std::string &notice);
    Batch takeBatch();
    bool runBatch(Batch batch);
    void settle(const Batch &batch, const ImportResult &result);

    const CliOptions &m_options;
    MySqlConnection &m_db;
    CliHost &m_host;
    FolderWatch &m_watch;
    const std::string m_folder;
    const ListOptions m_list;
    const std::function<bool(const TransferResult &, int)> &m_writeReport;
    ArticleImporter m_importer;
    // A move to another server between batches is told as a batch's is.
    const ReportedMoves m_moves{m_db, m_host};
    std::string m_reportFile;

    std::vector<std::string> m_queue;
    std::unordered_set<std::string> m_queued;
    // A file written again (another size or time) goes again; one merely
    // closed again, or moved, does not.
    TakenFiles m_taken;
    TransferResult m_total = TransferResult::ended(TransferOutcome::Completed);
    Clock::time_point m_lastEvent;
    Clock::time_point m_serverRetry{}; // no batch before then
    bool m_serverNoticed = false;
    int m_status = kOk;
};

void Watcher::enqueue(const std::vector<std::string> &files)
{
    std::error_code ec;
    for (const std::string &f : files) {
        if (m_taken.unchanged(fileState(f)))
            continue;
        if (!m_reportFile.empty() && std::filesystem::weakly_canonical(f, ec).string() == m_reportFile)
            continue;
        if (m_queued.insert(f).second)
            m_queue.push_back(f);
    }
}

// Files a process still writes come when it closes them.
void Watcher::listAll()
{
    const auto writing = filesOpenForWriting();
    std::vector<std::string> complete;
    for (std::string &f : listArticleFolder(m_folder, m_list).files) {
        const auto state = fileState(f);
        if (state && !writing.count(state->identity))
            complete.push_back(std::move(f));
    }
    enqueue(complete);
}

// Queues what the folder says of its files; false when the folder went (its
// queued files are then skipped).
bool Watcher::takeEvents()
{
    const std::vector<std::string> arrived = m_watch.take(std::chrono::milliseconds(200));
    if (!arrived.empty())
        m_lastEvent = Clock::now();
    enqueue(arrived);
    if (m_watch.overflowed()) {
        // Events were lost: sub-folders made meanwhile are watched and
        // everything listed again (imported files are known).
        m_watch.rescan();
        listAll();
    }
    if (!m_watch.folderGone())
        return true;
    m_host.notice("文章目录已删除或移走，监视结束：" + m_folder);
    for (const std::string &f : m_queue)
        m_total.skipped.push_back({f, std::string(kFolderGone)});
    m_queue.clear();
    m_status = kOther;
    return false;
}

// A batch goes once the folder has been quiet a while or enough files wait,
// and not while an unreachable server is waited for.
bool Watcher::batchDue() const
{
    if (m_queue.empty() || (Clock::now() - m_lastEvent < kQuiet && m_queue.size() < kBatchFiles))
        return false;
    return Clock::now() >= m_serverRetry;
}

// The server went away between batches: connected again first. False while
// it cannot be reached.
bool Watcher::serverReady()
{
    if (m_db.isOpen() && !m_db.connectionLost() && !m_db.closedByServer())
        return true;
    if (!m_db.reopen()) {
        waitForServer("无法连接到 MySQL 服务器，稍后重试：" + m_db.connectError());
        return false;
    }
    if (m_serverNoticed)
        m_host.notice("已重新连接到 MySQL 服务器");
    m_serverNoticed = false;
    return true;
}

// No batch until the server is tried again; said once until it is back.
void Watcher::waitForServer(const std::string &notice)
{
    if (!m_serverNoticed)
        m_host.notice(notice);
    m_serverNoticed = true;
    m_serverRetry = Clock::now() + kRetryServer;
}

// A file gone again before its turn (a writer's temporary name) was no
// article. What each file is now is what it was when it went: a file written
// again while its batch runs goes once more.
Watcher::Batch Watcher::takeBatch()
{
    Batch batch;
    for (const std::string &f : m_queue) {
        const auto state = fileState(f);
        if (!state)
            continue;
        if (m_taken.changed(state))
            batch.replacing.insert(f);
        batch.before.emplace(f, *state);
        batch.files.push_back(f);
    }
    m_queue.clear();
    m_queued.clear();
    return batch;
}

// Imports a batch; false when no later batch would fare better.
bool Watcher::runBatch(Batch batch)
{
    m_importer.clearStop();
    m_importer.setReplacing(std::move(batch.replacing));
    const ImportResult result = m_importer.runImport(batch.files);
    if (result.outcome == TransferOutcome::Invalid && m_db.isOpen() && m_db.connectionLost()) {
        // The server went away before the watcher saw it, and the run's
        // first checks (the database, the table) failed on the dead
        // connection: no fault of the configuration, and nothing was
        // sent. All of it again once connected.
        m_host.messages.clear();
        m_host.failureLists.clear();
        waitForServer("与 MySQL 服务器的连接已断开，稍后重试：" + serverReason(m_db));
        enqueue(batch.files);
        return true;
    }
    const int code = m_host.finish(result, stdout, stderr);
    m_host.messages.clear();
    m_host.failureLists.clear();
    if (result.outcome == TransferOutcome::Invalid && !m_db.isOpen()) {
        // The run could not start for want of a server: all of it again.
        enqueue(batch.files);
        return true;
    }
    settle(batch, result);
    if (result.outcome == TransferOutcome::Invalid) {
        // A validation message (a missing database name, a key not in
        // the mapping): no later batch would fare better.
        m_status = code;
        return false;
    }
    m_writeReport(m_total, m_status);
    return true;
}

// What a batch that ran did to the files and to the totals.
void Watcher::settle(const Batch &batch, const ImportResult &result)
{
    // Files a lost connection kept from the table go again once it is
    // back. Those of unknown outcome do not: the run settled by key what
    // it could know, and the rest must not be sent blind.
    const bool serverGone = !m_db.isOpen() || m_db.connectionLost();
    std::vector<std::string> again;
    if (serverGone) {
        for (const TransferFailure &f : result.failures)
            again.push_back(f.item);
    }
    for (const TransferFailure &f : result.skipped)
        again.push_back(f.item);
    for (const auto &[file, state] : batch.before)
        m_taken.take(state);
    for (const std::string &f : again)
        m_taken.forget(fileState(f));

    forget(m_total, std::unordered_set<std::string>(batch.files.begin(), batch.files.end()));
    m_total.transferred += result.transferred;
    m_total.tableRows = result.tableRows;
    if (!serverGone)
        append(m_total.failures, result.failures);
    append(m_total.unknown, result.unknown);
    append(m_total.incomplete, result.incomplete);
    append(m_total.stored, result.stored);
    append(m_total.exists, result.exists);
    enqueue(again);
    // What is known of the files now: a file that failed once and went
    // in later is no failure any more.
    const bool listed = !m_total.failures.empty() || !m_total.unknown.empty() || !m_total.incomplete.empty();
    m_status = listed ? kPartial : kOk;
}

int Watcher::run()
{
    if (!m_options.newOnly)
        listAll();
    m_lastEvent = Clock::now();
    if (!m_host.quiet())
        m_host.notice("正在监视 " + m_folder + "，Ctrl+C 结束");
    while (!m_host.interrupted()) {
        if (!takeEvents())
            break;
        if (!batchDue() || !serverReady())
            continue;
        Batch batch = takeBatch();
        if (batch.files.empty())
            continue;
        if (!runBatch(std::move(batch)))
            break;
    }
    if (m_host.interrupted()) {
        m_total.stopped = true;
        for (const std::string &f : m_queue)
            m_total.skipped.push_back({f, std::string(kStoppedReason)});
        m_status = kStopped;
    }
    m_writeReport(m_total, m_status);
    return m_status;
}

} // namespace

int runWatch(const CliOptions &options, Form &form, MySqlConnection &db, CliHost &host,
    const std::function<bool(const TransferResult &, int)> &writeReport)
{
    const std::string folder = controlText(form, ctl::kFolder);
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "要监视的文章目录不存在：%s\n", folder.c_str());
        return kInvalid;
    }
    ListOptions list;
    list.patterns = controlText(form, ctl::kFileTypes);
    list.recurse = controlChecked(form, ctl::kRecurse);
    FolderWatch watch(folder, list.patterns, list.recurse);
    std::string error;
    // Watching starts before the listing, so that no file falls between.
    if (!watch.start(error)) {
        std::fprintf(stderr, "无法监视文章目录 %s：%s\n", folder.c_str(), error.c_str());
        return kInvalid;
    }
    Watcher watcher(options, form, db, host, watch, folder, std::move(list), writeReport);
    return watcher.run();
}

} // namespace varnel::cli
