#include "gui/ResultTableModel.h"

#include "admin/QueryRows.h"
#include "gui/QtText.h"

#include <numeric>

namespace varnel::gui {
namespace {

// Longer cells are cut for display only; copies and files take them whole.
constexpr int kDisplayLimit = 1000;

} // namespace

ResultTableModel::~ResultTableModel() = default;

void ResultTableModel::setResult(std::shared_ptr<const QueryRows> result, QStringList titles)
{
    beginResetModel();
    ++m_generation;
    m_result = std::move(result);
    m_titles = std::move(titles);
    m_rows.resize(m_result ? static_cast<std::size_t>(m_result->rowCount()) : 0);
    std::iota(m_rows.begin(), m_rows.end(), std::uint64_t{0});
    endResetModel();
}

void ResultTableModel::clear()
{
    setResult(nullptr, {});
}

void ResultTableModel::removeListRow(int listRow)
{
    if (listRow < 0 || listRow >= rowCount())
        return;
    beginRemoveRows({}, listRow, listRow);
    m_rows.erase(m_rows.begin() + listRow);
    endRemoveRows();
}

QString ResultTableModel::cellText(int row, int column) const
{
    if (!m_result || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return qs(m_result->cell(resultRow(row), static_cast<std::size_t>(column)));
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_result)
        return {};
    if (role == Qt::DisplayRole) {
        QString text = cellText(index.row(), index.column());
        if (text.size() > kDisplayLimit)
            text = text.left(kDisplayLimit) + QChar(0x2026);
        return text;
    }
    if (role == Qt::TextAlignmentRole) {
        const auto &columns = m_result->columns();
        const auto c = static_cast<std::size_t>(index.column());
        if (c < columns.size() && columns[c].numeric)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_titles.size() ? m_titles[section] : QVariant();
    return section + 1;
}

} // namespace varnel::gui
