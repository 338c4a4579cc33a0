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
// wrapping around, and asks only when there is no term yet. A term found
// nowhere is said with notFound followed by the term. The item found; -1
// when none was, or the question was cancelled.
struct ListSearch {
    QString prompt;
    QString notFound;
};
int searchList(QWidget *owner, BusyCounter &busy, Control &button, const QListWidget &list, int current, bool next,
    const ListSearch &texts);

} // namespace varnel::gui
