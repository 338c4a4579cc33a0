#pragma once

#include "gui/BusyScope.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTableView;
class QToolButton;
class QTreeWidget;

namespace varnel {
class QueryRows;
class SettingsStore;
struct SqlSample;
} // namespace varnel

namespace varnel::gui {

class ConnectionSession;
class MainNames;
class ManagerWindow;
class ResultTableModel;

// A console for statements typed one to a line: each runs on the shared
// connection as typed, its row tells whether it succeeded and keeps the
// rows it returned, which the right half shows for the current row. The
// editor's text is kept in the settings from run to run.
class SqlQueryWindow : public QWidget {
    Q_OBJECT
public:
    SqlQueryWindow(ManagerWindow &manager, MainNames &names, ConnectionSession &session, SettingsStore &settings);
    ~SqlQueryWindow() override;

    QPlainTextEdit *editor() const { return m_editor; }
    // The editor's text with CR LF line ends.
    std::string statementText() const;
    void setStatementText(std::string_view text);
    QTreeWidget *runList() const { return m_runList; }
    QTableView *resultView() const { return m_resultView; }
    ResultTableModel *resultModel() const { return m_model; }
    QMenu *sampleMenu() const { return m_samples; }
    QMenu *resultMenu() const { return m_resultMenu; }
    // Why the chosen line, or the last line that failed, failed.
    QLabel *statusLine() const { return m_status; }
    bool running() const { return m_running; }

    // The buttons' actions.
    void pasteClipboard();
    void clearText();
    void runStatements();
    void showStatementResult();
    void insertSample(const SqlSample &sample);
    QString copyText(bool selectedOnly) const;
    void copy(bool selectedOnly);
    void exportCsv();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void buildMenus();
    void releaseStatementResults();
    void writeCsv();

    MainNames &m_names;
    ConnectionSession &m_session;
    SettingsStore &m_settings;
    BusyCounter m_busy;
    QGroupBox *m_runGroup = nullptr;
    QGroupBox *m_resultGroup = nullptr;
    QPlainTextEdit *m_editor = nullptr;
    QTreeWidget *m_runList = nullptr;
    QTableView *m_resultView = nullptr;
    QToolButton *m_refresh = nullptr;
    QLabel *m_status = nullptr;
    ResultTableModel *m_model = nullptr;
    QMenu *m_samples = nullptr;
    QMenu *m_resultMenu = nullptr;
    // The rows each statement of the run list returned, by row (none for a
    // statement that failed or returned no rows).
    std::vector<std::shared_ptr<const QueryRows>> m_results;
    bool m_running = false;
};

} // namespace varnel::gui
