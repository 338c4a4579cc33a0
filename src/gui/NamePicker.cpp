#include "gui/NamePicker.h"

#include "gui/Prompts.h"
#include "gui/QtText.h"

#include <QCursor>
#include <QMenu>

namespace varnel::gui {

QString NamePicker::pick(QWidget *owner, const std::vector<std::string> &entries)
{
    QStringList names;
    for (const std::string &entry : entries) {
        if (entry.empty())
            continue;
        const auto slash = entry.rfind('\\');
        names << qs(slash == std::string::npos ? entry : entry.substr(slash + 1));
    }
    if (Prompts::scripted())
        return Prompts::scriptedPick(names);
    QMenu menu(owner);
    QAction *head = menu.addAction(QStringLiteral("选择一个插入"));
    head->setEnabled(false);
    menu.addSeparator();
    for (const QString &name : names) {
        // The name is kept whole in the action's data; the shown text has
        // "&" doubled so that it is not taken for a mnemonic.
        QAction *a = menu.addAction(escapeMnemonics(name));
        a->setData(name);
    }
    QAction *chosen = menu.exec(QCursor::pos());
    return chosen ? chosen->data().toString() : QString();
}

} // namespace varnel::gui
