#pragma once

#include "design/ConfigFile.h"

#include <QString>
#include <QStringList>

#include <functional>

class QDragEnterEvent;
class QDropEvent;
class QWidget;

namespace varnel::gui {

class QtForm;

// The 导出配置 button of a window: asks where, then writes the window's
// whole configuration there.
void exportWindowConfig(QWidget *owner, ConfigWindow window, QtForm &form);
// The 导入配置 button: asks for a configuration file; "" when cancelled.
QString askConfigToImport(QWidget *owner, QtForm &form);

// Files dropped on a window: only files of this machine are taken (a link
// dragged from a browser is refused at the door). The drop is finished
// before `take` reads or asks anything, so the program the files came from
// is not kept waiting.
void acceptLocalFiles(QDragEnterEvent *event);
void takeDroppedFiles(QWidget *window, QDropEvent *event, std::function<void(const QStringList &)> take);

} // namespace varnel::gui
