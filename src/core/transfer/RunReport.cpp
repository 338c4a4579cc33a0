#include "transfer/RunReport.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "util/Hex.h"
#include "util/RegularFile.h"
#include "util/SystemError.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <unordered_set>

namespace varnel {
namespace {

using Json = nlohmann::ordered_json;

constexpr FileOutcome kOutcomes[] = {FileOutcome::Stored, FileOutcome::Failed, FileOutcome::Unknown,
    FileOutcome::Incomplete, FileOutcome::Skipped, FileOutcome::Exists};

std::string isoTime(std::chrono::system_clock::time_point t)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<std::chrono::system_clock::time_point> fromIsoTime(const std::string &text)
{
    std::tm utc{};
    const char *end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    if (!end || *end)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(timegm(&utc));
}

// One file's object. Names, reasons and keys may hold any bytes: the JSON
// gets them as well-formed UTF-8, and a name's own bytes besides in hex.
void appendFile(
    std::string &out, const std::string &file, FileOutcome outcome, const std::string &reason, const std::string &key)
{
    Json line = Json::object();
    bool badName = false;
    line["file"] = wellFormedUtf8(file, &badName);
    if (badName)
        line["file_hex"] = hexBytes(file);
    line["outcome"] = outcomeName(outcome);
    if (!reason.empty())
        line["reason"] = wellFormedUtf8(reason);
    if (!key.empty())
        line["key"] = wellFormedUtf8(key);
    out += line.dump();
    out += '\n';
}

} // namespace

std::string_view outcomeName(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Stored:
        return "stored";
    case FileOutcome::Failed:
        return "failed";
    case FileOutcome::Unknown:
        return "unknown";
    case FileOutcome::Incomplete:
        return "incomplete";
    case FileOutcome::Skipped:
        return "skipped";
    case FileOutcome::Exists:
        return "exists";
    }
    return "failed";
}

std::string runReportText(const TransferResult &result, const RunReportHead &head)
{
    std::string out;
    std::unordered_set<std::string> incomplete;
    for (const TransferFailure &f : result.incomplete)
        incomplete.insert(f.item);
    for (const TransferFailure &f : result.failures)
        appendFile(out, f.item, FileOutcome::Failed, f.reason, f.key);
    for (const TransferFailure &f : result.unknown)
        appendFile(out, f.item, FileOutcome::Unknown, f.reason, f.key);
    std::size_t storedWhole = 0;
    std::unordered_set<std::string> incompleteStored;
    for (const KeyedFile &f : result.stored) {
        if (incomplete.count(f.item)) {
            incompleteStored.insert(f.item);
            continue;
        }
        ++storedWhole;
        appendFile(out, f.item, FileOutcome::Stored, {}, f.key);
    }
    for (const TransferFailure &f : result.incomplete) {
        // Stored, with part of the text: the reason says which part.
        std::string key;
        for (const KeyedFile &s : result.stored) {
            if (s.item == f.item) {
                key = s.key;
                break;
            }
        }
        appendFile(out, f.item, FileOutcome::Incomplete, f.reason, key);
    }
    for (const KeyedFile &f : result.exists)
        appendFile(out, f.item, FileOutcome::Exists, {}, f.key);
    for (const TransferFailure &f : result.skipped)
        appendFile(out, f.item, FileOutcome::Skipped, f.reason, f.key);

    Json summary = Json::object();
    summary["summary"] = true;
    summary["command"] = head.command;
    summary["database"] = wellFormedUtf8(head.database);
    summary["table"] = wellFormedUtf8(head.table);
    if (!head.key.empty())
        summary["key"] = wellFormedUtf8(head.key);
    if (head.command != "export") {
        summary["files"] = result.failures.size() + result.unknown.size() + result.stored.size() + result.exists.size()
            + result.skipped.size();
        summary["stored"] = storedWhole;
        summary["failed"] = result.failures.size();
        summary["unknown"] = result.unknown.size();
        summary["incomplete"] = result.incomplete.size();
        summary["exists"] = result.exists.size();
        summary["skipped"] = result.skipped.size();
    } else {
        summary["written"] = result.transferred;
        summary["failed"] = result.failures.size();
    }
    // A count the run never read is not shown as one.
    if (result.tableRows >= 0)
        summary["table_rows"] = result.tableRows;
    summary["stopped"] = result.stopped;
    if (!result.detail.empty())
        summary["detail"] = wellFormedUtf8(result.detail);
    summary["started"] = isoTime(head.started);
    summary["ended"] = isoTime(head.ended);
    summary["exit_status"] = head.exitStatus;
    out += summary.dump();
    out += '\n';
    return out;
}

int runExitStatus(const TransferResult &result)
{
    if (result.stopped)
        return kStopped;
    switch (result.outcome) {
    case TransferOutcome::Completed:
        return result.failures.empty() && result.unknown.empty() && result.incomplete.empty() ? kOk : kPartial;
    case TransferOutcome::Invalid:
        return kInvalid;
    default:
        return kOther;
    }
}

RunReportHead runReportHead(
    Form &form, std::string command, std::string key, std::chrono::system_clock::time_point started, int exitStatus)
{
    RunReportHead head;
    head.command = std::move(command);
    head.database = controlText(form, ctl::kDatabase);
    head.table = controlText(form, ctl::kTable);
    head.key = std::move(key);
    head.started = started;
    head.ended = std::chrono::system_clock::now();
    head.exitStatus = exitStatus;
    return head;
}

Result<std::filesystem::path> reportTarget(const std::filesystem::path &file)
{
    // As many links as the system follows in one path.
    constexpr int kMaxLinks = 40;
    std::filesystem::path target = file;
    for (int links = 0;; ++links) {
        struct stat st { };
        if (::lstat(target.c_str(), &st) != 0)
            return target; // made there, or the write tells why not
        if (S_ISREG(st.st_mode))
            return target;
        if (S_ISDIR(st.st_mode))
            return failure(systemErrorText(EISDIR));
        if (!S_ISLNK(st.st_mode))
            return failure(notRegularFileText(target));
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec || links == kMaxLinks)
            return failure(systemErrorText(ec ? ec.value() : ELOOP));
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
}

Result<void> writeRunReport(const std::filesystem::path &file, const TransferResult &result, const RunReportHead &head)
{
    const Result<std::filesystem::path> target = reportTarget(file);
    if (!target)
        return target.error();
    if (replaceFile(*target, runReportText(result, head)))
        return {};
    return failure(systemErrorText(errno));
}

namespace {

Error notAReport(std::size_t lineNumber)
{
    return failure("第 " + std::to_string(lineNumber) + " 行不是运行报告的内容");
}

} // namespace

Result<RunReport> readRunReport(const std::filesystem::path &file)
{
    std::string bytes, error;
    if (!readWholeFile(file, bytes, &error))
        return failure(error);
    RunReport report;
    bool summary = false;
    std::size_t lineNumber = 0;
    try {
        for (std::size_t at = 0; at < bytes.size();) {
            std::size_t end = bytes.find('\n', at);
            if (end == std::string::npos)
                end = bytes.size();
            const std::string_view line(bytes.data() + at, end - at);
            at = end + 1;
            ++lineNumber;
            if (line.find_first_not_of(" \t\r") == std::string_view::npos)
                continue;
            const Json j = Json::parse(line, nullptr, false);
            if (!j.is_object() || summary) {
                return notAReport(lineNumber);
            }
            if (j.value("summary", false)) {
                summary = true;
                report.head.command = j.value("command", "");
                report.head.database = j.value("database", "");
                report.head.table = j.value("table", "");
                report.head.key = j.value("key", "");
                report.head.exitStatus = j.value("exit_status", 0);
                report.head.started = fromIsoTime(j.value("started", "")).value_or(report.head.started);
                report.head.ended = fromIsoTime(j.value("ended", "")).value_or(report.head.ended);
                continue;
            }
            ReportedFile f;
            std::optional<std::string> name;
            if (j.contains("file_hex") && j["file_hex"].is_string())
                name = bytesFromHex(j["file_hex"].get<std::string>());
            else if (j.contains("file") && j["file"].is_string())
                name = j["file"].get<std::string>();
            const std::string outcome = j.value("outcome", "");
            bool known = false;
            for (FileOutcome o : kOutcomes) {
                if (outcomeName(o) == outcome) {
                    f.outcome = o;
                    known = true;
                }
            }
            if (!name || !known) {
                return notAReport(lineNumber);
            }
            f.file = std::move(*name);
            f.reason = j.value("reason", "");
            f.key = j.value("key", "");
            report.files.push_back(std::move(f));
        }
    } catch (const nlohmann::json::exception &) {
        // A value of another type than a report gives it.
        return notAReport(lineNumber);
    }
    if (!summary)
        return failure("报告不完整：没有最后的汇总行");
    return report;
}

} // namespace varnel
