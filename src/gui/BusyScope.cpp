#include "gui/BusyScope.h"

#include <QTimer>
#include <QWidget>

namespace varnel::gui {

void closeWhenIdle(QWidget &window, BusyCounter &busy)
{
    if (busy.busy() || !busy.closePending())
        return;
    busy.clearClose();
    // After the event that ran the loop has been handled.
    QTimer::singleShot(0, &window, &QWidget::close);
}

} // namespace varnel::gui
