#include "gui/ConfigFileActions.h"

#include "gui/Prompts.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace varnel::gui {
namespace {

const std::vector<FileFilter> &configFilters()
{
    static const std::vector<FileFilter> filters = {
        {QStringLiteral("ini配置文件(*.ini)"), QStringLiteral("*.ini")},
        {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")},
    };
    return filters;
}

bool holdsLocalFile(const QMimeData *data)
{
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

void exportWindowConfig(QWidget *owner, ConfigWindow window, QtForm &form)
{
    const QString path = Prompts::saveFile(owner, QStringLiteral("选择一个文件路径保存当前界面配置："),
        qs(form.control("按钮导出配置")->tag()), configFilters(), QStringLiteral("ini"));
    if (path.isEmpty())
        return;
    PromptHost prompts(owner);
    exportConfigTo(window, form, u8(path), prompts);
}

QString askConfigToImport(QWidget *owner, QtForm &form)
{
    return Prompts::openFile(owner, QStringLiteral("选择一个先前导出的ini配置文件导入："),
        qs(form.control("按钮导入配置")->tag()), configFilters(), false);
}

void acceptLocalFiles(QDragEnterEvent *event)
{
    if (holdsLocalFile(event->mimeData()))
        event->acceptProposedAction();
}

void takeDroppedFiles(QWidget *window, QDropEvent *event, std::function<void(const QStringList &)> take)
{
    if (!holdsLocalFile(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, window, [take = std::move(take), paths] { take(paths); });
}

} // namespace varnel::gui
