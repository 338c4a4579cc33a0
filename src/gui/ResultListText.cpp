#include "gui/ResultListText.h"

#include "admin/ListText.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/ResultTableModel.h"
#include "util/ThrottledPump.h"

#include <QCoreApplication>
#include <QItemSelectionModel>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace varnel::gui {
namespace {

constexpr std::chrono::milliseconds kPumpInterval(50);

} // namespace

QString resultListText(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly)
{
    std::vector<int> rows;
    if (selectedOnly) {
        if (selection) {
            for (const QModelIndex &i : selection->selectedRows())
                rows.push_back(i.row());
        }
        std::sort(rows.begin(), rows.end());
    } else {
        for (int i = 0; i < model.rowCount(); ++i)
            rows.push_back(i);
    }
    std::string text;
    ThrottledPump pump([] { QCoreApplication::processEvents(); }, kPumpInterval);
    const std::uint64_t generation = model.generation();
    for (int row : rows) {
        std::vector<std::string> cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells.push_back(u8(model.cellText(row, c)));
        text += formatListLine(cells, false) + "\r\n";
        pump();
        if (model.generation() != generation)
            return {};
    }
    return qs(text);
}

void saveResultListCsv(QWidget *owner, const ResultTableModel &model)
{
    const QString path = Prompts::saveFile(owner, QString(), QString(),
        {{QStringLiteral("csv 文件(*.csv)"), QStringLiteral("*.csv")},
            {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")}},
        QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    std::vector<std::string> titles;
    for (const QString &t : model.titles())
        titles.push_back(u8(t));
    const std::string text = formatListLine(titles, true) + "\r\n" + u8(resultListText(model, nullptr, false));
    std::string error;
    Prompts::message(owner,
        writeGb18030File(u8(path), text, error) ? QStringLiteral("保存成功！") : QStringLiteral("保存失败！"),
        qs(kDefaultCaption), MessageIcon::None);
}

} // namespace varnel::gui
