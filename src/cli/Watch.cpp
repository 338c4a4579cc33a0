#include "cli/Watch.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/MySqlConnection.h"
#include "transfer/ArticleImporter.h"
#include "transfer/FileLister.h"
#include "transfer/FolderWatch.h"
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

    ArticleImporter importer(form, db, host);
    importer.setBatchSize(options.batch);
    if (options.key)
        importer.setKeyColumn(*options.key);
    host.onInterrupt([&] { importer.requestStop(); });
    host.onAbort([&] { importer.abort(); });

    // The report is written into place in the folder perhaps: not an article.
    std::string reportFile;
    if (options.report)
        reportFile = std::filesystem::weakly_canonical(*options.report, ec).string();
    std::vector<std::string> queue;
    std::unordered_set<std::string> queued;
    // A file written again (another size or time) goes again; one merely
    // closed again, or moved, does not.
    TakenFiles taken;
    auto enqueue = [&](const std::vector<std::string> &files) {
        for (const std::string &f : files) {
            if (taken.unchanged(fileState(f)))
                continue;
            if (!reportFile.empty() && std::filesystem::weakly_canonical(f, ec).string() == reportFile)
                continue;
            if (queued.insert(f).second)
                queue.push_back(f);
        }
    };
    // Files a process still writes come when it closes them.
    auto listAll = [&] {
        const auto writing = filesOpenForWriting();
        std::vector<std::string> complete;
        for (std::string &f : listArticleFolder(folder, list).files) {
            const auto state = fileState(f);
            if (state && !writing.count(state->identity))
                complete.push_back(std::move(f));
        }
        enqueue(complete);
    };
    if (!options.newOnly)
        listAll();

    TransferResult total = TransferResult::ended(TransferOutcome::Completed);
    auto lastEvent = Clock::now();
    Clock::time_point serverRetry{}; // no batch before then
    bool serverNoticed = false;
    int status = kOk;
    if (!host.quiet())
        host.notice("正在监视 " + folder + "，Ctrl+C 结束");
    while (!host.interrupted()) {
        const std::vector<std::string> arrived = watch.take(std::chrono::milliseconds(200));
        if (!arrived.empty())
            lastEvent = Clock::now();
        enqueue(arrived);
        if (watch.overflowed()) {
            // Events were lost: sub-folders made meanwhile are watched and
            // everything listed again (imported files are known).
            watch.rescan();
            listAll();
        }
        if (watch.folderGone()) {
            host.notice("文章目录已删除或移走，监视结束：" + folder);
            for (const std::string &f : queue)
                total.skipped.push_back({f, std::string(kFolderGone)});
            queue.clear();
            status = kOther;
            break;
        }
        if (queue.empty() || (Clock::now() - lastEvent < kQuiet && queue.size() < kBatchFiles))
            continue;
        if (Clock::now() < serverRetry)
            continue;
        // The server went away between batches: connected again first.
        if (!db.isOpen() || db.connectionLost() || db.closedByServer()) {
            if (!db.reopen()) {
                if (!serverNoticed)
                    host.notice("无法连接到 MySQL 服务器，稍后重试：" + db.connectError());
                serverNoticed = true;
                serverRetry = Clock::now() + kRetryServer;
                continue;
            }
            if (serverNoticed)
                host.notice("已重新连接到 MySQL 服务器");
            serverNoticed = false;
        }

        // A file gone again before its turn (a writer's temporary name) was
        // no article. What each file is now is what it was when it went: a
        // file written again while its batch runs goes once more.
        std::vector<std::string> batch;
        std::unordered_map<std::string, FileState> before;
        std::unordered_set<std::string> replacing;
        for (const std::string &f : queue) {
            const auto state = fileState(f);
            if (!state)
                continue;
            if (taken.changed(state))
                replacing.insert(f);
            before.emplace(f, *state);
            batch.push_back(f);
        }
        queue.clear();
        queued.clear();
        if (batch.empty())
            continue;
        importer.clearStop();
        importer.setReplacing(std::move(replacing));
        const ImportResult result = importer.runImport(batch);
        if (result.outcome == TransferOutcome::Invalid && db.isOpen() && db.connectionLost()) {
            // The server went away before the watcher saw it, and the run's
            // first checks (the database, the table) failed on the dead
            // connection: no fault of the configuration, and nothing was
            // sent. All of it again once connected.
            host.messages.clear();
            host.failureLists.clear();
            if (!serverNoticed)
                host.notice("与 MySQL 服务器的连接已断开，稍后重试：" + serverReason(db));
            serverNoticed = true;
            serverRetry = Clock::now() + kRetryServer;
            enqueue(batch);
            continue;
        }
        const int code = host.finish(result, stdout, stderr);
        host.messages.clear();
        host.failureLists.clear();
        if (result.outcome == TransferOutcome::Invalid && !db.isOpen()) {
            // The run could not start for want of a server: all of it again.
            enqueue(batch);
            continue;
        }
        // Files a lost connection kept from the table go again once it is
        // back. Those of unknown outcome do not: the run settled by key what
        // it could know, and the rest must not be sent blind.
        const bool serverGone = !db.isOpen() || db.connectionLost();
        std::vector<std::string> again;
        if (serverGone) {
            for (const TransferFailure &f : result.failures)
                again.push_back(f.item);
        }
        for (const TransferFailure &f : result.skipped)
            again.push_back(f.item);
        for (const auto &[file, state] : before)
            taken.take(state);
        for (const std::string &f : again)
            taken.forget(fileState(f));

        forget(total, std::unordered_set<std::string>(batch.begin(), batch.end()));
        total.transferred += result.transferred;
        total.tableRows = result.tableRows;
        if (!serverGone)
            append(total.failures, result.failures);
        append(total.unknown, result.unknown);
        append(total.incomplete, result.incomplete);
        append(total.stored, result.stored);
        append(total.exists, result.exists);
        enqueue(again);
        // What is known of the files now: a file that failed once and went
        // in later is no failure any more.
        const bool listed = !total.failures.empty() || !total.unknown.empty() || !total.incomplete.empty();
        status = listed ? kPartial : kOk;
        if (result.outcome == TransferOutcome::Invalid) {
            // A validation message (a missing database name, a key not in
            // the mapping): no later batch would fare better.
            status = code;
            break;
        }
        writeReport(total, status);
    }
    if (host.interrupted()) {
        total.stopped = true;
        for (const std::string &f : queue)
            total.skipped.push_back({f, std::string(kStoppedReason)});
        status = kStopped;
    }
    writeReport(total, status);
    return status;
}

} // namespace varnel::cli
