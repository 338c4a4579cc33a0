#pragma once

#include <QString>

class QItemSelectionModel;
class QWidget;

namespace varnel::gui {

class ResultTableModel;

// The lines a result list copies: one per row (all rows, or the selected
// ones in list order), cells as formatListLine writes them, each followed by
// CR LF. Events are handled by time while it runs; when the list shows
// another result meanwhile, the rows it held are gone and the text is empty.
QString resultListText(const ResultTableModel &model, const QItemSelectionModel *selection, bool selectedOnly);

// Asks for a file and saves the list there as CSV: the title line, then
// every row, as GB18030 text; says "保存成功！" or "保存失败！".
void saveResultListCsv(QWidget *owner, const ResultTableModel &model);

} // namespace varnel::gui
