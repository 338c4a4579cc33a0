#include "gui/MappingList.h"

#include <QSignalBlocker>

namespace varnel::gui {

int MappingList::currentRow() const
{
    const QTreeWidgetItem *item = currentItem();
    return item ? indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item)) : -1;
}

void MappingList::makeCurrent(int row)
{
    QTreeWidgetItem *item = row >= 0 ? topLevelItem(row) : nullptr;
    if (!item)
        return;
    setCurrentItem(item);
    scrollToItem(item);
}

void MappingList::focusInEvent(QFocusEvent *event)
{
    const bool hadCurrent = currentIndex().isValid();
    if (hadCurrent) {
        QTreeWidget::focusInEvent(event);
        return;
    }
    // The view makes its first row current when focus arrives without one;
    // take that back before anyone hears of it.
    {
        const QSignalBlocker block(this);
        const QSignalBlocker blockSelection(selectionModel());
        QTreeWidget::focusInEvent(event);
        selectionModel()->clear();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    viewport()->update();
}

} // namespace varnel::gui
