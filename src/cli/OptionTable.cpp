#include "cli/OptionTable.h"

#include <algorithm>

namespace varnel::cli {

std::span<const CliCommand> cliCommands()
{
    static constexpr CliCommand commands[] = {
        {"import", Command::Import, true},
        {"export", Command::Export, false},
        {"preview", Command::Preview, true},
        {"watch", Command::Watch, false},
    };
    return commands;
}

std::span<const CliOption> cliOptions()
{
    static const std::vector<CliOption> options = [] {
        std::vector<CliOption> all;
        for (const std::span<const CliOption> part : {sourceAndConnectionOptions(), runOptions()})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }();
    return options;
}

std::vector<std::span<const CliOption>> optionEntries()
{
    const std::span<const CliOption> all = cliOptions();
    std::vector<std::span<const CliOption>> entries;
    for (std::size_t begin = 0, end; begin < all.size(); begin = end) {
        end = begin + 1;
        while (end < all.size() && all[end].head != Head::Own)
            ++end;
        entries.push_back(all.subspan(begin, end - begin));
    }
    return entries;
}

std::vector<std::string_view> textLines(std::string_view text)
{
    if (text.starts_with('\n'))
        text.remove_prefix(1);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::string commandsText(CommandSet commands)
{
    std::vector<std::string_view> names;
    for (const CliCommand &command : cliCommands()) {
        if (commands & commandBit(command.command))
            names.push_back(command.name);
    }
    if (names.size() == 1)
        return std::string(names.front()) + " only";
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

} // namespace varnel::cli
