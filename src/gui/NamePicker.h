#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace varnel::gui {

// The popup of database or table names beside the name boxes: a disabled
// "选择一个插入", a separator, then one item per non-empty entry, showing the
// part after its last "\". Returns the chosen item's text, or "" when the
// menu was closed without a choice. Tests script the choice.
class NamePicker {
public:
    static QString pick(QWidget *owner, const std::vector<std::string> &entries);

    // Scripted mode: the menu is not shown; its item texts are recorded and
    // the queued item index (0 = first name) is chosen, none when the queue
    // is empty or the index is -1.
    static void setScripted(bool scripted);
    static void queueChoice(int index);
    static QStringList lastItems();
    static int shownCount();
};

} // namespace varnel::gui
