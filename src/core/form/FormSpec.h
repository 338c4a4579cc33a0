#pragma once

#include "form/Control.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One control of a window's design: its name (which is also its object name
// in the Qt window and its key in the settings), kind, caption and the state
// it starts with on a first run.
struct ControlSpec {
    std::string name;
    ControlKind kind = ControlKind::Other;
    std::string caption; // buttons, check and radio boxes
    std::string text; // edit boxes: the design default
    bool checked = false; // check and radio boxes
    int index = -1; // combo boxes: the item selected at first
    std::vector<std::string> items; // combo boxes
    std::string group; // radio boxes: the exclusive group
    bool enabled = true;
};

// A window's persisted design: its swept controls in definition order and the
// titles of the columns of its one list.
struct FormSpec {
    std::string section;
    std::vector<ControlSpec> controls;
    std::vector<std::string> columns;
};

const ControlSpec *findControlSpec(const FormSpec &form, std::string_view name);

} // namespace varnel
