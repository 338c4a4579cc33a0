#pragma once

#include "mapping/FieldRule.h"
#include "mapping/FileSources.h"

#include <string>
#include <vector>

namespace varnel {

class Form;
class MessageHost;

// The mapping editor of the main window, over its form: the option controls
// of each source's page, the rows of the mapping list, and the rules the
// buttons apply. The window adds only focus and scrolling.

// How an option is kept on its page.
enum class OptionKind { Flag, Selection, Text };
struct OptionControl {
    const char *name;
    OptionKind kind;
};

// The option controls of a source's page, in stored order.
const std::vector<OptionControl> &optionControls(DataSource source);

// The "数据配置" text built from the current controls of a source's page.
std::string optionsText(Form &form, int sourceIndex);

// Shows a row in the editors; returns the source index (the page to show).
int loadRuleIntoEditors(Form &form, int row);
// With no current row the editors name no field, so 修改 has nothing to
// write over.
void clearRuleEditors(Form &form);

// What a button did: the row to make current (-1: leave it) and the control
// to focus (empty: none).
struct RuleEditResult {
    int currentRow = -1;
    std::string focus;
    bool changed = false;
};

inline constexpr std::string_view kMappingList = "超级列表框";

RuleEditResult addOrModifyRule(Form &form, int row, bool modify, MessageHost &host);
RuleEditResult deleteRule(Form &form, int currentRow, MessageHost &host);
RuleEditResult clearAllRules(Form &form, MessageHost &host);

// The mapping rows as they are now, in row order.
std::vector<FieldRule> readRules(Form &form);

// The 文件时间 page as it is now.
FileTimeChoice fileTimeChoice(Form &form);

// The export-condition panel's toggle button: swaps its caption; returns
// whether the panel is to be shown.
bool toggleExportConditionPanel(Form &form);

} // namespace varnel
