#include "settings/Journal.h"

#include "settings/FileIo.h"
#include "text/ArticleFile.h"
#include "text/TextUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

namespace varnel {
namespace {

constexpr std::string_view kJournalMagic = "VARNEL-SETTINGS-JOURNAL 1\n";
constexpr std::string_view kJournalEnd = "\nEND";

} // namespace

std::filesystem::path journalPath(const std::filesystem::path &file)
{
    std::filesystem::path p = file;
    p += ".journal";
    return p;
}

int writeThroughJournal(
    int fd, const std::filesystem::path &file, std::string_view text, std::size_t offset, std::size_t oldSize)
{
    const std::string_view tail = text.substr(offset);
    std::string journal(kJournalMagic);
    journal += std::to_string(offset) + "\n" + std::to_string(text.size()) + "\n";
    journal += tail;
    journal += kJournalEnd;
    const auto jpath = journalPath(file);
    const bool journaled = writePrivateFile(jpath, journal);

    const bool written = writeAllAt(fd, tail, static_cast<off_t>(offset))
        && (text.size() >= oldSize || ::ftruncate(fd, static_cast<off_t>(text.size())) == 0);
    if (!written)
        return errno ? errno : EIO;
    if (journaled)
        ::unlink(jpath.c_str());
    return 0;
}

void replayJournal(int fd, const std::filesystem::path &file)
{
    std::string journal;
    const auto jpath = journalPath(file);
    if (!readWholeFile(jpath, journal))
        return;
    // magic, offset, new size, tail, end mark
    std::size_t offset = 0, size = 0;
    bool valid = journal.starts_with(kJournalMagic) && journal.ends_with(kJournalEnd);
    std::string_view rest = std::string_view(journal).substr(valid ? kJournalMagic.size() : 0);
    auto number = [&](std::size_t &out) {
        const auto nl = rest.find('\n');
        if (nl == npos || std::from_chars(rest.data(), rest.data() + nl, out).ptr != rest.data() + nl)
            return false;
        rest.remove_prefix(nl + 1);
        return true;
    };
    valid = valid && number(offset) && number(size);
    if (valid) {
        rest.remove_suffix(kJournalEnd.size());
        valid = offset <= size && rest.size() == size - offset;
    }
    if (valid) {
        struct stat st { };
        valid = ::fstat(fd, &st) == 0 && static_cast<std::size_t>(st.st_size) >= offset;
    }
    if (valid && writeAllAt(fd, rest, static_cast<off_t>(offset)) && ::ftruncate(fd, static_cast<off_t>(size)) == 0)
        ::unlink(jpath.c_str());
    else if (!valid)
        ::unlink(jpath.c_str()); // cut off while being written: the file was never touched
}

} // namespace varnel
