#pragma once

#include "transfer/TransferHost.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Wildcard match of a file name: "*" any run, "?" one character, ASCII case
// ignored; "*.*" matches every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

struct ListOptions {
    std::string patterns; // "|"-separated; empty means "*.*"
    bool recurse = false;
    bool alternative = false;
    // Checked between folders; listing ends early when it returns true.
    std::function<bool()> stopRequested;
    std::function<void()> processEvents;
};

// What a listing found, and what it could not look at: folders that could
// not be opened or read and links whose target cannot be reached, each with
// the system's reason.
struct FileListing {
    std::vector<std::string> files;
    std::vector<TransferFailure> failures;
    // The folder itself could not be listed (its reason is the first failure).
    bool folderUnreadable = false;
};

// The article files of a folder: its own files first, then (recursing) each
// sub-folder's, depth-first, sub-folders in name order. Only regular files
// and links to them are listed; linked folders are not followed. Any depth
// is walked: folders are opened relative to their parent, not by path.
FileListing listArticleFolder(const std::string &folder, const ListOptions &options);
// The files alone.
std::vector<std::string> listArticleFiles(const std::string &folder, const ListOptions &options);

} // namespace varnel
