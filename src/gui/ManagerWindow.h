#pragma once

#include "gui/BusyScope.h"
#include "gui/QtForm.h"
#include "gui/RecordViewerWindow.h"
#include "gui/SqlQueryWindow.h"
#include "gui/UserAdminWindow.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QGroupBox;
class QListWidget;
class QMenu;

namespace varnel {
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class ConnectionSession;
class MainNames;

// The database manager: the server's databases and the tables of one, and
// what can be done with them. It has no owner; the main window opens it and
// closes it when the connection goes. Double-clicking a table hands its
// names to the main window.
class ManagerWindow : public QWidget {
    Q_OBJECT
public:
    ManagerWindow(MainNames &names, ConnectionSession &session, SettingsStore &settings);
    ~ManagerWindow() override;

    QtForm &form() { return *m_form; }
    QListWidget *databaseList() const { return m_databases; }
    QListWidget *tableList() const { return m_tables; }
    QGroupBox *databaseGroup() const { return m_databaseGroup; }
    QGroupBox *tableGroup() const { return m_tableGroup; }
    RecordViewerWindow *viewer() const { return m_viewer; }
    SqlQueryWindow *sqlWindow() const { return m_sqlWindow; }
    UserAdminWindow *userAdmin() const { return m_userAdmin; }
    bool busy() const { return m_busy.busy(); }

    // The database the manager works on ("" when none) and its current
    // table: the first selected one ("" when none).
    std::string currentDatabase() const;
    int currentTableIndex() const;
    std::string currentTable() const;

    void refreshDatabaseList();
    void refreshTableList();
    // Another window created the database or table: the lists and their
    // counts show it.
    void showCreated(const QString &database, const QString &table);
    void createDatabase();
    void dropDatabase();
    void findDatabase(bool next);
    void findTable(bool next);
    void dropTables(bool recordsOnly);
    void renameTable();
    void countRecords();
    void openViewer(bool fields);
    // The SQL window and the user administration: opened, or raised when
    // open.
    void openSqlWindow();
    void openUserAdmin();
    void transaction(int which); // 0 begin, 1 commit, 2 rollback
    void tableDoubleClicked();
    void selectOnlyTable(int index);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void buildLayout();
    void updateDatabaseCaption();
    void updateTableCaption();
    void message(const QString &text);
    // A failure of the statement just sent, with the server's reason.
    void failure(const QString &text);
    // Asks for one name (Enter confirms); blanks and line breaks around it
    // are dropped.
    bool askName(const QString &prompt, const QString &title, const QString &initial, QString *name);
    void tableSelectionChanged();
    // Closes the owned windows through their own close; false when one
    // refuses for now.
    bool closeOwnedWindows();

    MainNames &m_names;
    ConnectionSession &m_session;
    SettingsStore &m_settings;
    // Set before the widgets are made: making them sends events to this
    // window, and event() reads it.
    bool m_activated = false;
    std::unique_ptr<QtForm> m_form;
    BusyCounter m_busy;
    QGroupBox *m_databaseGroup = nullptr;
    QGroupBox *m_tableGroup = nullptr;
    QListWidget *m_databases = nullptr;
    QListWidget *m_tables = nullptr;
    QMenu *m_transactions = nullptr;
    QPointer<RecordViewerWindow> m_viewer;
    QPointer<SqlQueryWindow> m_sqlWindow;
    QPointer<UserAdminWindow> m_userAdmin;
    bool m_closing = false;
    std::string m_viewerTable; // what the viewer shows, to refill only on a change
};

} // namespace varnel::gui
