#include "settings/ConfigFile.h"

#include "settings/FormTable.h"
#include "settings/SettingsStore.h"
#include "util/MessageHost.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace varnel {
namespace {

constexpr std::string_view kExportDone = "导出配置完成！";
constexpr std::string_view kImportDone = "导入配置完成！";
constexpr std::string_view kNoSuchFile = "请选择一个已存在的ini文件！";

constexpr const char *kExportConditionControls[] = {
    "编辑框条件字段名",
    "编辑框条件字段值",
    "单选框相等",
    "单选框不相等",
    "单选框包含",
    "单选框不包含",
    "单选框且逻辑",
    "单选框或逻辑",
    "编辑框字段分隔符",
};

void saveConfig(SettingsStore &store, Form &form, const FormSpec &spec)
{
    store.saveWindowState(form.controls(), spec.section);
    const int rows = form.rowCount();
    store.writeNumber(kRowCountKey, rows);
    for (int r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < spec.columns.size(); ++c)
            store.writeText(rowKey(spec.columns[c], r + 1), form.cell(r, static_cast<int>(c)));
    }
}

void restoreConfig(SettingsStore &store, Form &form, const FormSpec &spec)
{
    store.restoreWindowState(form.controls(), spec.section);
    form.clearRows();
    const double stored = store.readNumber(kRowCountKey, 0);
    // A damaged count must not make us build millions of rows.
    const int rows = std::isfinite(stored) && stored > 0 ? static_cast<int>(std::min(stored, 100000.0)) : 0;
    for (int r = 0; r < rows; ++r) {
        const int row = form.appendRow();
        for (std::size_t c = 0; c < spec.columns.size(); ++c)
            form.setCell(row, static_cast<int>(c), store.readText(rowKey(spec.columns[c], r + 1), ""));
    }
}

void restoreFor(ConfigWindow window, SettingsStore &store, Form &form)
{
    if (window == ConfigWindow::Main)
        restoreMainConfig(store, form);
    else
        restoreTableConfig(store, form);
}

void setPathTags(Form &form, const std::string &path)
{
    for (const char *name : {"按钮导出配置", "按钮导入配置"}) {
        if (Control *c = form.control(name))
            c->setTag(path);
    }
}

bool isFile(const std::filesystem::path &path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::string rowKey(std::string_view columnTitle, int row)
{
    return std::string(columnTitle) + "(" + std::to_string(row) + ")";
}

void saveMainConfig(SettingsStore &store, Form &form)
{
    saveConfig(store, form, mainFormSpec());
}

void restoreMainConfig(SettingsStore &store, Form &form)
{
    restoreConfig(store, form, mainFormSpec());
    if (form.rowCount() == 0) {
        const std::pair<const char *, const char *> defaults[] = {
            {"标题", "文件主名"}, {"内容", "文件内容"}, {"title", "文件主名"}, {"content", "文件内容"}};
        for (const auto &[target, source] : defaults) {
            const int row = form.appendRow();
            form.setCell(row, 0, target);
            form.setCell(row, 1, source);
        }
    }
    applyExportConditionEnabling(form);
}

void saveTableConfig(SettingsStore &store, Form &form)
{
    saveConfig(store, form, tableFormSpec());
}

void restoreTableConfig(SettingsStore &store, Form &form)
{
    restoreConfig(store, form, tableFormSpec());
}

void applyExportConditionEnabling(Form &form)
{
    const Control *enable = form.control("选择框启用导出条件");
    const bool on = enable && enable->isChecked();
    for (const char *name : kExportConditionControls) {
        if (Control *c = form.control(name))
            c->setEnabled(on);
    }
}

void exportConfigTo(ConfigWindow window, Form &form, const std::filesystem::path &path, MessageHost &host)
{
    if (path.empty())
        return;
    setPathTags(form, path.string());
    SettingsStore store;
    store.open(path);
    if (window == ConfigWindow::Main)
        saveMainConfig(store, form);
    else
        saveTableConfig(store, form);
    host.showMessage(kExportDone);
    store.close();
}

bool importConfigFrom(ConfigWindow window, Form &form, std::filesystem::path path, MessageHost &host)
{
    if (path.empty())
        return false;
    if (!isFile(path)) {
        path += ".ini";
        if (!isFile(path)) {
            host.showMessage(kNoSuchFile);
            return false;
        }
    }
    setPathTags(form, path.string());
    SettingsStore store;
    store.open(path);
    restoreFor(window, store, form);
    host.showMessage(kImportDone);
    store.close();
    return true;
}

void importDroppedConfig(ConfigWindow window, Form &form, const std::filesystem::path &path, MessageHost &host)
{
    SettingsStore store;
    store.open(path);
    restoreFor(window, store, form);
    host.showMessage(kImportDone);
    store.close();
}

bool isConfigFileName(const std::filesystem::path &path)
{
    const std::string name = path.filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = name.substr(dot + 1);
    for (char &c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return ext == "ini";
}

std::filesystem::path settingsFilePath(const std::filesystem::path &executableDir)
{
    const std::string fileName = std::string(kApplicationTitle) + ".ini";
    if (!executableDir.empty() && ::access(executableDir.c_str(), W_OK) == 0)
        return executableDir / fileName;
    std::filesystem::path base;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = std::filesystem::temp_directory_path();
    std::error_code ec;
    std::filesystem::create_directories(base / "varnel", ec);
    return base / "varnel" / fileName;
}

} // namespace varnel
