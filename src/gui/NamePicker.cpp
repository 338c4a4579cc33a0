#include "gui/NamePicker.h"

#include "gui/QtText.h"

#include <QCursor>
#include <QMenu>

namespace varnel::gui {
namespace {

struct PickerState {
    bool scripted = false;
    std::deque<int> choices;
    QStringList lastItems;
    int shown = 0;
};

PickerState &state()
{
    static PickerState s;
    return s;
}

} // namespace

QString NamePicker::pick(QWidget *owner, const std::vector<std::string> &entries)
{
    QStringList names;
    for (const std::string &entry : entries) {
        if (entry.empty())
            continue;
        const auto slash = entry.rfind('\\');
        names << qs(slash == std::string::npos ? entry : entry.substr(slash + 1));
    }
    auto &s = state();
    ++s.shown;
    s.lastItems = names;
    if (s.scripted) {
        int choice = -1;
        if (!s.choices.empty()) {
            choice = s.choices.front();
            s.choices.pop_front();
        }
        return choice >= 0 && choice < names.size() ? names[choice] : QString();
    }
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

void NamePicker::setScripted(bool scripted)
{
    state().scripted = scripted;
    state().choices.clear();
    state().shown = 0;
}

void NamePicker::queueChoice(int index)
{
    state().choices.push_back(index);
}

QStringList NamePicker::lastItems()
{
    return state().lastItems;
}

int NamePicker::shownCount()
{
    return state().shown;
}

} // namespace varnel::gui
