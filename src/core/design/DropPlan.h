#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One path dropped on the main window, in the order the system gave them.
struct DroppedItem {
    std::filesystem::path path;
    bool isFolder = false;
};

enum class DropAction {
    SetFolder, // one folder: it becomes the article folder
    SetServer, // one ".mdb" file: it goes into the server box
    LoadConfig, // one ".ini" file: loaded as a configuration
    ImportFiles, // anything else: the files (folders left out) imported after a question
};

struct DropPlan {
    DropAction action = DropAction::ImportFiles;
    std::filesystem::path path; // SetFolder, SetServer, LoadConfig
    std::vector<std::filesystem::path> files; // ImportFiles, in drop order
};

// What a drop on the main window does.
DropPlan planDrop(const std::vector<DroppedItem> &items);

// The question asked before importing dropped files.
std::string dropImportQuestion(std::size_t fileCount, std::string_view table);

} // namespace varnel
