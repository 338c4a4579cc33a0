#include "gui/FolderTools.h"

#include "gui/Prompts.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace varnel::gui {

QString chooseFolder(QWidget *owner, const QString &preselect, const QString &title)
{
    const QString caption = title.isEmpty() ? QStringLiteral("请选择一个文件夹") : title;
    return Prompts::folder(owner, caption, preselect).trimmed();
}

void openInFileManager(const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const bool program = info.isFile() && info.isExecutable();
    const QString target = info.absoluteFilePath();
    if (Prompts::scripted()) {
        Prompts::scriptedLaunch(program ? QStringLiteral("start") : QStringLiteral("open"), target);
        return;
    }
    // Failures are not reported: the user sees that nothing opened.
    if (program)
        QProcess::startDetached(target, {});
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

} // namespace varnel::gui
