#pragma once

#include <QString>

class QWidget;

namespace varnel::gui {

// Asks for a folder with the system's folder dialog, `preselect` selected at
// the start; an empty title means "请选择一个文件夹". The chosen path without
// blanks at either end, or "" when the user cancelled.
QString chooseFolder(QWidget *owner, const QString &preselect, const QString &title = {});

// Shows a path the way the desktop does: an executable regular file is
// started (on its own, not waited for, never through a shell), anything else
// is opened by the desktop's file manager or the application it belongs to.
// An empty path, or a start that fails, does nothing and says nothing. With
// Prompts scripted nothing starts: the action ("start" or "open") and the
// path are recorded.
void openInFileManager(const QString &path);

} // namespace varnel::gui
