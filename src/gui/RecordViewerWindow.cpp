#include "gui/RecordViewerWindow.h"

#include "admin/ManagerTexts.h"
#include "admin/QueryRows.h"
#include "admin/RowDeletion.h"
#include "gui/ConnectionSession.h"
#include "gui/ManagerWindow.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/ResultListText.h"
#include "gui/ResultTableModel.h"
#include "gui/WindowPlace.h"
#include "gui/WindowPump.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {
namespace {

constexpr std::string_view kSection = "记录查看器";

} // namespace

RecordViewerWindow::RecordViewerWindow(ManagerWindow &manager, ConnectionSession &session, SettingsStore &settings)
    : QWidget(&manager, Qt::Window)
    , m_manager(manager)
    , m_session(session)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("RecordViewerWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new ResultTableModel(this);
    m_view = new QTableView;
    m_view->setObjectName(QStringLiteral("列表框结果"));
    m_view->setModel(m_model);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(788, 474);
    restoreWindowPlace(*this, m_settings, kSection);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("操作菜单"));
    auto add = [this](const char *name, auto slot) {
        QAction *a = m_menu->addAction(QString::fromUtf8(name));
        a->setObjectName(QString::fromUtf8(name));
        connect(a, &QAction::triggered, this, slot);
    };
    add("复制选定", [this] { copy(true); });
    add("复制全部", [this] { copy(false); });
    m_menu->addSeparator();
    add("导出csv", [this] { exportCsv(); });
    m_menu->addSeparator();
    add("删除选定", [this] { deleteRows(true); });
    add("删除全部", [this] { deleteRows(false); });
    connect(m_view, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &p) { m_menu->popup(m_view->viewport()->mapToGlobal(p)); });
}

RecordViewerWindow::~RecordViewerWindow() = default;

void RecordViewerWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy.busy()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    saveWindowPlace(*this, m_settings, kSection);
    event->accept();
}

bool RecordViewerWindow::load(const std::string &database, const std::string &table)
{
    std::shared_ptr<const QueryRows> result =
        readTableView(m_session.db(), database, table, m_fields ? TableView::Fields : TableView::Records);
    if (!result) {
        m_model->clear();
        return false;
    }
    QStringList titles;
    for (std::size_t i = 0; i < result->columnCount(); ++i)
        titles << qs(viewerColumnTitle(result->columns()[i].name, i, m_fields));
    m_model->setResult(std::move(result), titles);
    return true;
}

void RecordViewerWindow::refill()
{
    const std::string table = m_manager.currentTable();
    if (table.empty()) {
        m_model->clear();
        setWindowTitle(QString());
        return;
    }
    setWindowTitle(qs(viewerLoadingCaption(table, m_fields)));
    if (!load(m_manager.currentDatabase(), table)) {
        setWindowTitle(qs(viewerOpenFailedCaption(table)));
        return;
    }
    setWindowTitle(qs(viewerCaption(table, m_fields, static_cast<std::uint64_t>(m_model->rowCount()))));
    m_view->resizeColumnsToContents();
}

QString RecordViewerWindow::copyText(bool selectedOnly) const
{
    return resultListText(*m_model, m_view->selectionModel(), selectedOnly);
}

void RecordViewerWindow::copy(bool selectedOnly)
{
    BusyScope busy(m_busy);
    QApplication::clipboard()->setText(copyText(selectedOnly));
}

void RecordViewerWindow::exportCsv()
{
    BusyScope busy(m_busy);
    saveResultListCsv(this, *m_model);
}

void RecordViewerWindow::deleteRows(bool selectedOnly)
{
    std::vector<int> rows;
    if (selectedOnly) {
        for (const QModelIndex &i : m_view->selectionModel()->selectedRows())
            rows.push_back(i.row());
    } else {
        for (int i = 0; i < m_model->rowCount(); ++i)
            rows.push_back(i);
    }
    BusyScope busy(m_busy);
    if (rows.empty()) {
        Prompts::message(this,
            selectedOnly ? QStringLiteral("请先选定项目再删除！") : QStringLiteral("没有可用于删除的项目！"),
            qs(kDefaultCaption), MessageIcon::None);
        return;
    }
    const std::string table = m_manager.currentTable();
    const std::string database = m_manager.currentDatabase();
    if (!Prompts::okCancel(this, qs(viewerDeleteQuestion(m_fields, !selectedOnly, rows.size())), qs(kDefaultCaption),
            MessageIcon::None))
        return;
    setWindowTitle(qs(viewerDeletingCaption(m_fields)));
    std::sort(rows.rbegin(), rows.rend());
    const std::uint64_t generation = m_model->generation();
    ThrottledPump pump = windowPump();
    std::size_t deleted = 0;
    for (int row : rows) {
        const bool ok = m_fields
            ? dropShownField(m_session.db(), database, table, u8(m_model->cellText(row, 0)))
            : deleteShownRow(m_session.db(), database, table, *m_model->result(), m_model->resultRow(row));
        if (ok) {
            m_model->removeListRow(row);
            ++deleted;
        }
        pump();
        // Another table was chosen in the manager meanwhile: these rows are
        // gone from the list, and nothing more is deleted.
        if (m_model->generation() != generation)
            break;
    }
    const QString summary = qs(viewerDeletedCaption(m_fields, rows.size(), deleted));
    // The list shows the table as it now is, so a later delete builds its
    // condition from the row it shows.
    if (m_model->generation() == generation && m_manager.currentTable() == table)
        load(database, table);
    setWindowTitle(summary);
}

} // namespace varnel::gui
