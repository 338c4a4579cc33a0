#pragma once

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

// The article files of a folder: its own files first, then (recursing) each
// sub-folder's, depth-first, sub-folders in name order. Only regular files
// are listed; linked folders are not followed.
std::vector<std::string> listArticleFiles(const std::string &folder, const ListOptions &options);

} // namespace varnel
