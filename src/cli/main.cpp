// varnel-cli: the import and export of the Varnel window, headless.
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "cli/Connect.h"
#include "cli/PreviewJson.h"
#include "cli/Usage.h"
#include "cli/Watch.h"
#include "design/FormTable.h"
#include "form/MainControls.h"

#include "design/ConfigFile.h"
#include "design/ControlValues.h"
#include "design/Counters.h"
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"
#include "mapping/RuleValues.h"
#include "mysql/MySqlConnection.h"
#include "mysql/ServerAddress.h"
#include "settings/SettingsStore.h"
#include "text/ArticleFile.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/Preview.h"
#include "transfer/RunReport.h"
#include "util/RegularFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <unordered_map>

namespace {

using namespace varnel;
using namespace varnel::cli;

std::filesystem::path executableDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// Reports the counters an import advanced and, with --save-counters, saves
// them; false when they were to be saved and could not be.
bool reportCounters(const CliOptions &options, const std::filesystem::path &config, bool lineFeeds,
    const MappingRows &before, const Form &after)
{
    const std::vector<AdvancedCounter> advanced = advancedCounters(before, after);
    if (advanced.empty())
        return true;
    std::optional<std::string> unsaved;
    if (options.saveCounters)
        unsaved = saveCounters(config, lineFeeds, before, after);
    const char *suffix = !options.saveCounters ? "（未保存，使用 --save-counters 保存）" : unsaved ? "" : "（已保存）";
    for (const AdvancedCounter &counter : advanced)
        std::fprintf(stderr, "计数器 %s 下次从 %s 开始%s\n", counter.field.c_str(), counter.nextStart.c_str(), suffix);
    if (unsaved)
        std::fprintf(stderr, "计数器未保存：%s\n", unsaved->c_str());
    return !unsaved;
}

// A report's name of a file, as one path whatever way it was written
// ("./x" and the absolute path are one file).
std::string samePath(const std::string &file)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file : absolute.lexically_normal().string();
}

// The files of a report to import again: those whose last outcome was failed,
// unknown or skipped (a stopped run's), each once. Nothing, with the reason on
// stderr, for a report that cannot be read, is not of an import of this
// table, or comes from a run that never reached its files.
std::optional<std::vector<std::string>> filesToRetry(const std::string &reportFile, Form &form)
{
    const Result<RunReport> report = readRunReport(reportFile);
    if (!report) {
        std::fprintf(stderr, "无法读取运行报告 %s：%s\n", reportFile.c_str(), report.error().message.c_str());
        return std::nullopt;
    }
    if (report->head.command != "import" && report->head.command != "watch") {
        std::fprintf(stderr, "运行报告记录的不是导入（%s）：%s\n", report->head.command.c_str(), reportFile.c_str());
        return std::nullopt;
    }
    const std::string database = controlText(form, ctl::kDatabase), table = controlText(form, ctl::kTable);
    if (report->head.database != database || report->head.table != table) {
        std::fprintf(stderr, "运行报告属于另一个表（%s.%s），不是 %s.%s：%s\n", report->head.database.c_str(),
            report->head.table.c_str(), database.c_str(), table.c_str(), reportFile.c_str());
        return std::nullopt;
    }
    // A run that ended before its first file (no connection, a bad key, no
    // folder) lists none: retrying it would say that nothing failed.
    if (report->files.empty() && report->head.exitStatus != kOk) {
        std::fprintf(stderr, "这份报告来自一次没有处理任何文件的运行，无法重试\n");
        return std::nullopt;
    }
    std::vector<std::string> order;
    std::unordered_map<std::string, FileOutcome> last;
    for (const ReportedFile &f : report->files) {
        std::string path = samePath(f.file);
        if (last.insert_or_assign(path, f.outcome).second)
            order.push_back(std::move(path));
    }
    std::vector<std::string> files;
    for (std::string &path : order) {
        const FileOutcome outcome = last[path];
        if (outcome == FileOutcome::Failed || outcome == FileOutcome::Unknown || outcome == FileOutcome::Skipped)
            files.push_back(std::move(path));
    }
    return files;
}

// Writes the run report when one was asked for; false when it could not be
// written (the reason is on stderr).
bool writeReport(const CliOptions &options, Form &form, const TransferResult &result,
    std::chrono::system_clock::time_point started, int exitStatus)
{
    if (!options.report)
        return true;
    const char *command = options.command == Command::Export ? "export"
        : options.command == Command::Watch                  ? "watch"
                                                             : "import";
    const RunReportHead head =
        runReportHead(form, command, options.key.value_or(controlText(form, ctl::kKeyColumn)), started, exitStatus);
    if (const Result<void> written = writeRunReport(*options.report, result, head); !written) {
        std::fprintf(stderr, "运行报告未写入：%s：%s\n", options.report->c_str(), written.error().message.c_str());
        return false;
    }
    return true;
}

// Files to read that are FIFOs or devices are refused at once: reading one
// could wait forever or never end. So is a report that could not be written.
// True, with the reason on stderr, when one is.
bool refusedFiles(const CliOptions &options, const std::filesystem::path &config)
{
    std::vector<std::filesystem::path> toRead = {config};
    for (const auto &file : {options.retry, options.passwordFile, options.defaultsFile}) {
        if (file)
            toRead.emplace_back(*file);
    }
    for (const std::filesystem::path &file : toRead) {
        if (isSpecialFile(file)) {
            std::fprintf(stderr, "%s\n", notRegularFileText(file).c_str());
            return true;
        }
    }
    if (options.report) {
        if (const Result<std::filesystem::path> target = reportTarget(*options.report); !target) {
            std::fprintf(stderr, "运行报告未写入：%s：%s\n", options.report->c_str(), target.error().message.c_str());
            return true;
        }
    }
    return false;
}

// The form as the configuration and the command line set it, its rules
// checked; false, with the reason on stderr, when they cannot be read or
// are wrong.
bool configure(const CliOptions &options, const std::filesystem::path &config, Form &form, bool &lineFeeds)
{
    {
        SettingsStore store;
        if (options.config) {
            // A file named on the command line is read as it is or refused:
            // running on defaults instead would import with the wrong rules.
            if (const Result<void> read = readConfigChecked(store, config, mainFormSpec().section, &lineFeeds); !read) {
                std::fprintf(
                    stderr, "cannot read the configuration %s: %s\n", config.c_str(), read.error().message.c_str());
                return false;
            }
        } else {
            // The program's own settings: a fresh file has no rows and
            // gets the default ones, a damaged count is refused all the same.
            store.openReadOnly(config);
            if (const auto problem = unreadableMainRows(store)) {
                std::fprintf(stderr, "cannot read the configuration %s: %s\n", config.c_str(), problem->c_str());
                return false;
            }
        }
        restoreMainConfig(store, form);
    }
    // The import button starts idle whatever the file remembers.
    form.control(ctl::kImportButton)->setText(kImportIdle);
    form.control(ctl::kExportButton)->setText(kExportIdle);
    for (const auto &[name, value] : options.settings) {
        std::string error;
        if (!applySetting(form, name, value, error)) {
            // A value the command line gave that no control takes.
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
    }
    if (options.command != Command::Export) {
        // Counters are checked before anything runs; for a folder the
        // importer checks again once it knows how many files there are.
        if (const auto problem = validateRules(readRules(form), static_cast<std::int64_t>(options.files.size()))) {
            std::fprintf(stderr, "%s\n", problem->c_str());
            return false;
        }
    }
    return true;
}

// `varnel-cli preview`. A file the import would skip or store only in part
// makes the preview end as such an import would: exit 3.
int runPreview(const CliOptions &options, Form &form)
{
    bool partial = false;
    for (const PreviewRow &row : previewImport(form, options.files)) {
        partial = partial || !row.error.empty() || row.incomplete;
        if (options.json) {
            std::printf("%s\n", previewJsonLine(row).c_str());
            continue;
        }
        std::printf(
            "== %s (encoding %d%s)\n", row.file.c_str(), row.encoding, row.encodingCertain ? "" : ", uncertain");
        if (!row.error.empty())
            std::printf("  not imported: %s\n", row.error.c_str());
        if (row.incomplete && row.incompleteReason == kIncompleteUtf8)
            std::printf("  incomplete: invalid UTF-8 bytes, each read as U+FFFD\n");
        else if (row.incomplete && row.incompleteReason != kIncompleteCharset)
            std::printf("  incomplete: damaged gzip data, values from the part that could be read\n");
        if (!row.encodingCertain)
            std::printf("  incomplete: encoding not certain, read as GBK\n");
        for (const auto &v : row.values)
            std::printf("  %s [%s]: %s\n", v.target.c_str(), v.source.c_str(), v.value.c_str());
    }
    return partial ? kPartial : kOk;
}

// A report's exit status is the one the program ends with: a report that
// could not be written makes a run that went well end with exit 1.
using Reported = std::function<int(const TransferResult &, int exitStatus)>;

// `varnel-cli import`, connected: of the files given, or of the folder.
int runImport(const CliOptions &options, const std::filesystem::path &config, bool lineFeeds, Form &form,
    MySqlConnection &db, CliHost &host, const std::vector<std::string> &files, const Reported &reported)
{
    const MappingRows before = mappingRows(form);
    ArticleImporter importer(form, db, host);
    importer.setBatchSize(options.batch);
    if (options.key)
        importer.setKeyColumn(*options.key);
    host.onInterrupt([&] { importer.requestStop(); });
    host.onAbort([&] { importer.abort(); });
    const ImportResult result = files.empty() ? importer.startImport(false) : importer.runImport(files);
    int code = host.finish(result, stdout, stderr);
    // Counters the run advanced are reported whatever ended it: the rows
    // that took their numbers are in the table.
    if (!reportCounters(options, config, lineFeeds, before, form) && (code == kOk || code == kPartial))
        code = kCountersNotSaved;
    return reported(result, code);
}

int run(const CliOptions &options)
{
    const auto started = std::chrono::system_clock::now();
    const std::filesystem::path config =
        options.config ? std::filesystem::path(*options.config) : settingsFilePath(executableDir());
    if (refusedFiles(options, config))
        return kInvalid;
    MemoryForm form(mainFormSpec());
    bool lineFeeds = false;
    if (!configure(options, config, form, lineFeeds))
        return kInvalid;
    if (options.command == Command::Preview)
        return runPreview(options, form);

    std::vector<std::string> files = options.files;
    if (options.retry) {
        const auto again = filesToRetry(*options.retry, form);
        if (!again)
            return kInvalid;
        if (again->empty()) {
            std::printf("运行报告中没有失败或未确认的文件\n");
            return writeReport(options, form, TransferResult::ended(TransferOutcome::Completed), started, kOk) ? kOk
                                                                                                               : kOther;
        }
        files = *again;
    }
    const Reported reported = [&](const TransferResult &result, int code) {
        const bool written = writeReport(options, form, result, started, code);
        return written || (code != kOk && code != kPartial) ? code : kOther;
    };

    // A server field that is no list of servers would connect elsewhere.
    if (const ServerList servers = splitServerList(controlText(form, ctl::kServer)); servers.invalid) {
        std::fprintf(stderr, "%s\n", invalidServerText(*servers.invalid).c_str());
        return kInvalid;
    }
    // From here a signal stops the run instead of ending the program.
    ConnectOptions connectOptions;
    std::string password;
    if (!connectSettings(options, form, connectOptions, password))
        return kInvalid;
    CliHost host(options.clear, options.quiet);
    MySqlConnection &db = MySqlConnection::shared();
    if (!connectToServer(options, form, host, db, std::move(connectOptions), password)) {
        TransferResult failed = TransferResult::ended(TransferOutcome::Interrupted);
        failed.detail = "连接到MySQL失败：" + db.connectError();
        return reported(failed, host.interrupted() ? kStopped : kOther);
    }

    if (options.command == Command::Watch) {
        return runWatch(options, form, db, host,
            [&](const TransferResult &result, int code) { return writeReport(options, form, result, started, code); });
    }
    if (options.command == Command::Export) {
        ArticleExporter exporter(form, db, host);
        host.onInterrupt([&] { exporter.requestStop(); });
        host.onAbort([&] { exporter.requestStop(); });
        const TransferResult result = exporter.runExport();
        return reported(result, host.finish(result, stdout, stderr));
    }
    return runImport(options, config, lineFeeds, form, db, host, files, reported);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CommandLineError error;
    const auto options = parseCommandLine(args, error);
    if (!options) {
        // One line, whatever the mistake: scripts log it as it is.
        std::string text = error.text;
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::fprintf(stderr, "varnel-cli: %s\n", text.c_str());
        return kInvalid;
    }
    if (options->command == Command::Help) {
        std::fputs(usageText().c_str(), stdout);
        return kOk;
    }
    try {
        return run(*options);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "varnel-cli: %s\n", e.what());
        return kOther;
    }
}
