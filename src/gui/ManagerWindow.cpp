#include "gui/ManagerWindow.h"

#include "admin/ManagerTexts.h"
#include "design/FormTable.h"
#include "gui/ConnectionSession.h"
#include "gui/InfoDialogs.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/RecordViewerWindow.h"
#include "gui/TextInputDialog.h"
#include "gui/WindowPlace.h"
#include "settings/WindowSweep.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnel::gui {
namespace {

constexpr std::string_view kSection = "管理器";

QToolButton *refreshButton(const char *name, const char *hint)
{
    auto *b = new QToolButton;
    b->setObjectName(QString::fromUtf8(name));
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(QApplication::style()->standardIcon(QStyle::SP_BrowserReload));
    b->setAutoRaise(true);
    return b;
}

} // namespace

ManagerWindow::ManagerWindow(MainNames &names, ConnectionSession &session, SettingsStore &settings)
    : QWidget(nullptr)
    , m_names(names)
    , m_session(session)
    , m_settings(settings)
    , m_form(std::make_unique<QtForm>(managerFormSpec(), this))
{
    setObjectName(QStringLiteral("ManagerWindow"));
    setWindowTitle(QStringLiteral("MySQL 管理器"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildLayout();
    resize(std::max(620, minimumSizeHint().width()), std::max(460, minimumSizeHint().height()));
    restoreWindowState(m_settings, *m_form, kSection);
    restoreWindowPlace(*this, m_settings, kSection);
    connect(&m_session, &ConnectionSession::created, this, &ManagerWindow::showCreated);
}

ManagerWindow::~ManagerWindow()
{
    // The owned windows go with this one: their going is no news to it.
    for (QObject *owned : {static_cast<QObject *>(m_sqlWindow.data()), static_cast<QObject *>(m_userAdmin.data())}) {
        if (owned)
            disconnect(owned, nullptr, this, nullptr);
    }
}

void ManagerWindow::buildLayout()
{
    auto B = [this](const char *name) { return m_form->widgetAs<RightButton>(name); };

    m_databaseGroup = new QGroupBox(QStringLiteral("   在 MySQL 上的库"));
    m_databaseGroup->setObjectName(QStringLiteral("分组框库"));
    m_databases = new QListWidget;
    m_databases->setObjectName(QStringLiteral("超级列表框库列表"));
    m_databases->setSelectionMode(QAbstractItemView::SingleSelection);
    m_databases->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *refreshDatabases = refreshButton("超级按钮刷新库", "刷新库列表");
    auto *dbLayout = new QGridLayout(m_databaseGroup);
    dbLayout->addWidget(refreshDatabases, 0, 2, Qt::AlignRight);
    dbLayout->addWidget(m_databases, 1, 0, 1, 3);
    dbLayout->addWidget(B("按钮新建库"), 2, 0);
    dbLayout->addWidget(B("按钮删除库"), 2, 1);
    dbLayout->addWidget(B("按钮查找库"), 2, 2);

    m_tableGroup = new QGroupBox(QStringLiteral("   当前库的表（双击 表，可赋值到主界面的库名、表名）"));
    m_tableGroup->setObjectName(QStringLiteral("分组框表"));
    m_tables = new QListWidget;
    m_tables->setObjectName(QStringLiteral("超级列表框表列表"));
    m_tables->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tables->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *refreshTables = refreshButton("超级按钮刷新表", "刷新表列表");
    auto *tableLayout = new QGridLayout(m_tableGroup);
    tableLayout->addWidget(refreshTables, 0, 3, Qt::AlignRight);
    tableLayout->addWidget(m_tables, 1, 0, 1, 4);
    const char *rows[2][4] = {
        {"按钮删除表", "按钮修改表名", "按钮查找表", "按钮查看记录"},
        {"按钮查看字段", "按钮SQL", "按钮用户", "按钮事务"},
    };
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 4; ++c)
            tableLayout->addWidget(B(rows[r][c]), 2 + r, c);
    }

    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(10, 10, 10, 10);
    h->addWidget(m_databaseGroup, 2);
    h->addWidget(m_tableGroup, 3);

    m_transactions = new QMenu(this);
    m_transactions->setObjectName(QStringLiteral("事务"));
    const char *items[] = {"开始事务", "提交事务", "回滚事务"};
    for (int i = 0; i < 3; ++i) {
        QAction *a = m_transactions->addAction(QString::fromUtf8(items[i]));
        a->setObjectName(QString::fromUtf8(items[i]));
        connect(a, &QAction::triggered, this, [this, i] { transaction(i); });
    }

    connect(refreshDatabases, &QToolButton::clicked, this, &ManagerWindow::refreshDatabaseList);
    connect(refreshTables, &QToolButton::clicked, this, &ManagerWindow::refreshTableList);
    connect(m_databases, &QListWidget::currentRowChanged, this, [this] {
        // The list makes its first row current on focus without showing it
        // chosen: the database whose tables are listed is the one shown.
        if (QListWidgetItem *item = m_databases->currentItem(); item && !item->isSelected())
            item->setSelected(true);
        refreshTableList();
    });
    connect(m_tables, &QListWidget::itemSelectionChanged, this, &ManagerWindow::tableSelectionChanged);
    connect(m_tables, &QListWidget::itemDoubleClicked, this, &ManagerWindow::tableDoubleClicked);
    connect(m_databases, &QWidget::customContextMenuRequested, this,
        [this] { QApplication::clipboard()->setText(qs(currentDatabase())); });
    connect(m_tables, &QWidget::customContextMenuRequested, this,
        [this] { QApplication::clipboard()->setText(qs(currentTable())); });
    connect(B("按钮新建库"), &QPushButton::clicked, this, &ManagerWindow::createDatabase);
    connect(B("按钮删除库"), &QPushButton::clicked, this, &ManagerWindow::dropDatabase);
    connect(B("按钮查找库"), &QPushButton::clicked, this, [this] { findDatabase(false); });
    connect(B("按钮查找库"), &RightButton::rightReleased, this, [this] { findDatabase(true); });
    connect(B("按钮删除表"), &QPushButton::clicked, this, [this] { dropTables(false); });
    connect(B("按钮删除表"), &RightButton::rightReleased, this, [this] { dropTables(true); });
    connect(B("按钮修改表名"), &QPushButton::clicked, this, &ManagerWindow::renameTable);
    connect(B("按钮查找表"), &QPushButton::clicked, this, [this] { findTable(false); });
    connect(B("按钮查找表"), &RightButton::rightReleased, this, [this] { findTable(true); });
    connect(B("按钮查看记录"), &QPushButton::clicked, this, [this] { openViewer(false); });
    connect(B("按钮查看记录"), &RightButton::rightReleased, this, &ManagerWindow::countRecords);
    connect(B("按钮查看字段"), &QPushButton::clicked, this, [this] { openViewer(true); });
    connect(B("按钮SQL"), &QPushButton::clicked, this, &ManagerWindow::openSqlWindow);
    connect(B("按钮用户"), &QPushButton::clicked, this, &ManagerWindow::openUserAdmin);
    connect(B("按钮事务"), &QPushButton::clicked, this, [this] {
        QWidget *b = m_form->widget("按钮事务");
        m_transactions->popup(b->mapToGlobal(QPoint(0, b->height())));
    });
}

// --- state ------------------------------------------------------------------

std::string ManagerWindow::currentDatabase() const
{
    const QListWidgetItem *item = m_databases->currentItem();
    return item ? u8(item->text()) : std::string();
}

int ManagerWindow::currentTableIndex() const
{
    int first = -1;
    for (int i = 0; i < m_tables->count(); ++i) {
        if (m_tables->item(i)->isSelected()) {
            first = i;
            break;
        }
    }
    return first;
}

std::string ManagerWindow::currentTable() const
{
    const int i = currentTableIndex();
    return i < 0 ? std::string() : u8(m_tables->item(i)->text());
}

void ManagerWindow::message(const QString &text)
{
    BusyScope busy(m_busy);
    Prompts::message(this, text, qs(kDefaultCaption), MessageIcon::None);
}

void ManagerWindow::failure(const QString &text)
{
    // The reason is read before the box: nothing is sent in between.
    message(qs(withFailureReason(u8(text), m_session.catalog().failure())));
}

bool ManagerWindow::askName(const QString &prompt, const QString &title, const QString &initial, QString *name)
{
    const TextInputRequest request{.initialText = initial,
        .prompt = prompt.isEmpty() ? std::nullopt : std::optional<QString>(prompt),
        .title = title,
        .parent = this,
        .textHeight = 50,
        .singleLine = true};
    BusyScope busy(m_busy);
    if (!TextInputDialog::run(request, name))
        return false;
    // A name pasted with its line end, or typed with a blank after it, is
    // still that name.
    *name = name->trimmed();
    return true;
}

void ManagerWindow::updateDatabaseCaption()
{
    m_databaseGroup->setTitle(escapeMnemonics(qs(databaseListCaption(static_cast<std::size_t>(m_databases->count())))));
}

void ManagerWindow::updateTableCaption()
{
    const std::string db = currentDatabase();
    m_tableGroup->setTitle(escapeMnemonics(qs(tableListCaption(db, static_cast<std::size_t>(m_tables->count())))));
}

// --- window events ----------------------------------------------------------

bool ManagerWindow::event(QEvent *event)
{
    if (!m_activated && (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)) {
        m_activated = true;
        QTimer::singleShot(0, this, &ManagerWindow::refreshDatabaseList);
    }
    return QWidget::event(event);
}

void ManagerWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->ignore();
        return;
    }
    if (m_busy.busy()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    // Owned windows go through their own close first.
    if (!closeOwnedWindows()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    m_closing = true;
    saveWindowState(m_settings, *m_form, kSection);
    saveWindowPlace(*this, m_settings, kSection);
    m_closing = false;
    event->accept();
}

// --- lists ------------------------------------------------------------------

void ManagerWindow::refreshDatabaseList()
{
    m_databaseGroup->setTitle(qs(databaseListCaption(std::nullopt)));
    const NameList names = m_session.catalog().databases().value_or(NameList());
    {
        const QSignalBlocker block(m_databases);
        m_databases->clear();
        for (const std::string &name : names)
            m_databases->addItem(qs(name));
    }
    updateDatabaseCaption();
    refreshTableList();
}

void ManagerWindow::showCreated(const QString &database, const QString &table)
{
    // Lists read later show it anyway; a loop of this window reading them
    // now is not interrupted.
    if (!m_activated || m_busy.busy())
        return;
    if (m_databases->findItems(database, Qt::MatchExactly).isEmpty()) {
        const QString current = qs(currentDatabase());
        refreshDatabaseList();
        // The database chosen before stays chosen, its tables listed again.
        const auto again = m_databases->findItems(current, Qt::MatchExactly);
        if (!again.isEmpty())
            m_databases->setCurrentItem(again.front());
        return;
    }
    if (!table.isEmpty() && qs(currentDatabase()) == database)
        refreshTableList();
}

void ManagerWindow::refreshTableList()
{
    {
        const QSignalBlocker block(m_tables);
        m_tables->clear();
    }
    const std::string db = currentDatabase();
    if (db.empty()) {
        updateTableCaption();
        tableSelectionChanged();
        return;
    }
    m_tableGroup->setTitle(qs(tableListCaption(db, std::nullopt)));
    const NameList names = m_session.catalog().tables(db).value_or(NameList());
    {
        const QSignalBlocker block(m_tables);
        for (const std::string &name : names)
            m_tables->addItem(qs(name));
    }
    updateTableCaption();
    tableSelectionChanged();
}

void ManagerWindow::tableSelectionChanged()
{
    if (!m_viewer)
        return;
    const std::string key = currentDatabase() + '\0' + currentTable();
    if (key == m_viewerTable)
        return;
    m_viewerTable = key;
    m_viewer->refill();
}

void ManagerWindow::selectOnlyTable(int index)
{
    if (index < 0 || index >= m_tables->count())
        return;
    {
        const QSignalBlocker block(m_tables);
        m_tables->clearSelection();
        m_tables->setCurrentRow(index, QItemSelectionModel::NoUpdate);
    }
    m_tables->item(index)->setSelected(true);
    m_tables->scrollToItem(m_tables->item(index));
    m_tables->setFocus(Qt::OtherFocusReason);
}

void ManagerWindow::openViewer(bool fields)
{
    if (currentTable().empty()) {
        message(
            fields ? QStringLiteral("请先选定一个表再查看表字段！") : QStringLiteral("请先选定一个表再查看表记录！"));
        return;
    }
    if (!m_viewer) {
        m_viewer = new RecordViewerWindow(*this, m_session, m_settings);
        m_viewer->show();
    }
    m_viewer->setFieldsMode(fields);
    m_viewerTable = currentDatabase() + '\0' + currentTable();
    m_viewer->refill();
    m_viewer->raise();
    m_viewer->activateWindow();
}

void ManagerWindow::openSqlWindow()
{
    if (!m_sqlWindow) {
        m_sqlWindow = new SqlQueryWindow(*this, m_names, m_session, m_settings);
        connect(m_sqlWindow, &QObject::destroyed, this, [this] { closeWhenIdle(*this, m_busy); });
    }
    m_sqlWindow->show();
    m_sqlWindow->raise();
    m_sqlWindow->activateWindow();
}

void ManagerWindow::openUserAdmin()
{
    if (m_userAdmin) {
        m_userAdmin->show();
        m_userAdmin->raise();
        m_userAdmin->activateWindow();
        return;
    }
    m_userAdmin = new UserAdminWindow(*this, m_session, m_settings);
    connect(m_userAdmin, &QObject::destroyed, this, [this] { closeWhenIdle(*this, m_busy); });
    m_userAdmin->show();
    m_userAdmin->raise();
    m_userAdmin->activateWindow();
    m_userAdmin->readUserList();
}

bool ManagerWindow::closeOwnedWindows()
{
    bool closed = true;
    if (m_viewer && !m_viewer->close())
        closed = false;
    if (m_sqlWindow && !m_sqlWindow->close())
        closed = false;
    if (m_userAdmin && !m_userAdmin->close())
        closed = false;
    return closed;
}

} // namespace varnel::gui
