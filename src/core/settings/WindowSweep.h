#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class Form;
class SettingsStore;

// Options of the window sweep; the program always uses the defaults.
struct SweepOptions {
    std::vector<std::string> excludedNames;
    bool comboItems = false; // also the item lists of combo boxes
    bool comboText = false; // also the edit texts of combo boxes
};

// The window sweep: saves or restores the state of every control of the form
// under the section (when not empty), keyed by the control's name.
void saveWindowState(SettingsStore &store, Form &form, std::string_view section, const SweepOptions &options = {});
void restoreWindowState(SettingsStore &store, Form &form, std::string_view section, const SweepOptions &options = {});

} // namespace varnel
