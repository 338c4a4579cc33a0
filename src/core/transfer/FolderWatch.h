#pragma once

#include "util/UniqueFd.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace varnel {

// The article files that become complete in a folder, through inotify: a
// file closed after writing, or moved in. With `recurse` the sub-folders
// are watched too, also those made later; a folder moved in is taken with
// the files it holds. Only names that one of the "|"-separated patterns
// matches are given ("*.*" for none); names that begin with a dot (hidden
// files, the temporary names writers rename from) are not.
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
