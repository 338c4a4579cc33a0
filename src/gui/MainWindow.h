#pragma once

#include "gui/BusyScope.h"
#include "gui/CreateTableWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/QtForm.h"
#include "gui/QtTransferHost.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QGroupBox;
class QTabWidget;
class QTreeWidget;

namespace varnel {
class MySqlConnection;
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class MappingList;

// The main window: where articles and the table are chosen, the field
// mapping is edited, and import and export run. Its state lives in the
// settings store it is given, section "主界面".
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(SettingsStore &settings, MySqlConnection &db, QWidget *parent = nullptr);
    ~MainWindow() override;

    QtForm &form() { return *m_form; }
    ArticleImporter &importer() { return m_importer; }
    ArticleExporter &exporter() { return m_exporter; }
    QTreeWidget *mappingList() const;
    QTabWidget *optionPages() const { return m_pages; }
    QGroupBox *conditionGroup() const { return m_conditionGroup; }
    bool runActive() const { return m_importer.isRunning() || m_exporter.isRunning(); }

    // The actions behind the buttons, for the buttons and for tests.
    void connectAction();
    void importPressed(bool alternativeLister);
    void exportPressed();
    void databasePicker();
    void tablePicker();
    void readTableFields();
    void importConfig();
    void exportConfig();
    void chooseFolder();
    void openFolder();
    void dropPaths(const QStringList &paths);
    // Forget the cached database and table lists of the pickers (after this
    // program created or dropped a database or table, or reconnected).
    void forgetNameLists();

    // The database manager: opened (connecting first when needed) or
    // raised; null while none is open.
    void openManager();
    ManagerWindow *manager() const { return m_manager; }
    // The table creation window: opened (connecting first when needed) or
    // raised; null while none is open.
    void openCreateTable();
    CreateTableWindow *createTableWindow() const { return m_createTable; }
    // A transaction is open on the connection, whichever window began it:
    // runs wait for its end. The server's word, never a flag of ours.
    bool transactionOpen() const;

signals:
    void managerRequested();
    void connectionChanged(bool open);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildLayout();
    QWidget *buildBanner();
    QWidget *buildArticleGroup();
    QWidget *buildDatabaseGroup();
    QWidget *buildMappingGroup();
    QWidget *buildBottomRow();
    void buildConditionGroup();
    void buildOptionPages();
    void wireActions();
    void placeConditionGroup();

    void showPage(int index);
    void rowChanged();
    void showCurrentRule();
    void addOrModify(bool modify);
    void deleteCurrent();
    void clearAll();
    void applyRuleResult(int currentRow, const std::string &focusName);
    void focusControl(std::string_view name);
    void setConnectedButtons(bool enabled);
    void disconnectNow();
    void serverLost(const std::string &reason);
    void afterRun();
    bool refuseInTransaction();
    void importDropped(std::vector<std::string> files);
    void showHelp();
    void editPhrases();
    bool readNameList(Control &button, bool tables);
    void putPickedName(std::string_view boxName, const QString &name);
    bool listReadFinished();

    SettingsStore &m_settings;
    MySqlConnection &m_db;
    std::unique_ptr<QtForm> m_form;
    QtTransferHost m_host;
    ArticleImporter m_importer;
    ArticleExporter m_exporter;
    BusyCounter m_busy;
    MappingList *m_list = nullptr;
    QTabWidget *m_pages = nullptr;
    QGroupBox *m_conditionGroup = nullptr;
    QWidget *m_bottomRow = nullptr;
    std::string m_tableListKey;
    bool m_suppressRowLoad = false;
    bool m_closing = false;
    bool m_disconnectPending = false;
    QPointer<ManagerWindow> m_manager;
    QPointer<CreateTableWindow> m_createTable;
};

} // namespace varnel::gui
