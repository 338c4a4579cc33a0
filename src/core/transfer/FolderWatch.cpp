#include "transfer/FolderWatch.h"

#include "text/TextUtil.h"
#include "transfer/FileLister.h"
#include "util/SystemError.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace varnel {
namespace {

constexpr std::uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR;

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::optional<FileState> fileState(const std::string &path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    FileState state;
    state.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    state.size = static_cast<std::uint64_t>(st.st_size);
    state.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return state;
}

std::unordered_set<FileIdentity, FileIdentityHash> filesOpenForWriting()
{
    std::unordered_set<FileIdentity, FileIdentityHash> open;
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return open;
    while (const dirent *p = ::readdir(processes)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9')
            continue;
        const std::string base = std::string("/proc/") + p->d_name;
        DIR *fds = ::opendir((base + "/fd").c_str());
        if (!fds)
            continue; // gone, or another user's
        while (const dirent *f = ::readdir(fds)) {
            if (f->d_name[0] < '0' || f->d_name[0] > '9')
                continue;
            // "flags:\t0100001": the mode the descriptor was opened with.
            const UniqueFd info(::open((base + "/fdinfo/" + f->d_name).c_str(), O_RDONLY | O_CLOEXEC));
            char text[256];
            const ssize_t n = info ? ::read(info.get(), text, sizeof text - 1) : -1;
            if (n <= 0)
                continue;
            text[n] = '\0';
            const char *flags = std::strstr(text, "flags:");
            if (!flags || (std::strtoul(flags + 6, nullptr, 8) & O_ACCMODE) == O_RDONLY)
                continue;
            struct stat st { };
            if (::stat((base + "/fd/" + f->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                open.insert({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
        }
        ::closedir(fds);
    }
    ::closedir(processes);
    return open;
}

FolderWatch::FolderWatch(std::string folder, std::string patterns, bool recurse)
    : m_folder(withSlash(std::move(folder)))
    , m_patterns(splitText(patterns.empty() ? std::string("*.*") : patterns, "|"))
    , m_recurse(recurse)
{
}

bool FolderWatch::matches(const std::string &name) const
{
    if (name.empty() || name[0] == '.')
        return false;
    for (const std::string &p : m_patterns) {
        if (wildcardMatch(p, name))
            return true;
    }
    return false;
}

bool FolderWatch::start(std::string &error)
{
    m_fd = UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!m_fd) {
        error = systemErrorText(errno);
        return false;
    }
    const int wd =
        ::inotify_add_watch(m_fd.get(), m_folder.c_str(), kFileEvents | kFolderEvents | IN_DELETE_SELF | IN_MOVE_SELF);
    if (wd < 0) {
        error = systemErrorText(errno);
        return false;
    }
    m_root = wd;
    m_folders[wd] = m_folder;
    rescan();
    return true;
}

void FolderWatch::rescan()
{
    // The sub-folders there now; their files are the caller's listing.
    if (m_recurse) {
        for (const std::string &sub : readFolder(m_folder).subfolders)
            watchTree(sub, nullptr);
    }
}

FolderWatch::Entries FolderWatch::readFolder(const std::string &base) const
{
    Entries entries;
    DIR *dir = ::opendir(base.c_str());
    if (!dir)
        return entries;
    while (const dirent *d = ::readdir(dir)) {
        const std::string name = d->d_name;
        struct stat st { };
        if (name == "." || name == ".." || ::lstat((base + name).c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            entries.subfolders.push_back(base + name);
        else if (S_ISREG(st.st_mode) && matches(name))
            entries.files.push_back(base + name);
    }
    ::closedir(dir);
    std::sort(entries.files.begin(), entries.files.end());
    return entries;
}

void FolderWatch::watchTree(const std::string &folder, std::vector<std::string> *found)
{
    const std::string base = withSlash(folder);
    const int wd = ::inotify_add_watch(m_fd.get(), base.c_str(), kFileEvents | kFolderEvents);
    if (wd < 0)
        return; // gone again, or not ours to read
    m_folders[wd] = base;
    const Entries entries = readFolder(base);
    if (found) {
        // One still being written comes with its close.
        const auto writing = filesOpenForWriting();
        for (const std::string &file : entries.files) {
            const auto state = fileState(file);
            if (state && !writing.count(state->identity))
                found->push_back(file);
        }
    }
    for (const std::string &sub : entries.subfolders)
        watchTree(sub, found);
}

void FolderWatch::unwatchTree(const std::string &folder)
{
    const std::string base = withSlash(folder);
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it->first != m_root && it->second.compare(0, base.size(), base) == 0) {
            ::inotify_rm_watch(m_fd.get(), it->first);
            it = m_folders.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<std::string> FolderWatch::take(std::chrono::milliseconds timeout)
{
    std::vector<std::string> files;
    pollfd p{m_fd.get(), POLLIN, 0};
    int n;
    do
        n = ::poll(&p, 1, static_cast<int>(timeout.count()));
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return files;
    alignas(inotify_event) std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(m_fd.get(), buffer.data(), buffer.size());
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const std::string name = event.len ? std::string(buffer.data() + at + sizeof event) : std::string();
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                m_overflowed = true;
                continue;
            }
            if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (event.wd == m_root)
                    m_gone = true;
                if (event.mask & IN_IGNORED)
                    m_folders.erase(event.wd);
                continue;
            }
            const auto folder = m_folders.find(event.wd);
            if (folder == m_folders.end() || name.empty())
                continue;
            const std::string path = folder->second + name;
            if (event.mask & IN_ISDIR) {
                // A folder moved within the tree is left here and found there.
                if (event.mask & IN_MOVED_FROM)
                    unwatchTree(path);
                else if (m_recurse && (event.mask & (IN_CREATE | IN_MOVED_TO)))
                    watchTree(path, &files);
            } else if ((event.mask & kFileEvents) && matches(name)) {
                files.push_back(path);
            }
        }
    }
    return files;
}

bool FolderWatch::overflowed()
{
    const bool was = m_overflowed;
    m_overflowed = false;
    return was;
}

} // namespace varnel
