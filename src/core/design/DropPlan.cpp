#include "design/DropPlan.h"

#include "design/ConfigFile.h"
#include "util/AsciiCase.h"

namespace varnel {
namespace {

// The text after the last "." of the file name ("" without one).
std::string extensionOf(const std::filesystem::path &path)
{
    const std::string name = path.filename().string();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

} // namespace

DropPlan planDrop(const std::vector<DroppedItem> &items)
{
    DropPlan plan;
    if (items.size() == 1) {
        const DroppedItem &only = items.front();
        plan.path = only.path;
        if (only.isFolder) {
            plan.action = DropAction::SetFolder;
            return plan;
        }
        if (equalsIgnoringAsciiCase(extensionOf(only.path), "mdb")) {
            plan.action = DropAction::SetServer;
            return plan;
        }
        if (isConfigFileName(only.path)) {
            plan.action = DropAction::LoadConfig;
            return plan;
        }
        plan.path.clear();
    }
    plan.action = DropAction::ImportFiles;
    for (const DroppedItem &item : items) {
        if (!item.isFolder)
            plan.files.push_back(item.path);
    }
    return plan;
}

std::string dropImportQuestion(std::size_t fileCount, std::string_view table)
{
    return "确定要导入被拖放的 " + std::to_string(fileCount) + " 个文件到表[" + std::string(table)
        + "]中吗？请首先设置好所有参数";
}

} // namespace varnel
