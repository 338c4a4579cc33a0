#include "cli/OptionDocs.h"

#include "cli/OptionTable.h"

#include <utility>
#include <vector>

namespace varnel::cli {
namespace {

// A name as roff prints it: its dashes are hyphen-minus, not hyphens.
std::string roffName(std::string_view name)
{
    std::string text;
    for (const char c : name) {
        if (c == '-')
            text += '\\';
        text += c;
    }
    return text;
}

// A value's name in the italic of .BI: its words italic, what is typed as
// it stands (":" "," "=") bold, the brackets of what may be left out roman.
std::string roffValue(std::string_view value)
{
    std::string text;
    char font = 'I';
    for (const char c : value) {
        const bool word = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        const char wanted = word ? 'I' : c == '[' || c == ']' || c == '.' ? 'R' : 'B';
        if (wanted != font)
            text += std::string("\\f") + wanted;
        font = wanted;
        text += c;
    }
    return text;
}

// The line that names an option in the manual page.
std::string manHead(const CliOption &option)
{
    std::string names = roffName(option.name);
    if (!option.shortName.empty())
        names = roffName(option.shortName) + " \", \" " + names;
    if (option.value.empty())
        return (option.shortName.empty() ? ".B " : ".BR ") + names;
    if (!option.shortName.empty())
        names = "\"" + roffName(option.shortName) + ", " + roffName(option.name) + "\"";
    return ".BI " + names + " \" " + roffValue(option.value) + "\"";
}

// ".BR import \", \" watch :" for an option not every command takes.
std::string manCommands(CommandSet commands)
{
    std::string line = ".BR";
    const char *separator = " ";
    for (const CliCommand &command : cliCommands()) {
        if (commands & commandBit(command.command)) {
            line += separator + std::string(command.name);
            separator = " \", \" ";
        }
    }
    return line + " :";
}

void appendLines(std::string &out, std::string_view text)
{
    for (const std::string_view line : textLines(text)) {
        out += line;
        out += '\n';
    }
}

// The long names of the options a command takes, for the script's line
// `options="..."`, which begins in column `column`.
std::string optionNames(CommandSet commands, std::size_t column)
{
    constexpr std::string_view kIndent = "                ";
    constexpr std::size_t kWidth = 100;
    std::string names;
    for (const CliOption &option : cliOptions()) {
        if (!(option.commands & commands))
            continue;
        if (!names.empty() && column + 1 + option.name.size() >= kWidth) {
            names += '\n';
            names += kIndent;
            column = kIndent.size();
        } else if (!names.empty()) {
            names += ' ';
            ++column;
        }
        names += option.name;
        column += option.name.size();
    }
    return names;
}

// What the script does after an option that takes a value.
std::string valueCompletion(const CliOption &option)
{
    const std::string words(option.words);
    switch (option.completion) {
    case Completion::None:
        return "";
    case Completion::File:
        return "_filedir";
    case Completion::FileOf:
        return "_filedir " + words;
    case Completion::Folder:
        return "_filedir -d";
    case Completion::Words:
        return "COMPREPLY=($(compgen -W \"" + words + "\" -- \"$cur\"))";
    }
    return "";
}

// The `case $prev` of the script: the options that take a value, those
// completed alike together.
std::string valueCases()
{
    std::vector<std::pair<std::string, std::string>> cases; // completion, options
    for (const CliOption &option : cliOptions()) {
        if (option.value.empty())
            continue;
        const std::string completion = valueCompletion(option);
        auto same = cases.begin();
        while (same != cases.end() && same->first != completion)
            ++same;
        if (same == cases.end())
            cases.emplace_back(completion, std::string(option.name));
        else
            same->second += " | " + std::string(option.name);
    }
    std::string text;
    for (const auto &[completion, options] : cases) {
        text += "        " + options + ")\n";
        if (!completion.empty())
            text += "            " + completion + "\n";
        text += "            return\n            ;;\n";
    }
    return text;
}

constexpr std::string_view kScriptStart =
    R"(# bash completion for varnel-cli                              -*- shell-script -*-
# Made from varnel-cli's option table (src/cli/OptionTable*.cpp): edit that,
# then cmake --build build --target varnel_cli_docs_update.

_varnel_cli()
{
    local cur prev words cword
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            )";

constexpr std::string_view kScriptEnd = R"(    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    elif [[ $files == true ]]; then
        _filedir
    fi
} &&
    complete -F _varnel_cli varnel-cli

# ex: filetype=sh
)";

} // namespace

std::string manOptionsSection()
{
    std::string out = ".SH OPTIONS\n";
    for (const std::span<const CliOption> entry : optionEntries()) {
        const char *paragraph = ".TP\n";
        for (const CliOption &option : entry) {
            out += paragraph + manHead(option) + "\n";
            paragraph = ".TQ\n";
        }
        if (entry.front().commands != kEveryCommand)
            out += manCommands(entry.front().commands) + "\n";
        // The paragraphs of several options, each one of its own.
        const char *between = "";
        for (const CliOption &option : entry) {
            if (!option.man.empty()) {
                out += between;
                appendLines(out, option.man);
                between = ".IP\n";
            }
        }
    }
    return out;
}

std::string bashCompletion()
{
    std::string alternatives, words;
    for (const CliCommand &command : cliCommands()) {
        alternatives += std::string(command.name) + " | ";
        words += std::string(command.name) + " ";
    }
    std::string out(kScriptStart);
    out += alternatives + "help)\n                command=${words[i]}\n                break\n                ;;\n";
    out += "        esac\n    done\n\n    case $prev in\n" + valueCases() + "    esac\n    $split && return\n\n";
    out += "    local options files=false\n    case $command in\n";
    for (const CliCommand &command : cliCommands()) {
        out += "        " + std::string(command.name) + ")\n";
        const std::string line = "            options=\"";
        out += line + optionNames(commandBit(command.command), line.size()) + "\"\n";
        if (command.takesFiles)
            out += "            files=true\n";
        out += "            ;;\n";
    }
    out += "        help)\n            return\n            ;;\n        *)\n";
    out += "            COMPREPLY=($(compgen -W \"" + words + "help --help\" -- \"$cur\"))\n";
    out += "            return\n            ;;\n    esac\n";
    out += kScriptEnd;
    return out;
}

} // namespace varnel::cli
