#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QItemSelectionModel;
class QWidget;

namespace varnel {
class QueryRows;
}

namespace varnel::gui {

class ResultTableModel;

// The rows a copy or a save takes, fixed when the user chose the command:
// the result is kept alive and the list rows are turned into its rows, so
// whatever the list shows while the text is built (the loop handles
// events), the text holds every row that was asked for.
struct ResultListRows {
    std::shared_ptr<const QueryRows> result;
    QStringList titles;
    std::vector<std::uint64_t> rows; // rows of the result, in list order
};
// All rows of the list, or the selected ones in list order.
ResultListRows resultListRows(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly);

// The lines a result list copies: one per row, cells as formatListLine
// writes them, each followed by CR LF. Events are handled by time while it
// runs.
QString resultListText(const ResultListRows &rows);
QString resultListText(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly);

// Asks for a file and saves the list there as CSV: the title line, then
// every row, as GB18030 text; says "保存成功！" or "保存失败！". The rows
// are those the list showed when it was called.
void saveResultListCsv(QWidget *owner, const ResultTableModel &model);

} // namespace varnel::gui
