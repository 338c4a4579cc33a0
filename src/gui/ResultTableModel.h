#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace varnel {
class QueryRows;
}

namespace varnel::gui {

// A table model over the rows of a result set, read where they lie: nothing
// is copied into widgets, so a table of 100,000 rows opens at once. A row map
// ties list rows to result rows, so rows can leave the list while the result
// stays as the server sent it.
class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    ~ResultTableModel() override;

    // Shows the result under the given column titles (one per column).
    void setResult(std::shared_ptr<const QueryRows> result, QStringList titles);
    void clear();

    const QueryRows *result() const { return m_result.get(); }
    // Keeps the result alive for a loop that must not lose it.
    std::shared_ptr<const QueryRows> sharedResult() const { return m_result; }
    std::uint64_t resultRow(int listRow) const { return m_rows[static_cast<std::size_t>(listRow)]; }
    void removeListRow(int listRow);
    // Bumped whenever the model shows another result: a loop over its rows
    // that pumps events checks it to know that the rows it holds are gone.
    std::uint64_t generation() const { return m_generation; }

    // The whole text of a cell (the display cuts very long ones).
    QString cellText(int row, int column) const;
    QStringList titles() const { return m_titles; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const QueryRows> m_result;
    QStringList m_titles;
    std::vector<std::uint64_t> m_rows;
    std::uint64_t m_generation = 0;
};

} // namespace varnel::gui
