#include "cli/Watch.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/MySqlConnection.h"
#include "transfer/ArticleImporter.h"
#include "transfer/FileLister.h"
#include "transfer/FolderWatch.h"

#include <sys/stat.h>

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

// A file's size and modification time; none when it is not there.
using Stamp = std::optional<std::pair<std::uintmax_t, std::int64_t>>;
Stamp stampOf(const std::string &path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return std::make_pair(static_cast<std::uintmax_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

template <class T> void append(std::vector<T> &to, const std::vector<T> &from)
{
    to.insert(to.end(), from.begin(), from.end());
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

    ArticleImporter importer(form, db, host);
    importer.setBatchSize(options.batch);
    if (options.key)
        importer.setKeyColumn(*options.key);
    host.onInterrupt([&] { importer.requestStop(); });

    // The report is written into place in the folder perhaps: not an article.
    std::string reportFile;
    if (options.report)
        reportFile = std::filesystem::weakly_canonical(*options.report, ec).string();
    std::vector<std::string> queue;
    std::unordered_set<std::string> queued;
    // What each file imported was when it went: a file written again
    // (another size or time) goes again, one merely closed again does not.
    std::unordered_map<std::string, Stamp> done;
    auto enqueue = [&](const std::vector<std::string> &files) {
        for (const std::string &f : files) {
            if (const auto d = done.find(f); d != done.end() && d->second == stampOf(f))
                continue;
            if (!reportFile.empty() && std::filesystem::weakly_canonical(f, ec).string() == reportFile)
                continue;
            if (queued.insert(f).second)
                queue.push_back(f);
        }
    };
    auto listAll = [&] { enqueue(listArticleFolder(folder, list).files); };
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
            status = kOther;
            break;
        }
        if (queue.empty() || (Clock::now() - lastEvent < kQuiet && queue.size() < kBatchFiles))
            continue;
        if (Clock::now() < serverRetry)
            continue;
        // The server went away between batches: connected again first.
        if (!db.isOpen() || db.closedByServer()) {
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
        // no article.
        std::vector<std::string> batch;
        for (const std::string &f : queue) {
            if (stampOf(f))
                batch.push_back(f);
        }
        queue.clear();
        queued.clear();
        if (batch.empty())
            continue;
        importer.clearStop();
        const ImportResult result = importer.runImport(batch);
        const int code = host.finish(result, stdout, stderr);
        host.messages.clear();
        host.failureLists.clear();
        if (result.outcome != TransferOutcome::Completed && !db.isOpen()) {
            // The run could not start for want of a server: all of it again.
            enqueue(batch);
            continue;
        }
        // Files a lost connection kept from the table go again once it is
        // back; with a key the unknown ones too, which their key settles.
        const bool serverGone = !db.isOpen() || db.connectionLost();
        std::vector<std::string> again;
        for (const TransferFailure &f : result.failures) {
            if (serverGone)
                again.push_back(f.item);
        }
        if (serverGone && options.key) {
            for (const TransferFailure &f : result.unknown)
                again.push_back(f.item);
        }
        for (const std::string &f : batch)
            done[f] = stampOf(f);
        for (const std::string &f : again)
            done.erase(f);
        for (const std::string &f : result.skipped)
            done.erase(f);
        enqueue(again);
        enqueue(result.skipped);

        total.transferred += result.transferred;
        total.tableRows = result.tableRows;
        if (!serverGone)
            append(total.failures, result.failures);
        if (!serverGone || !options.key)
            append(total.unknown, result.unknown);
        append(total.incomplete, result.incomplete);
        append(total.stored, result.stored);
        append(total.exists, result.exists);
        if (code == kPartial)
            status = kPartial;
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
        total.skipped = queue;
        status = kStopped;
    }
    writeReport(total, status);
    return status;
}

} // namespace varnel::cli
