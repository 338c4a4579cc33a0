#include "mysql/OptionFile.h"

#include "util/RegularFile.h"
#include "util/SystemError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>
#include <vector>

namespace varnel {
namespace {

// Deeper than any real setup nests its files; a file that includes itself
// ends here.
constexpr int kMaxIncludeDepth = 10;

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The lines of an option file: what they include, and whether one of them
// sets a password ("password=…", in any group).
struct OptionLines {
    std::vector<std::filesystem::path> included, includedFolders;
    bool password = false;
};

OptionLines readLines(std::string_view text)
{
    OptionLines lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        at = end + 1;
        if (line.starts_with("!includedir")) {
            lines.includedFolders.emplace_back(std::string(trimmed(line.substr(11))));
        } else if (line.starts_with("!include")) {
            lines.included.emplace_back(std::string(trimmed(line.substr(8))));
        } else if (!line.empty() && line.front() != '#' && line.front() != ';' && line.front() != '[') {
            const auto eq = line.find('=');
            std::string key(trimmed(line.substr(0, eq)));
            std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
            if (key == "password" && eq != std::string_view::npos && !trimmed(line.substr(eq + 1)).empty())
                lines.password = true;
        }
    }
    return lines;
}

std::optional<std::string> problemOf(const std::filesystem::path &path, int depth);

std::optional<std::string> folderProblem(const std::filesystem::path &folder, int depth)
{
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".cnf")
            files.push_back(entry.path());
    }
    if (ec)
        return "无法读取选项文件目录 " + folder.string() + "：" + systemErrorText(ec);
    std::sort(files.begin(), files.end());
    for (const auto &file : files) {
        if (auto problem = problemOf(file, depth))
            return problem;
    }
    return std::nullopt;
}

std::optional<std::string> problemOf(const std::filesystem::path &path, int depth)
{
    const std::string name = path.string();
    if (depth > kMaxIncludeDepth)
        return "选项文件 " + name + " 的 !include 嵌套过深";
    const RegularFile file = openRegularFile(path);
    if (file.special)
        return notRegularFileText(path);
    std::string text;
    if (file.error || !readAllAt(file.fd.get(), text))
        return "无法读取选项文件 " + name + "：" + systemErrorText(file.error ? file.error : errno);
    const mode_t mode = file.status.st_mode;
    if (mode & (S_IWGRP | S_IWOTH)) {
        return "选项文件 " + name + " 的权限是 " + permissionText(mode) + "，其他用户可以修改；请执行 chmod 600 "
            + name;
    }
    const OptionLines lines = readLines(text);
    if (lines.password && (mode & (S_IRGRP | S_IROTH))) {
        return "选项文件 " + name + " 含有密码，权限是 " + permissionText(mode)
            + "，其他用户可以读取；请执行 chmod 600 " + name;
    }
    for (const auto &included : lines.included) {
        if (auto problem = problemOf(included, depth + 1))
            return problem;
    }
    for (const auto &folder : lines.includedFolders) {
        if (auto problem = folderProblem(folder, depth + 1))
            return problem;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> optionFileProblem(const std::filesystem::path &path)
{
    return problemOf(path, 0);
}

} // namespace varnel
