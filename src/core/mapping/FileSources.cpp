#include "mapping/FileSources.h"

#include "mapping/FieldRule.h"
#include "mapping/Generators.h"
#include "text/Entities.h"
#include "text/SummaryText.h"
#include "text/TextBetween.h"
#include "text/TextUtil.h"
#include "util/OpenPath.h"
#include "util/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace varnel {
namespace {

constexpr char kSeparator = '/';

std::string twoDigits(std::int64_t v)
{
    std::string s = std::to_string(v);
    if (s.size() == 1)
        s.insert(s.begin(), '0');
    return s;
}

std::string renderFull(const DateTime &t)
{
    return formatTime(0, {}, t);
}

} // namespace

std::string fileMainName(std::string_view path)
{
    const auto slash = path.rfind(kSeparator);
    const std::string_view name = slash == npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    return std::string(dot == npos ? name : name.substr(0, dot));
}

std::string parentDirName(std::string_view path)
{
    const auto last = path.rfind(kSeparator);
    if (last == npos)
        return {};
    const auto before = last == 0 ? npos : path.rfind(kSeparator, last - 1);
    if (before == npos)
        return std::string(path.substr(0, last));
    return std::string(path.substr(before + 1, last - before - 1));
}

std::string formatTime(int index, std::string_view pattern, const DateTime &t)
{
    std::string out;
    switch (index) {
    case 0:
        out = "#1-#2-#3 #4:#5:#6";
        break;
    case 1:
        out = "#1-#2-#3";
        break;
    case 2:
        out = "#4:#5:#6";
        break;
    default:
        out = std::string(pattern);
        break;
    }
    const std::int64_t parts[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
    for (int i = 0; i < 6; ++i)
        out = replaceAll(out, "#" + std::to_string(i + 1), twoDigits(parts[i]));
    return out;
}

std::optional<DateTime> parseDateTime(std::string_view text)
{
    DateTime t;
    long long y = 0;
    int mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const std::string copy(text);
    const int n = std::sscanf(copy.c_str(), "%lld-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    if (n != 3 && n != 6)
        return std::nullopt;
    t = {y, mo, d, h, mi, s};
    return t;
}

std::optional<FileTimes> fileTimes(const std::filesystem::path &path)
{
    const UniqueFd fd(openPath(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return std::nullopt;
    struct statx sx { };
    if (::statx(fd.get(), "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME | STATX_ATIME, &sx) != 0)
        return std::nullopt;
    const std::time_t modified = static_cast<std::time_t>(sx.stx_mtime.tv_sec);
    const std::time_t created = (sx.stx_mask & STATX_BTIME) ? static_cast<std::time_t>(sx.stx_btime.tv_sec) : modified;
    FileTimes times;
    times.created = renderFull(localDateTime(created));
    times.modified = renderFull(localDateTime(modified));
    const DateTime accessed = localDateTime(static_cast<std::time_t>(sx.stx_atime.tv_sec));
    times.accessed = formatTime(1, {}, accessed) + " ";
    if (accessed.hour != 0 || accessed.minute != 0 || accessed.second != 0)
        times.accessed += formatTime(2, {}, accessed);
    return times;
}

std::optional<std::time_t> fileModificationTime(const std::filesystem::path &path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_mtime;
}

std::string fileTimeValue(const std::filesystem::path &path, const FileTimeChoice &choice)
{
    const auto times = fileTimes(path);
    if (!times)
        return {};
    const std::string &chosen = choice.kind == FileTimeKind::Created ? times->created
        : choice.kind == FileTimeKind::Modified                      ? times->modified
                                                                     : times->accessed;
    const auto t = parseDateTime(chosen);
    if (!t)
        return {};
    const int index = choice.formatIndex >= 0 && choice.formatIndex <= 2 ? choice.formatIndex : 0;
    return formatTime(index, {}, *t);
}

std::string contentSummary(
    std::string_view text, std::string_view minLength, std::string_view maxLength, RandomSource &random)
{
    // Only as much of the text is decoded and stripped as the summary needs.
    const std::int64_t n = randomInt(random, optionInteger(minLength), optionInteger(maxLength));
    return summaryOf(text, n);
}

std::string pageTitle(std::string_view text, std::string_view head, std::string_view tail)
{
    std::int64_t position = 0;
    return TextBetween(text, head, tail, position);
}

} // namespace varnel
