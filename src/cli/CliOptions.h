#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnel::cli {

enum class Command { Import, Export, Preview, Help };

struct CliOptions {
    Command command = Command::Help;
    std::optional<std::string> config;
    // Control name and the value to put in it, in the order given.
    std::vector<std::pair<std::string, std::string>> settings;
    bool clear = false;
    bool saveCounters = false;
    bool json = false;
    std::size_t batch = 500; // rows per INSERT statement
    std::vector<std::string> files;
};

// Parses the command line; on a mistake returns nothing and says why.
std::optional<CliOptions> parseCommandLine(const std::vector<std::string> &args, std::string &error);

extern const char *const kUsage;

} // namespace varnel::cli
