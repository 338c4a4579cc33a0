#pragma once

#include "gui/BusyScope.h"
#include "gui/ConnectionSession.h"
#include "gui/MainNames.h"
#include "gui/QtForm.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

class QGroupBox;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace varnel {
class ArticleExporter;
class ArticleImporter;
class MySqlConnection;
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class ConnectionController;
class CreateTableWindow;
class ExportConditionPanel;
class ManagerWindow;
class MappingEditorPanel;
class RunController;

// The main window: where articles and the table are chosen, the field
// mapping is edited, and import and export run. Its state lives in the
// settings store it is given, section "主界面". The work is its parts':
// the connection, the runs, the mapping editor and the export conditions.
class MainWindow : public QWidget, public MainNames {
    Q_OBJECT
public:
    MainWindow(SettingsStore &settings, MySqlConnection &db, QWidget *parent = nullptr);
    ~MainWindow() override;

    QtForm &form() { return *m_form; }
    ConnectionSession &session() { return m_session; }
    ArticleImporter &importer();
    ArticleExporter &exporter();
    QTreeWidget *mappingList() const;
    QTabWidget *optionPages() const;
    QGroupBox *conditionGroup() const;
    bool runActive() const;

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
    // The 加密.. button: the encryption dialog, and what it confirms into
    // the form's hidden boxes.
    void editEncryption();

    // The database manager: opened (connecting first when needed) or
    // raised; null while none is open.
    void openManager();
    ManagerWindow *manager() const;
    // The table creation window: opened (connecting first when needed) or
    // raised; null while none is open.
    void openCreateTable();
    CreateTableWindow *createTableWindow() const;
    // A transaction is open on the connection, whichever window began it.
    bool transactionOpen() const { return m_session.transactionOpen(); }

    // What the other windows may ask of this one.
    std::string databaseName() const override;
    std::string tableName() const override;
    std::string userName() const override;
    void setDatabaseAndTable(std::string_view database, std::string_view table) override;
    void focusBox(std::string_view controlName) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildLayout();
    QWidget *buildBanner();
    QWidget *buildArticleGroup();
    QWidget *buildDatabaseGroup();
    QWidget *buildBottomRow();
    void wireActions();

    // Carries out what was asked while a run or a list read held the
    // window: the failure report, a disconnect, a close.
    void afterRun();
    void saveRunReport(QWidget *owner);
    void closeOwnedWindows();
    void showHelp();
    // The 加密.. button's caption and tooltip after the form's encryption.
    void showEncryptionState();

    SettingsStore &m_settings;
    ConnectionSession m_session;
    std::unique_ptr<QtForm> m_form;
    BusyCounter m_busy;
    RunController *m_runs = nullptr;
    ConnectionController *m_connection = nullptr;
    MappingEditorPanel *m_mapping = nullptr;
    ExportConditionPanel *m_conditions = nullptr;
    QPushButton *m_encryptionButton = nullptr;
    bool m_closing = false;
    QPointer<ManagerWindow> m_manager;
    QPointer<CreateTableWindow> m_createTable;
};

} // namespace varnel::gui
