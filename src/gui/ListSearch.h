#pragma once

#include <QString>

#include <string>

class QListWidget;
class QWidget;

namespace varnel {
class Control;
}

namespace varnel::gui {

class BusyCounter;

// 查找 on a list. A click asks for the term (kept in the button's tag); a
// right click goes on from the item after `current` with the term kept,
// wrapping around, and asks only when there is no term yet.
struct ListSearchResult {
    bool asked = false; // the term was asked for, and the question cancelled
    int found = -1; // the item found, -1 when none
    std::string term;
};
ListSearchResult searchList(QWidget *owner, BusyCounter &busy, Control &button, const QListWidget &list, int current,
    bool next, const QString &prompt);

} // namespace varnel::gui
