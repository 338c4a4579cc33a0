#pragma once

#include "transfer/RunReport.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnel::cli {

enum class Command { Import, Export, Preview, Watch, Help };

// The exit statuses are those of a run's report (transfer/RunReport.h).
struct CliOptions {
    Command command = Command::Help;
    std::optional<std::string> config;
    // Control name and the value to put in it, in the order given.
    std::vector<std::pair<std::string, std::string>> settings;
    bool clear = false;
    bool saveCounters = false;
    bool json = false;
    bool quiet = false; // no progress line
    std::size_t batch = 500; // rows per INSERT statement
    unsigned timeout = 600; // seconds a read or write of the connection may take
    std::vector<std::string> files;
    std::optional<std::string> report; // --report FILE
    std::optional<std::string> retry; // --retry REPORT
    std::optional<std::string> key; // --key COLUMN
    bool newOnly = false; // watch --new-only
    std::optional<std::string> defaultsFile; // --defaults-file FILE
    bool noDefaults = false; // --no-defaults
    std::optional<std::string> passwordFile; // --password-file FILE
};

// What is wrong with a command line, in one line (exit 2).
struct CommandLineError {
    std::string text;
};

// Parses the command line with CLI11 (--option VALUE and --option=VALUE
// alike); on a mistake returns nothing and says why.
std::optional<CliOptions> parseCommandLine(const std::vector<std::string> &args, CommandLineError &error);

// The largest --timeout: the client library counts timeouts in milliseconds
// in an int.
inline constexpr unsigned kMaxTimeoutSeconds = 2147483;

// The largest --batch: rows per statement are bounded by the server's packet
// size long before this.
inline constexpr std::size_t kMaxBatch = 1000000;

} // namespace varnel::cli
