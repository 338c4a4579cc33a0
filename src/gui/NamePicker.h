#pragma once

#include <QString>

#include <string>
#include <vector>

class QWidget;

namespace varnel::gui {

// The popup of database or table names beside the name boxes: a disabled
// "选择一个插入", a separator, then one item per non-empty entry, showing the
// part after its last "\". Returns the chosen item's text, or "" when the
// menu was closed without a choice. With Prompts scripted the menu is not
// shown: its names are recorded and the scripted choice is taken.
class NamePicker {
public:
    static QString pick(QWidget *owner, const std::vector<std::string> &entries);
};

} // namespace varnel::gui
