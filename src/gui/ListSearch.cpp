#include "gui/ListSearch.h"

#include "admin/ListFind.h"
#include "form/Control.h"
#include "gui/BusyScope.h"
#include "gui/InfoDialogs.h"
#include "gui/QtText.h"

#include <QListWidget>

#include <vector>

namespace varnel::gui {

ListSearchResult searchList(QWidget *owner, BusyCounter &busy, Control &button, const QListWidget &list, int current,
    bool next, const QString &prompt)
{
    ListSearchResult result;
    result.term = button.tag();
    if (!next || result.term.empty() || list.count() == 0) {
        QString typed;
        {
            BusyScope scope(busy);
            if (!showTextInput(owner, prompt, qs(result.term), &typed, 50)) {
                result.asked = true;
                return result;
            }
        }
        result.term = u8(typed);
        button.setTag(result.term);
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
    result.found = findInList(items, result.term, start);
    return result;
}

} // namespace varnel::gui
