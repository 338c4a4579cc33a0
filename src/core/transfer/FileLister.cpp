#include "transfer/FileLister.h"

#include "text/Charset.h"
#include "text/RegexMatcher.h"
#include "text/TextUtil.h"
#include "util/AsciiCase.h"
#include "util/SystemError.h"
#include "util/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace varnel {
namespace {

// Code points, so "?" takes one character, not one byte.
std::u32string codePoints(std::string_view s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = std::min(utf8SequenceLength(c), s.size() - i);
        char32_t cp = n == 1 ? c : (c & (0x7F >> n));
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp < 0x80 ? static_cast<char32_t>(asciiLower(static_cast<char>(cp))) : cp);
        i += n;
    }
    return out;
}

enum class Kind { File, Folder, Unreachable };

struct Entry {
    std::string name;
    Kind kind;
    int error; // why a link's target cannot be reached
    std::string key; // the name with ASCII letters lowered, for sorting
};

// What an entry is. Links to files count as files; links to folders are
// not folders here (a link loop must not recurse forever); a link whose
// target cannot be reached is kept with the reason.
std::optional<Entry> entryOf(int folderFd, const dirent &d)
{
    const std::string name = d.d_name;
    if (name == "." || name == "..")
        return std::nullopt;
    unsigned char type = d.d_type;
    struct stat st { };
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, d.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Entry{name, Kind::Unreachable, errno, {}};
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    if (type == DT_DIR)
        return Entry{name, Kind::Folder, 0, {}};
    if (type == DT_REG)
        return Entry{name, Kind::File, 0, {}};
    if (type != DT_LNK)
        return std::nullopt; // pipes, devices, sockets
    if (::fstatat(folderFd, d.d_name, &st, 0) != 0)
        return Entry{name, Kind::Unreachable, errno, {}};
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return Entry{name, Kind::File, 0, {}};
}

// A folder's entries sorted by name, case ignored. The folder stays open
// for the caller; a read error keeps what was read before it.
std::vector<Entry> entriesOf(int folderFd, int &error)
{
    std::vector<Entry> entries;
    error = 0;
    DIR *dir = nullptr;
    if (const int copy = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0); copy >= 0) {
        dir = ::fdopendir(copy);
        if (!dir) {
            error = errno;
            ::close(copy);
        }
    } else {
        error = errno;
    }
    if (!dir)
        return entries;
    ::rewinddir(dir);
    for (;;) {
        errno = 0;
        const dirent *d = ::readdir(dir);
        if (!d) {
            error = errno;
            break;
        }
        if (auto e = entryOf(folderFd, *d)) {
            e->key = asciiLowered(e->name);
            entries.push_back(std::move(*e));
        }
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
        [](const Entry &a, const Entry &b) { return a.key != b.key ? a.key < b.key : a.name < b.name; });
    return entries;
}

std::string withSeparator(const std::string &folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// The patterns of a listing, made once for every folder.
class NameFilter {
public:
    explicit NameFilter(const ListOptions &options)
        : m_alternative(options.alternative)
    {
        if (!m_alternative) {
            m_patterns = splitText(options.patterns.empty() ? std::string("*.*") : options.patterns, "|");
            return;
        }
        // The alternative lister takes the whole pattern text as one pattern.
        const std::string &pattern = options.patterns;
        m_all = pattern.empty() || pattern == "*" || pattern == "*.*";
        m_suffix =
            !m_all && pattern.starts_with("*.") && pattern.find('*', 1) == std::string::npos && pattern != "*.htm";
        if (!m_all && !m_suffix)
            m_regex.compile(escapeWildcard(pattern), true, true, false);
        if (m_suffix)
            m_tail = asciiLowered(pattern.substr(1));
    }

    // The files of one folder in listing order: the normal lister takes
    // each pattern in turn, so a file that two patterns match comes twice.
    void filesOf(const std::string &base, const std::vector<Entry> &entries, FileListing &out)
    {
        for (const Entry &e : entries) {
            if (e.kind == Kind::Unreachable && matchesAny(e.name))
                out.failures.push_back({base + e.name, systemErrorText(e.error)});
        }
        if (m_alternative) {
            for (const Entry &e : entries) {
                if (e.kind == Kind::File && alternativeMatch(e.name))
                    out.files.push_back(base + e.name);
            }
            return;
        }
        for (const std::string &pattern : m_patterns) {
            for (const Entry &e : entries) {
                if (e.kind == Kind::File && wildcardMatch(pattern, e.name))
                    out.files.push_back(base + e.name);
            }
        }
    }

private:
    bool matchesAny(const std::string &name)
    {
        if (m_alternative)
            return alternativeMatch(name);
        return std::any_of(
            m_patterns.begin(), m_patterns.end(), [&](const std::string &p) { return wildcardMatch(p, name); });
    }
    bool alternativeMatch(const std::string &original)
    {
        if (m_all)
            return true;
        const std::string name = asciiLowered(original);
        if (m_suffix)
            return name.ends_with(m_tail);
        return m_regex.matchAll(name) > 0 && m_regex.matchText(1) == name;
    }

    bool m_alternative;
    std::vector<std::string> m_patterns;
    bool m_all = false;
    bool m_suffix = false;
    RegexMatcher m_regex;
    std::string m_tail;
};

// One folder on the way down: where its path ends in the walk's path, the
// sub-folders still to visit, and its identity for the way back up.
struct Level {
    std::size_t pathLength;
    std::vector<std::string> folders;
    std::size_t next = 0;
    dev_t device;
    ino_t inode;
};

bool sameFolder(int fd, const Level &level)
{
    struct stat st { };
    return ::fstat(fd, &st) == 0 && st.st_dev == level.device && st.st_ino == level.inode;
}

// Lists the folder open in `fd` (its path is `path`) and puts it on the
// stack when it has sub-folders to visit.
void enter(UniqueFd fd, std::string &path, NameFilter &filter, const ListOptions &options, std::vector<Level> &stack,
    UniqueFd &current, FileListing &out)
{
    int error = 0;
    const std::vector<Entry> entries = entriesOf(fd.get(), error);
    const std::string base = withSeparator(path);
    filter.filesOf(base, entries, out);
    if (error != 0)
        out.failures.push_back({path, systemErrorText(error)});
    struct stat st { };
    if (!options.recurse || ::fstat(fd.get(), &st) != 0)
        return;
    Level level{base.size(), {}, 0, st.st_dev, st.st_ino};
    for (const Entry &e : entries) {
        if (e.kind == Kind::Folder)
            level.folders.push_back(e.name);
    }
    if (level.folders.empty())
        return;
    path = base;
    stack.push_back(std::move(level));
    current = std::move(fd);
}

// Back to the folder on top of the stack, through "..", or when the folders
// were moved meanwhile, down again from the top by the names taken. Gives
// how many levels of the stack were reached (current is the deepest of
// them): all, or fewer when a folder on the way is gone (errno says why).
std::size_t backUp(const std::string &top, const std::vector<Level> &stack, UniqueFd &current)
{
    UniqueFd parent(::openat(current.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent && sameFolder(parent.get(), stack.back())) {
        current = std::move(parent);
        return stack.size();
    }
    UniqueFd fd(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t reached = 0;
    while (fd && reached < stack.size()) {
        if (!sameFolder(fd.get(), stack[reached])) {
            errno = ENOENT;
            break;
        }
        current = std::move(fd);
        const Level &level = stack[reached++];
        if (reached < stack.size())
            fd.reset(::openat(
                current.get(), level.folders[level.next - 1].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return reached;
}

void listInto(const std::string &folder, const ListOptions &options, FileListing &out)
{
    NameFilter filter(options);
    UniqueFd top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top) {
        // A file named as the folder has no files to list, as before.
        if (errno != ENOTDIR) {
            out.failures.push_back({folder, systemErrorText(errno)});
            out.folderUnreadable = true;
        }
        return;
    }
    // One open folder at a time and one path, however deep the tree.
    std::string path = folder;
    std::vector<Level> stack;
    UniqueFd current;
    enter(std::move(top), path, filter, options, stack, current, out);
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.folders.size()) {
            stack.pop_back();
            if (stack.empty())
                break;
            path.resize(stack.back().pathLength);
            if (const std::size_t reached = backUp(folder, stack, current); reached < stack.size()) {
                // A folder on the way back was moved or removed: what it
                // still held is not listed, and says why.
                const std::string reason = systemErrorText(errno);
                if (reached == 0) {
                    out.failures.push_back({folder, reason});
                    return;
                }
                out.failures.push_back({path.substr(0, stack[reached].pathLength - 1), reason});
                stack.resize(reached);
                path.resize(stack.back().pathLength);
            }
            if (options.processEvents)
                options.processEvents();
            continue;
        }
        if (options.stopRequested && options.stopRequested())
            return;
        const std::string &name = level.folders[level.next++];
        path.resize(level.pathLength);
        path += name;
        UniqueFd sub(::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub) {
            out.failures.push_back({path, systemErrorText(errno)});
            if (options.processEvents)
                options.processEvents();
            continue;
        }
        const std::size_t depth = stack.size();
        enter(std::move(sub), path, filter, options, stack, current, out);
        if (stack.size() == depth && options.processEvents)
            options.processEvents(); // a folder without sub-folders is done
    }
}

bool matchFrom(const std::u32string &p, std::size_t pi, const std::u32string &n, std::size_t ni)
{
    // Iterative glob with backtracking to the last star.
    std::size_t star = std::u32string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    return matchFrom(codePoints(pattern), 0, codePoints(name), 0);
}

FileListing listArticleFolder(const std::string &folder, const ListOptions &options)
{
    FileListing out;
    listInto(folder, options, out);
    return out;
}

std::vector<std::string> listArticleFiles(const std::string &folder, const ListOptions &options)
{
    return listArticleFolder(folder, options).files;
}

} // namespace varnel
