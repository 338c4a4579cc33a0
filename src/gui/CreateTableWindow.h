#pragma once

#include "gui/BusyScope.h"
#include "gui/QtForm.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <string>
#include <string_view>

class QComboBox;
class QGroupBox;

namespace varnel {
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class ConnectionSession;
class MainNames;
class MappingList;

// The table creation window: a list of fields with their types, then a
// database and a table made with them under the names the main window
// shows (owner: the main window, which closes it when the connection goes);
// its state lives in the settings store, section "新建表".
class CreateTableWindow : public QWidget {
    Q_OBJECT
public:
    CreateTableWindow(QWidget *owner, MainNames &names, ConnectionSession &session, SettingsStore &settings);
    ~CreateTableWindow() override;

    QtForm &form() { return *m_form; }
    MappingList *fieldList() const { return m_list; }
    QComboBox *typeBox() const { return m_types; }
    QGroupBox *fieldGroup() const { return m_group; }

    // The value a type item keeps (a varchar length, an enum or set value
    // list).
    QString storedValue(int index) const;
    void setStoredValue(int index, const QString &value);

    // The actions behind the controls, for the controls and for tests.
    void typeChosen(int index); // by the user: asks for the length or values
    void addOrModify(bool modify);
    void deleteCurrent();
    void clearAll();
    void create();
    void importConfig();
    void exportConfig();
    void dropPaths(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildLayout();
    void fillTypes();
    void rowChanged();
    void applyResult(int currentRow, const std::string &focusName);

    MainNames &m_names;
    ConnectionSession &m_session;
    SettingsStore &m_settings;
    std::unique_ptr<QtForm> m_form;
    BusyCounter m_busy;
    QGroupBox *m_group = nullptr;
    MappingList *m_list = nullptr;
    QComboBox *m_types = nullptr;
    bool m_suppressRowLoad = false;
    bool m_closing = false;
};

} // namespace varnel::gui
