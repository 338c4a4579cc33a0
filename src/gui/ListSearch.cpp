#include "gui/ListSearch.h"

#include "admin/ListFind.h"
#include "form/Control.h"
#include "gui/BusyScope.h"
#include "gui/InfoDialogs.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"

#include <QListWidget>

#include <vector>

namespace varnel::gui {

int searchList(QWidget *owner, BusyCounter &busy, Control &button, const QListWidget &list, int current, bool next,
    const ListSearch &texts)
{
    std::string term = button.tag();
    if (!next || term.empty() || list.count() == 0) {
        QString typed;
        {
            BusyScope scope(busy);
            if (!showTextInput(owner, texts.prompt, qs(term), &typed, 50))
                return -1;
        }
        term = u8(typed);
        button.setTag(term);
        next = false;
    }
    std::vector<std::string> items;
    for (int i = 0; i < list.count(); ++i)
        items.push_back(u8(list.item(i)->text()));
    int start = 0;
    if (next) {
        start = current + 1;
        if (start >= list.count())
            start = 0;
    }
    const int found = findInList(items, term, start);
    if (found < 0) {
        BusyScope scope(busy);
        Prompts::message(owner, texts.notFound + qs(term), qs(kDefaultCaption), MessageIcon::None);
    }
    return found;
}

} // namespace varnel::gui
