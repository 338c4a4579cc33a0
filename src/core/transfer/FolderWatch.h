#pragma once

#include "util/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace varnel {

// A file as the file system knows it, whatever path leads to it: a file
// moved within the folder is the same file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};
struct FileIdentityHash {
    std::size_t operator()(const FileIdentity &f) const { return std::hash<std::uint64_t>()(f.inode * 31 + f.device); }
};

// A file's identity, size and modification time (links followed).
struct FileState {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    // The same file with the same content, as far as size and time tell.
    bool sameAs(const FileState &other) const
    {
        return identity == other.identity && size == other.size && modified == other.modified;
    }
};
std::optional<FileState> fileState(const std::string &path);

// The files some process has open for writing now, as far as this user may
// see (/proc): a file found by listing a folder may still be being written.
std::unordered_set<FileIdentity, FileIdentityHash> filesOpenForWriting();

// The article files that become complete in a folder, through inotify: a
// file closed after writing, or moved in. With `recurse` the sub-folders
// are watched too, also those made later; a folder moved in is taken with
// the files it holds. Only names that one of the "|"-separated patterns
// matches are given ("*.*" for none); names that begin with a dot (hidden
// files, the temporary names writers rename from) are not. Files found by
// listing a folder (one made or moved in) are given only when no process
// holds them open for writing; the others come when they are closed.
class FolderWatch {
public:
    FolderWatch(std::string folder, std::string patterns, bool recurse);

    // Watches the folder (and its sub-folders); false with the reason when
    // the folder cannot be watched.
    bool start(std::string &error);

    // Waits at most `timeout` for events and gives the files completed since
    // the last call, in the order they came.
    std::vector<std::string> take(std::chrono::milliseconds timeout);

    // Events were lost (the kernel's queue overflowed): the caller lists the
    // folder again. Cleared by asking.
    bool overflowed();
    // Watches every sub-folder again (after an overflow some may be new).
    void rescan();
    // The folder itself was removed or moved away: nothing more can come.
    bool folderGone() const { return m_gone; }

private:
    bool matches(const std::string &name) const;
    // A folder's sub-folders and matching files (in name order), by path.
    struct Entries {
        std::vector<std::string> subfolders, files;
    };
    Entries readFolder(const std::string &base) const;
    // Watches the folder and, recursing, those below it; the files it holds
    // already are added to `found` when asked.
    void watchTree(const std::string &folder, std::vector<std::string> *found);
    // Stops watching the folder and those below it (moved away).
    void unwatchTree(const std::string &folder);

    std::string m_folder;
    std::vector<std::string> m_patterns;
    bool m_recurse;
    UniqueFd m_fd;
    std::map<int, std::string> m_folders; // watch descriptor -> folder, with a trailing "/"
    bool m_overflowed = false;
    bool m_gone = false;
    int m_root = -1; // the folder's own watch
};

} // namespace varnel
