#pragma once

#include "transfer/TransferHost.h"
#include "util/Result.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

class Form;

// The exit status of varnel-cli, which a report keeps for the window's runs
// too (varnel-cli's --help lists them).
enum ExitStatus {
    kOk = 0,
    kOther = 1, // no connection, a run ended by a server or fetch error
    kInvalid = 2, // a mistake in the command line or a validation message
    kPartial = 3, // completed, with failed files or rows or files of unknown outcome
    kCountersNotSaved = 4, // completed, but --save-counters could not write
    kStopped = 130, // stopped by SIGINT or SIGTERM
};

// What a report says about its run besides the files.
struct RunReportHead {
    std::string command; // "import" or "export"
    std::string database;
    std::string table;
    std::string key; // the key column, empty without one
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    int exitStatus = 0;
};

// The head of a run on the form's database and table that started then and
// ends now.
RunReportHead runReportHead(
    Form &form, std::string command, std::string key, std::chrono::system_clock::time_point started, int exitStatus);

// The outcome of one file of an import, as a report names it.
enum class FileOutcome { Stored, Failed, Unknown, Incomplete, Skipped, Exists };
std::string_view outcomeName(FileOutcome outcome);

// A run report in JSON Lines: one object per file (or per failed row of an
// export) with "file" (and "file_hex" when the name is not UTF-8: its raw
// bytes in hex, "file" then holding U+FFFD for the bad ones), "outcome",
// "reason" and "key" where there is one; then the summary object, whose
// "summary" is true: the counts, the table, the database, the key, the start
// and end time (UTC, ISO 8601) and the exit status.
std::string runReportText(const TransferResult &result, const RunReportHead &head);

// The exit status varnel-cli gives a run that ended so: 0 completed, 3
// completed with files failed, of unknown outcome or stored in part, 130
// stopped, 2 ended by a validation message, 1 otherwise.
int runExitStatus(const TransferResult &result);

// The file a report named `file` goes to: that file, or the one a symbolic
// link there leads to (which is made when it is not there yet). Nothing, with
// the reason, when that is a folder, a FIFO or a device: a report replaces
// only a regular file.
Result<std::filesystem::path> reportTarget(const std::filesystem::path &file);

// Writes the report whole or not at all (a temporary file in the folder of
// reportTarget(), renamed into place over it); the reason when it could not.
Result<void> writeRunReport(const std::filesystem::path &file, const TransferResult &result, const RunReportHead &head);

// A file a report lists, its name as the bytes it had.
struct ReportedFile {
    std::string file;
    FileOutcome outcome = FileOutcome::Failed;
    std::string reason;
    std::string key;
};

struct RunReport {
    RunReportHead head;
    std::vector<ReportedFile> files;
};

// Reads a report back; nothing, with the reason, when the file cannot be read
// or is not a complete report of an import (a summary object last).
Result<RunReport> readRunReport(const std::filesystem::path &file);

} // namespace varnel
