#include "cli/CliOptions.h"

#include "cli/OptionTable.h"
#include "cli/Usage.h"
#include "mysql/ConnectOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

namespace varnel::cli {

namespace {

// CLI11 shows this program's own bilingual text for --help, on every command.
class UsageFormatter : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App *, std::string, CLI::AppFormatMode) const override { return usageText(); }
};

// A whole decimal number from 1 to max, or nothing.
std::optional<unsigned long long> wholeNumber(const std::string &text, unsigned long long max)
{
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || n > max)
            return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n == 0 || n > max)
        return std::nullopt;
    return n;
}

// The name CLI11 knows an option by: "-q,--quiet".
std::string cli11Names(const CliOption &option)
{
    return option.shortName.empty() ? std::string(option.name)
                                    : std::string(option.shortName) + "," + std::string(option.name);
}

// The options of a command as CLI11 holds them, each with its row.
using OptionRows = std::map<const CLI::Option *, const CliOption *>;

// Every command parses every option, so that a value is never taken for a
// FILE; one that the command does not take is refused afterwards, by name.
void addOptions(CLI::App &command, OptionRows &rows)
{
    for (const CliOption &option : cliOptions()) {
        if (option.store == Store::Help)
            continue;
        CLI::Option *added = option.value.empty() ? command.add_flag(cli11Names(option))->disable_flag_override()
                                                  : command.add_option(cli11Names(option))
                                                        ->type_name(std::string(option.value))
                                                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        rows[added] = &option;
    }
}

// False, with the reason, when the value is not what the option takes.
bool checkValue(const CliOption &option, const std::string &v, CommandLineError &failure)
{
    const std::string name(option.name);
    switch (option.check) {
    case Check::None:
        return true;
    case Check::Encoding:
        if (v.size() == 1 && v[0] >= '0' && v[0] <= '4')
            return true;
        failure.text = name + " takes 0 to 4, not \"" + v + "\"";
        return false;
    case Check::SslMode:
        // An empty mode is what a settings file without one holds; on the
        // command line it is a mistake.
        if (!v.empty() && parseSslMode(v))
            return true;
        failure.text = name + " takes DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY, not \"" + v + "\"";
        return false;
    case Check::ColumnName:
        if (!v.empty())
            return true;
        failure.text = name + " needs a column name";
        return false;
    }
    return true;
}

// --batch and --timeout: a whole number up to the option's largest.
bool storeCount(const CliOption &option, const std::string &v, CliOptions &o, CommandLineError &failure)
{
    const auto n = wholeNumber(v, option.max);
    const bool rows = option.store == Store::Batch;
    if (!n) {
        failure.text = std::string(option.name) + " takes a whole number of " + (rows ? "rows" : "seconds")
            + " from 1 to " + std::to_string(option.max) + ", not \"" + v + "\"";
        return false;
    }
    if (rows)
        o.batch = static_cast<std::size_t>(*n);
    else
        o.timeout = static_cast<unsigned>(*n);
    return true;
}

// Puts one value given into o as its row says; false with the reason on a
// bad value.
bool storeValue(const CliOption &option, const std::string &v, CliOptions &o, CommandLineError &failure)
{
    if (!checkValue(option, v, failure))
        return false;
    switch (option.store) {
    case Store::Flag:
        o.*option.flag = true;
        break;
    case Store::Text:
        o.*option.text = v;
        break;
    case Store::Control:
        o.settings.emplace_back(option.control, v);
        break;
    case Store::Check:
        o.settings.emplace_back(option.control, "真");
        break;
    case Store::Setting:
        if (const auto eq = v.find('='); eq != std::string::npos && eq != 0) {
            o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            break;
        }
        failure.text = std::string(option.name) + " takes NAME=VALUE, not \"" + v + "\"";
        return false;
    case Store::Batch:
    case Store::Timeout:
        return storeCount(option, v, o, failure);
    case Store::Help:
        break;
    }
    return true;
}

// The first option given that the command does not take: refused, saying
// which commands take it.
bool refuseOthersOptions(const CLI::App &sub, Command command, const OptionRows &rows, CommandLineError &failure)
{
    for (const CLI::Option *given : sub.parse_order()) {
        const auto row = rows.find(given); // not FILE
        if (row != rows.end() && !(row->second->commands & commandBit(command))) {
            failure.text = std::string(row->second->name) + " is for " + commandsText(row->second->commands);
            return false;
        }
    }
    return true;
}

// Reads the parsed options in the order given into o; false with the
// reason on a bad value.
bool applyOptions(const CLI::App &sub, const OptionRows &rows, CliOptions &o, CommandLineError &failure)
{
    std::map<const CLI::Option *, std::size_t> seen;
    for (const CLI::Option *given : sub.parse_order()) {
        const auto row = rows.find(given); // FILE is o.files already
        if (row == rows.end())
            continue;
        const std::size_t index = seen[given]++;
        const std::string v = index < given->results().size() ? given->results()[index] : std::string();
        if (!storeValue(*row->second, v, o, failure))
            return false;
    }
    return true;
}

// What the options given together say against each other.
bool checkTogether(const CliOptions &o, CommandLineError &failure)
{
    if (o.retry && !o.files.empty())
        failure.text = "--retry imports the files of its report, not FILE";
    else if (o.defaultsFile && o.noDefaults)
        failure.text = "--defaults-file and --no-defaults exclude each other";
    else if (o.command == Command::Preview && o.files.empty())
        failure.text = "preview needs at least one FILE";
    else
        return true;
    return false;
}

// CLI11's reason for a value that is missing or not wanted, in this
// program's words.
std::string parseErrorText(const CLI::ParseError &e)
{
    std::string text = e.what();
    if (!dynamic_cast<const CLI::ArgumentMismatch *>(&e))
        return text;
    if (const auto colon = text.find(": "); colon != std::string::npos && text.ends_with(" missing"))
        return text.substr(0, colon) + " needs a value";
    if (constexpr std::string_view flag = " was given a disallowed flag override"; text.ends_with(flag))
        return "--" + text.substr(0, text.size() - flag.size()) + " takes no value";
    return text;
}

// What CLI11 left unplaced, without the "--" that ends the options.
std::vector<std::string> unplaced(const CLI::App &app)
{
    std::vector<std::string> extras = app.remaining();
    std::erase(extras, "--");
    return extras;
}

// The arguments as CLI11 parses them, last first. "--option=" gives the
// option an empty value, as "--option ''" does; CLI11 would take the next
// argument instead.
std::vector<std::string> argumentsForCli11(const std::vector<std::string> &args)
{
    std::vector<std::string> reversed;
    bool optionsEnded = false;
    for (const std::string &a : args) {
        if (!optionsEnded && a.starts_with("--") && a.size() > 3 && a.find('=') == a.size() - 1) {
            reversed.push_back(a.substr(0, a.size() - 1));
            reversed.emplace_back();
        } else {
            reversed.push_back(a);
        }
        optionsEnded = optionsEnded || a == "--";
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

// Why no command was chosen: none given, or an unknown one.
std::string noCommandText(const CLI::App &app)
{
    const std::vector<std::string> extras = unplaced(app);
    if (extras.empty())
        return "no command given: import, export, preview or watch (varnel-cli --help tells more)";
    if (extras.front().starts_with("-"))
        return "unknown option: " + extras.front() + " (varnel-cli --help lists the options)";
    return "unknown command: " + extras.front() + " (import, export, preview or watch)";
}

// What the command left unplaced: an unknown option, or a FILE it takes none
// of. False with the reason when there is one.
bool checkUnplaced(const CLI::App &sub, CommandLineError &failure)
{
    const std::vector<std::string> extras = unplaced(sub);
    if (extras.empty())
        return true;
    if (extras.front().size() > 1 && extras.front().starts_with("-"))
        failure.text = "unknown option: " + extras.front() + " (varnel-cli --help lists the options)";
    else
        failure.text = sub.get_name() + " takes no FILE, not \"" + extras.front() + "\"";
    return false;
}

} // namespace

std::optional<CliOptions> parseCommandLine(const std::vector<std::string> &args, CommandLineError &failure)
{
    CLI::App app("varnel-cli", "varnel-cli");
    app.formatter(std::make_shared<UsageFormatter>());
    for (const CliOption &option : cliOptions()) {
        if (option.store == Store::Help)
            app.set_help_flag(cli11Names(option));
    }
    // Anything CLI11 does not place is kept and named below, one reason at a
    // time, so every mistake reads as one line.
    app.allow_extras();
    app.require_subcommand(0, 1);

    CliOptions o;
    std::map<const CLI::App *, Command> commands;
    std::map<const CLI::App *, OptionRows> optionRows;
    for (const CliCommand &command : cliCommands()) {
        CLI::App *sub = app.add_subcommand(std::string(command.name));
        commands[sub] = command.command;
        addOptions(*sub, optionRows[sub]);
        if (command.takesFiles)
            sub->add_option("FILE", o.files);
    }
    app.add_subcommand("help");

    std::vector<std::string> reversed = argumentsForCli11(args);
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        return CliOptions();
    } catch (const CLI::ParseError &e) {
        failure.text = parseErrorText(e);
        return std::nullopt;
    }

    const std::vector<CLI::App *> chosen = app.get_subcommands();
    if (chosen.empty()) {
        failure.text = noCommandText(app);
        return std::nullopt;
    }
    const CLI::App &sub = *chosen.front();
    const auto command = commands.find(&sub);
    if (command == commands.end())
        return CliOptions(); // help
    o.command = command->second;
    const OptionRows &rows = optionRows[&sub];
    if (!checkUnplaced(sub, failure) || !refuseOthersOptions(sub, o.command, rows, failure)
        || !applyOptions(sub, rows, o, failure) || !checkTogether(o, failure))
        return std::nullopt;
    return o;
}

} // namespace varnel::cli
