#pragma once

// The options of varnel-cli, each declared once: its names, its value, the
// commands that take it, what it does with its value, and its help in the
// usage text and the manual page. The parser (CliOptions.cpp), --help
// (Usage.cpp), the OPTIONS section of varnel-cli(1) and the bash completion
// (OptionDocs.cpp) are all made from it.

#include "cli/CliOptions.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::cli {

// A set of commands, one bit each.
using CommandSet = unsigned;

constexpr CommandSet commandBit(Command command)
{
    return 1u << static_cast<unsigned>(command);
}

inline constexpr CommandSet kEveryCommand = commandBit(Command::Import) | commandBit(Command::Export)
    | commandBit(Command::Preview) | commandBit(Command::Watch);
// The commands that connect to a server.
inline constexpr CommandSet kConnecting =
    commandBit(Command::Import) | commandBit(Command::Export) | commandBit(Command::Watch);

struct CliCommand {
    std::string_view name;
    Command command;
    bool takesFiles;
};

// import, export, preview and watch, in the order the help names them.
std::span<const CliCommand> cliCommands();

// What an option does with what it is given.
enum class Store {
    Flag, // sets `flag`
    Text, // puts its value into `text`
    Control, // sets `control` to its value, after `check`
    Check, // ticks the check box `control`
    Setting, // --set NAME=VALUE: sets the control NAME
    Batch, // CliOptions::batch, a whole number from 1 to `max`
    Timeout, // CliOptions::timeout, a whole number from 1 to `max`
    Help, // --help
};

// What a value must be, beyond what Store asks.
enum class Check {
    None,
    Encoding, // 0 to 4
    SslMode, // a mode parseSslMode knows
    ColumnName, // not empty
};

// How the bash completion completes an option's value.
enum class Completion {
    None, // typed freely
    File, // any file
    FileOf, // a file whose name ends in `words`
    Folder,
    Words, // one of `words`
};

// How an option's name stands in the help: the first of an entry, or after
// the one above it in the same entry (which then has no text of its own), on
// the same line or on the next.
enum class Head {
    Own,
    Beside,
    Below,
};

struct CliOption {
    std::string_view name = {}; // "--config"
    std::string_view shortName = {}; // "-q", or empty
    std::string_view value = {}; // the value's name in the help, "FILE"; empty for a flag
    CommandSet commands = kEveryCommand;
    Store store = Store::Flag;
    bool CliOptions::*flag = nullptr;
    std::optional<std::string> CliOptions::*text = nullptr;
    std::string_view control = {}; // Store::Control, Store::Check
    Check check = Check::None;
    unsigned long long max = 0; // Store::Batch, Store::Timeout
    Completion completion = Completion::None;
    std::string_view words = {}; // Completion::FileOf, Completion::Words
    Head head = Head::Own;
    // The lines of --help after the name, as they stand there: the English,
    // then the Chinese, or both on one line. An entry of several options has
    // its text on one of them.
    std::string_view usage = {};
    // The paragraph of the manual page (roff), after the names and, for an
    // option not every command takes, the commands that do. An entry of
    // several options has their paragraphs one after another.
    std::string_view man = {};
};

// Every option, in the order the help lists them.
std::span<const CliOption> cliOptions();

// The two parts of the table, by what the options are about.
std::span<const CliOption> sourceAndConnectionOptions();
std::span<const CliOption> runOptions();

// The options one after another, as entries of the help: an option with
// those after it that stand beside or below it.
std::vector<std::span<const CliOption>> optionEntries();

// The lines of a text of the table; a raw string's first line break is
// not one of them.
std::vector<std::string_view> textLines(std::string_view text);

// "import only", "import and watch", "import, export and watch".
std::string commandsText(CommandSet commands);

} // namespace varnel::cli
