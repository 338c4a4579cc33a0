#pragma once

#include "util/Result.h"

#include "form/Control.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class MessageHost;
class SettingsStore;

inline constexpr std::string_view kApplicationTitle = "Varnel MySQL 文章导入导出";
inline constexpr std::string_view kRowCountKey = "字段数";

// Which window a configuration belongs to.
enum class ConfigWindow { Main, CreateTable };

// The save and restore procedures of a window's whole configuration: the
// window sweep, then "字段数" and one key per cell of its list.
void saveMainConfig(SettingsStore &store, Form &form);
void restoreMainConfig(SettingsStore &store, Form &form);
void saveTableConfig(SettingsStore &store, Form &form);
void restoreTableConfig(SettingsStore &store, Form &form);

// The key of one cell: column title, "(", 1-based row, ")".
std::string rowKey(std::string_view columnTitle, int row);

// Enables the export-condition controls when "启用" is ticked, disables them
// otherwise.
void applyExportConditionEnabling(Form &form);

// What the export and import buttons do once their file dialog has given a
// path (an empty path means the dialog was cancelled: nothing happens).
// False when the file could not be written ("导出配置失败，文件无法写入！").
bool exportConfigTo(ConfigWindow window, Form &form, const std::filesystem::path &path, MessageHost &host);
// False when nothing was imported.
bool importConfigFrom(ConfigWindow window, Form &form, std::filesystem::path path, MessageHost &host);
// Reads a configuration for a reader that must not guess (the command line):
// the file must be GBK (GB18030) text with the section `section`; LF line
// ends (a file edited on Linux) are read as CR LF. On success the store holds
// the text read-only; otherwise the error says what is wrong, for the user. `lineFeeds` tells whether LF ends were
// turned into CR LF (such a file is not one to edit in place).
Result<void> readConfigChecked(
    SettingsStore &store, const std::filesystem::path &path, std::string_view section, bool *lineFeeds = nullptr);

// Why the mapping rows of a main-window configuration cannot be read, naming
// the key, or nothing: "字段数", when there, is a whole number from 0 to
// kMaxConfigRows, and each row up to it has a field name and a data source
// the program knows. (A restore makes the four default rows of a count it
// cannot read; a reader that must not guess refuses the file instead.)
std::optional<std::string> unreadableMainRows(SettingsStore &store);
inline constexpr int kMaxConfigRows = 100000;

// A configuration file dropped on a window: restored without the path checks
// and without touching the remembered paths.
void importDroppedConfig(ConfigWindow window, Form &form, const std::filesystem::path &path, MessageHost &host);
// True when a dropped file name has the extension "ini" (ASCII case ignored).
bool isConfigFileName(const std::filesystem::path &path);

// The file that marks a program folder of the build tree: the build writes
// it beside varnel and varnel-cli there, and the install rules never copy it.
inline constexpr std::string_view kBuildTreeMarker = "varnel-build-tree";

// Where the program keeps its settings. Run from the build tree (the marker
// beside the executable) it keeps them beside itself when that folder is
// writable. Anywhere else (an installed program, a copied one, a folder it
// cannot write) it keeps them in $XDG_CONFIG_HOME/varnel (~/.config/varnel
// when unset), whoever runs it: nothing is ever written into the folder of
// an installed program, even by root.
std::filesystem::path settingsFilePath(const std::filesystem::path &executableDir);

} // namespace varnel
