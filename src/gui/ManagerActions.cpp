// What the database manager does to the server: databases created, dropped
// and found, tables dropped, emptied, renamed, counted and found, and the
// transaction menu. Each acts through the session's catalog on the database
// chosen when it was asked for.
#include "gui/ManagerWindow.h"

#include "admin/ManagerTexts.h"
#include "admin/TableNames.h"
#include "design/FormTable.h"
#include "gui/BusyScope.h"
#include "gui/ConnectionSession.h"
#include "gui/ListSearch.h"
#include "gui/MainNames.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "mysql/MySqlConnection.h"

#include <QListWidget>
#include <QSignalBlocker>

namespace varnel::gui {

// --- databases --------------------------------------------------------------

void ManagerWindow::createDatabase()
{
    QString name;
    if (!askName(QStringLiteral("输入要新建库的名称(不推荐中文库名)："), QString(), QStringLiteral("newdb"), &name))
        return;
    if (!m_session.catalog().createDatabase(u8(name))) {
        failure(QStringLiteral(
            "创建库失败，请检查库名是否正确（如是否与已有库名重复）！或检查连接是否可用！或检查是否有权限创建！"));
        return;
    }
    m_session.forgetNames();
    m_databases->addItem(name);
    m_databases->setCurrentRow(m_databases->count() - 1); // refreshes the tables
    updateDatabaseCaption();
}

void ManagerWindow::dropDatabase()
{
    const int row = m_databases->currentRow();
    if (row < 0) {
        message(QStringLiteral("请先选定一个库再执行删除操作！"));
        return;
    }
    const QString name = m_databases->item(row)->text();
    {
        BusyScope busy(m_busy);
        if (!Prompts::okCancel(this, QStringLiteral("确定要删除当前库 ") + name + QStringLiteral(" 吗？"),
                qs(kDefaultCaption), MessageIcon::None))
            return;
    }
    if (!m_session.catalog().dropDatabase(u8(name))) {
        failure(QStringLiteral("删除库失败，请检查当前连接是否可用！或检查是否有权限删除！"));
        return;
    }
    m_session.forgetNames();
    {
        const QSignalBlocker block(m_databases);
        delete m_databases->takeItem(row);
        m_databases->setCurrentRow(row < m_databases->count() ? row : 0);
    }
    updateDatabaseCaption();
    refreshTableList();
}

void ManagerWindow::findDatabase(bool next)
{
    const int found = searchList(this, m_busy, *m_form->control("按钮查找库"), *m_databases, m_databases->currentRow(),
        next, {QStringLiteral("输入要查找的库名称(右击按钮继续查找)："), QStringLiteral("找不到输入的库名：")});
    if (found < 0)
        return;
    if (found == m_databases->currentRow())
        refreshTableList();
    else
        m_databases->setCurrentRow(found); // refreshes the tables
    m_databases->scrollToItem(m_databases->item(found));
    m_databases->setFocus(Qt::OtherFocusReason);
}

// --- tables -----------------------------------------------------------------

void ManagerWindow::findTable(bool next)
{
    const int found = searchList(this, m_busy, *m_form->control("按钮查找表"), *m_tables, currentTableIndex(), next,
        {QStringLiteral("输入要查找的表名称(右击按钮继续查找)："), QStringLiteral("找不到输入的表名：")});
    if (found >= 0)
        selectOnlyTable(found);
}

void ManagerWindow::dropTables(bool recordsOnly)
{
    const int current = currentTableIndex();
    if (current < 0) {
        message(QStringLiteral("请先选定一个表再删除！"));
        return;
    }
    // The tables are those of the database shown now: a message box in
    // between lets the user choose another one, whose tables of the same
    // names are not the ones asked about.
    const std::string database = currentDatabase();
    std::vector<std::string> names;
    for (int i = 0; i < m_tables->count(); ++i) {
        if (m_tables->item(i)->isSelected())
            names.push_back(u8(m_tables->item(i)->text()));
    }
    BusyScope busy(m_busy);
    if (!Prompts::okCancel(this, qs(dropTablesQuestion(names, recordsOnly)), qs(kDefaultCaption), MessageIcon::None))
        return;
    bool allCleared = true;
    // From the last to the first; items are found again by name, since a
    // message box in between lets the lists change.
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (recordsOnly) {
            if (!m_session.catalog().emptyTable(database, *it)) {
                allCleared = false;
                failure(QStringLiteral("清空表记录失败：") + qs(*it));
            }
            continue;
        }
        if (m_session.catalog().dropTable(database, *it)) {
            const auto found = m_tables->findItems(qs(*it), Qt::MatchExactly);
            if (!found.isEmpty() && currentDatabase() == database) {
                const QSignalBlocker block(m_tables);
                delete m_tables->takeItem(m_tables->row(found.front()));
            }
            m_session.forgetNames();
        } else {
            failure(QStringLiteral("删除表 ") + qs(*it) + QStringLiteral(" 失败！请检查权限或网络连接！"));
        }
    }
    selectOnlyTable(current < m_tables->count() ? current : m_tables->count() - 1);
    if (recordsOnly) {
        if (allCleared)
            message(QStringLiteral("已清空表记录！"));
    } else {
        updateTableCaption();
    }
    tableSelectionChanged();
}

void ManagerWindow::renameTable()
{
    const int index = currentTableIndex();
    if (index < 0) {
        message(QStringLiteral("请先选定一个表再修改！"));
        return;
    }
    const QString old = m_tables->item(index)->text();
    // Renamed in the database it was chosen in, whatever is chosen while
    // the dialog is open.
    const std::string database = currentDatabase();
    QString name;
    if (!askName(QString(), QStringLiteral("修改表 ") + old + QStringLiteral(" 名称为："), old, &name))
        return;
    if (const auto problem = tableNameProblem(u8(name))) {
        message(qs(*problem));
        return;
    }
    // The name it already has, or another table's of the list it was chosen
    // in: nothing to do. (Another database's list says nothing of that.)
    if (currentDatabase() == database
        && !m_tables->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
        return;
    if (!m_session.catalog().renameTable(database, u8(old), u8(name))) {
        failure(QStringLiteral("修改表失败！"));
        return;
    }
    // The item may have moved while the dialog was open.
    const auto found = m_tables->findItems(old, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty() && currentDatabase() == database)
        found.front()->setText(name);
    m_tables->setFocus(Qt::OtherFocusReason);
    m_session.forgetNames();
    tableSelectionChanged();
}

void ManagerWindow::countRecords()
{
    const std::string table = currentTable();
    if (table.empty())
        return;
    const std::optional<std::string> count = m_session.catalog().countRows(currentDatabase(), table);
    if (!count) {
        failure(QStringLiteral("打开表失败，请检查表是否存在或是否可读！"));
        return;
    }
    BusyScope busy(m_busy);
    Prompts::message(this, qs(*count), qs(table) + QStringLiteral("的记录行数"), MessageIcon::None);
}

void ManagerWindow::transaction(int which)
{
    if (which == 0 && m_session.runActive()) {
        message(QStringLiteral("正在导入或导出，请稍后！"));
        return;
    }
    // Whether one is open afterwards is the server's to say
    // (ConnectionSession::transactionOpen); this says what happened.
    MySqlConnection &db = m_session.db();
    const bool ok = which == 0 ? db.beginTransaction() : which == 1 ? db.commitTransaction() : db.rollbackTransaction();
    message(qs(transactionOutcome(which, ok, ok ? std::string() : m_session.catalog().failure())));
}

void ManagerWindow::tableDoubleClicked()
{
    const std::string table = currentTable();
    if (table.empty())
        return;
    m_names.setDatabaseAndTable(currentDatabase(), table);
}

} // namespace varnel::gui
