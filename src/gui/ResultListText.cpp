#include "gui/ResultListText.h"

#include "admin/ListText.h"
#include "admin/QueryRows.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/ResultTableModel.h"
#include "gui/WindowPump.h"

#include <QCoreApplication>
#include <QItemSelectionModel>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace varnel::gui {
namespace {

std::string buildText(const ResultListRows &rows)
{
    std::string text;
    if (!rows.result)
        return text;
    const auto columns = static_cast<std::size_t>(rows.titles.size());
    ThrottledPump pump = windowPump();
    std::vector<std::string> cells(columns);
    for (std::uint64_t row : rows.rows) {
        for (std::size_t c = 0; c < columns; ++c)
            cells[c] = u8(qs(rows.result->cell(row, c))); // as the list shows it
        text += formatListLine(cells, false) + "\r\n";
        pump();
    }
    return text;
}

} // namespace

ResultListRows resultListRows(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly)
{
    ResultListRows out{model.sharedResult(), model.titles(), {}};
    std::vector<int> listRows;
    if (selectedOnly) {
        if (selection) {
            for (const QModelIndex &i : selection->selectedRows())
                listRows.push_back(i.row());
        }
        std::sort(listRows.begin(), listRows.end());
    } else {
        for (int i = 0; i < model.rowCount(); ++i)
            listRows.push_back(i);
    }
    out.rows.reserve(listRows.size());
    for (int row : listRows)
        out.rows.push_back(model.resultRow(row));
    return out;
}

QString resultListText(const ResultListRows &rows)
{
    return qs(buildText(rows));
}

QString resultListText(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly)
{
    return resultListText(resultListRows(model, selection, selectedOnly));
}

void saveResultListCsv(QWidget *owner, const ResultTableModel &model)
{
    // Taken before the file dialog, which lets the list change too.
    const ResultListRows rows = resultListRows(model, nullptr, false);
    const QString path = Prompts::saveFile(owner, QString(), QString(),
        {{QStringLiteral("csv 文件(*.csv)"), QStringLiteral("*.csv")},
            {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")}},
        QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    std::vector<std::string> titles;
    for (const QString &t : rows.titles)
        titles.push_back(u8(t));
    const std::string text = formatListLine(titles, true) + "\r\n" + buildText(rows);
    std::string error;
    Prompts::message(owner,
        writeGb18030File(u8(path), text, error) ? QStringLiteral("保存成功！") : QStringLiteral("保存失败！"),
        qs(kDefaultCaption), MessageIcon::None);
}

} // namespace varnel::gui
