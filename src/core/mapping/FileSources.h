#pragma once

#include "util/Clock.h"
#include "util/Random.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// The file's name without folder and without its last extension.
std::string fileMainName(std::string_view path);
// The name of the folder that holds the file; empty without a folder.
std::string parentDirName(std::string_view path);

// A date-time through a numbered pattern: index 0 "#1-#2-#3 #4:#5:#6",
// 1 "#1-#2-#3", 2 "#4:#5:#6", -1 the given pattern; #1 to #6 are year,
// month, day, hour, minute, second with two digits at least.
std::string formatTime(int index, std::string_view pattern, const DateTime &t);
// "yyyy-MM-dd" with an optional " HH:mm:ss", as fileTimes renders them.
std::optional<DateTime> parseDateTime(std::string_view text);

// Creation (birth where the file system records it, else modification),
// last modification and last access, as "yyyy-MM-dd HH:mm:ss"; an access
// time of 00:00:00 leaves the date and one space. Nothing when the file
// cannot be opened.
struct FileTimes {
    std::string created;
    std::string modified;
    std::string accessed;
};
std::optional<FileTimes> fileTimes(const std::filesystem::path &path);
std::optional<std::time_t> fileModificationTime(const std::filesystem::path &path);

// Which file time a 文件时间 rule gives, as the window's 文件时间 page shows
// it when the value is made (not as the rule stored it).
enum class FileTimeKind { Created, Modified, Accessed };
struct FileTimeChoice {
    FileTimeKind kind = FileTimeKind::Modified;
    int formatIndex = 0;
};
std::string fileTimeValue(const std::filesystem::path &path, const FileTimeChoice &choice);

// The summary: entities decoded, links, tags, line breaks and runs of
// spaces removed, then the first n characters, n drawn from the range.
std::string contentSummary(
    std::string_view text, std::string_view minLength, std::string_view maxLength, RandomSource &random);

// The page title between two markers ('' stands for ").
std::string pageTitle(std::string_view text, std::string_view head, std::string_view tail);

} // namespace varnel
