#pragma once

#include "gui/BusyScope.h"

#include <QWidget>

#include <memory>
#include <string>

class QMenu;
class QTableView;

namespace varnel {
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class ConnectionSession;
class ManagerWindow;
class ResultTableModel;

// The fields ("describe") or the records ("select *") of the manager's
// current table, following the manager's selection; rows can be copied,
// saved as CSV and deleted. Its caption is its status line. Its place is
// kept in the section "记录查看器".
class RecordViewerWindow : public QWidget {
    Q_OBJECT
public:
    RecordViewerWindow(ManagerWindow &manager, ConnectionSession &session, SettingsStore &settings);
    ~RecordViewerWindow() override;

    bool fieldsMode() const { return m_fields; }
    void setFieldsMode(bool fields) { m_fields = fields; }
    QTableView *view() const { return m_view; }
    ResultTableModel *model() const { return m_model; }
    QMenu *menu() const { return m_menu; }

    // Shows the manager's current table in the current mode.
    void refill();
    QString copyText(bool selectedOnly) const;
    void copy(bool selectedOnly);
    void exportCsv();
    void deleteRows(bool selectedOnly);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Reads the table into the model; false when the server refused.
    bool load(const std::string &database, const std::string &table);

    ManagerWindow &m_manager;
    ConnectionSession &m_session;
    SettingsStore &m_settings;
    QTableView *m_view = nullptr;
    ResultTableModel *m_model = nullptr;
    QMenu *m_menu = nullptr;
    BusyCounter m_busy;
    bool m_fields = false;
};

} // namespace varnel::gui
