#include "design/ConfigFile.h"

#include "design/FormTable.h"
#include "form/Control.h"
#include "form/MainControls.h"
#include "mapping/FieldRule.h"
#include "settings/SettingsStore.h"
#include "settings/WindowSweep.h"
#include "text/Charset.h"
#include "text/TextUtil.h"
#include "util/AsciiCase.h"
#include "util/MessageHost.h"
#include "util/RegularFile.h"
#include "util/SystemError.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace varnel {
namespace {

constexpr std::string_view kExportDone = "导出配置完成！";
constexpr std::string_view kExportFailed = "导出配置失败，文件无法写入！";
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
    const SettingsStore::Batch batch(store); // one write of the file for the window and its rows
    saveWindowState(store, form, spec.section);
    const int rows = form.rowCount();
    store.writeNumber(kRowCountKey, rows);
    for (int r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < spec.columns.size(); ++c)
            store.writeText(rowKey(spec.columns[c], r + 1), form.cell(r, static_cast<int>(c)));
    }
}

void restoreConfig(SettingsStore &store, Form &form, const FormSpec &spec)
{
    restoreWindowState(store, form, spec.section);
    form.clearRows();
    const double stored = store.readNumber(kRowCountKey, 0);
    // A damaged count must not make us build millions of rows.
    const int rows =
        std::isfinite(stored) && stored > 0 ? static_cast<int>(std::min<double>(stored, kMaxConfigRows)) : 0;
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

// The whole file, or the system's reason why not.
std::optional<std::string> readFileBytes(const std::filesystem::path &path, std::string &bytes)
{
    const RegularFile file = openRegularFile(path);
    if (file.special)
        return std::string("不是普通文件");
    if (file.error)
        return systemErrorText(file.error);
    if (!readAllAt(file.fd.get(), bytes))
        return systemErrorText(errno);
    return std::nullopt;
}

// Where the first byte sequence that is no GBK or GB18030 character starts, or npos.
std::size_t invalidGb18030At(std::string_view b)
{
    auto in = [](unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
    for (std::size_t i = 0; i < b.size();) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c <= 0x80) { // 80: the euro sign of code page 936
            ++i;
            continue;
        }
        if (!in(c, 0x81, 0xFE) || i + 1 >= b.size())
            return i;
        const auto d = static_cast<unsigned char>(b[i + 1]);
        if (in(d, 0x40, 0x7E) || in(d, 0x80, 0xFE)) {
            i += 2;
        } else if (in(d, 0x30, 0x39) && i + 3 < b.size() && in(static_cast<unsigned char>(b[i + 2]), 0x81, 0xFE)
            && in(static_cast<unsigned char>(b[i + 3]), 0x30, 0x39)) {
            i += 4;
        } else {
            return i;
        }
    }
    return npos;
}

// UTF-16 without a byte-order mark: ASCII text leaves every other byte NUL.
bool looksLikeUtf16(std::string_view b)
{
    if (b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF"))
        return true;
    std::size_t even = 0, odd = 0;
    for (std::size_t i = 0; i < b.size(); ++i)
        (i % 2 ? odd : even) += b[i] == '\0';
    const std::size_t half = b.size() / 2;
    return half > 0 && (even * 2 > half || odd * 2 > half) && even + odd < b.size() * 3 / 4;
}

std::size_t lineOf(std::string_view text, std::size_t at)
{
    std::size_t line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
        line += text[i] == '\n';
    return line;
}

} // namespace

std::string rowKey(std::string_view columnTitle, int row)
{
    return std::string(columnTitle) + "(" + std::to_string(row) + ")";
}

void saveMainConfig(SettingsStore &store, Form &form)
{
    const SettingsStore::Batch batch(store);
    saveConfig(store, form, mainFormSpec());
    // Asked to keep no password: one stored before goes too.
    if (controlChecked(form, ctl::kPasswordNotStored))
        store.writeText(std::string(ctl::kPassword), "");
}

void restoreMainConfig(SettingsStore &store, Form &form)
{
    restoreConfig(store, form, mainFormSpec());
    // The login is what the file says, an empty user or password too: the
    // client then takes them from its option files or MYSQL_PWD. A key the
    // file lacks leaves the box as it was (a fresh file: the design's login).
    store.setSection(mainFormSpec().section);
    for (std::string_view name : {ctl::kUser, ctl::kPassword}) {
        if (const std::optional<std::string> stored = store.readStoredText(name))
            form.control(name)->setText(*stored);
    }
    // A file that keeps no password has none, whatever it still holds.
    if (controlChecked(form, ctl::kPasswordNotStored))
        form.control(ctl::kPassword)->setText("");
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

bool exportConfigTo(ConfigWindow window, Form &form, const std::filesystem::path &path, MessageHost &host)
{
    if (path.empty())
        return false;
    setPathTags(form, path.string());
    SettingsStore store;
    store.open(path);
    if (window == ConfigWindow::Main)
        saveMainConfig(store, form);
    else
        saveTableConfig(store, form);
    // A file that could not be written (read-only, or held by the program's
    // own settings store) is not reported as exported.
    const bool written = store.writesToDisk() && store.writeError() == 0;
    host.showMessage(written ? kExportDone : kExportFailed);
    store.close();
    return written;
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

Result<void> readConfigChecked(
    SettingsStore &store, const std::filesystem::path &path, std::string_view section, bool *lineFeeds)
{
    if (lineFeeds)
        *lineFeeds = false;
    std::string bytes;
    if (auto problem = readFileBytes(path, bytes))
        return failure(std::move(*problem));
    if (bytes.empty())
        return failure("it is empty");
    if (looksLikeUtf16(bytes))
        return failure("it is UTF-16 text; a configuration is GBK (GB18030) text");
    if (const auto nul = bytes.find('\0'); nul != npos)
        return failure("it holds a NUL byte on line " + std::to_string(lineOf(bytes, nul)) + ": it is no text file");
    // A GBK configuration is never well-formed UTF-8: its section header
    // alone is not.
    if (bytes.starts_with("\xEF\xBB\xBF") || looksLikeUtf8(bytes))
        return failure("it is UTF-8 text; a configuration is GBK (GB18030) text");
    if (const auto bad = invalidGb18030At(bytes); bad != npos)
        return failure("it is not GBK text: invalid bytes on line " + std::to_string(lineOf(bytes, bad)));

    // LF line ends become CR LF; CR LF pairs stay as they are.
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    bool converted = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
            text += '\r';
            converted = true;
        }
        text += bytes[i];
    }
    store.openReadOnly(path, std::move(text));
    if (!store.hasSection(section)) {
        store.close();
        return failure("it has no section [" + std::string(section) + "]");
    }
    if (section == mainFormSpec().section) {
        if (auto problem = unreadableMainRows(store)) {
            store.close();
            return failure(std::move(*problem));
        }
    }
    if (lineFeeds)
        *lineFeeds = converted;
    return {};
}

std::optional<std::string> unreadableMainRows(SettingsStore &store)
{
    const FormSpec &spec = mainFormSpec();
    store.setSection(spec.section);
    const std::string count = store.readText(kRowCountKey);
    const bool digits = !count.empty() && count.size() <= 6
        && std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!count.empty() && (!digits || std::stoi(count) > kMaxConfigRows))
        return std::string(kRowCountKey) + " is not a whole number from 0 to " + std::to_string(kMaxConfigRows) + ": "
            + count;
    const int rows = count.empty() ? 0 : std::stoi(count);
    for (int r = 1; r <= rows; ++r) {
        const std::string target = rowKey(spec.columns[0], r);
        if (store.readText(target).empty())
            return target + " is missing";
        const std::string source = rowKey(spec.columns[1], r);
        const std::string label = store.readText(source);
        if (!dataSourceOfLabel(label))
            return source + (label.empty() ? " is missing" : " is no data source: " + label);
    }
    return std::nullopt;
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
    return equalsIgnoringAsciiCase(std::string_view(name).substr(dot + 1), "ini");
}

std::filesystem::path settingsFilePath(const std::filesystem::path &executableDir)
{
    const std::string fileName = std::string(kApplicationTitle) + ".ini";
    std::error_code exists;
    if (!executableDir.empty() && std::filesystem::is_regular_file(executableDir / kBuildTreeMarker, exists)
        && ::access(executableDir.c_str(), W_OK) == 0)
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
