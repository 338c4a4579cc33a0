#pragma once

#include <QGroupBox>
#include <QList>

#include <functional>
#include <string>
#include <string_view>

class QPoint;
class QTabWidget;

namespace varnel::gui {

class MappingList;
class QtForm;

// The field mapping of the main window: the list of rules, the editor row
// (field name, data source, 添加, 修改, 删除) and the thirteen option pages,
// one per data source. The editors always hold the current row or nothing.
class MappingEditorPanel : public QGroupBox {
    Q_OBJECT
public:
    // focusOther brings a control of the form that is not in the panel to
    // the front with the focus.
    MappingEditorPanel(QtForm &form, std::function<void(std::string_view)> focusOther, QWidget *parent = nullptr);
    // The list's model and the key box are left before the list goes with
    // the widget: their signals must not reach a panel half destroyed.
    ~MappingEditorPanel() override;

    MappingList *list() const { return m_list; }
    QTabWidget *pages() const { return m_pages; }

    void showPage(int index);
    // The page of the source the source box shows.
    void showChosenPage();
    // Rows changed by a restore, a configuration file or the table's fields
    // are not "chosen" by the user: the editors keep what they hold.
    void changeRowsQuietly(const std::function<void()> &change);
    // The focus to a control of the form; the list by its name as well.
    void focusControl(std::string_view name);

    // The actions behind the editor's buttons.
    void addOrModify(bool modify);
    void deleteCurrent();
    void clearAll();
    void editPhrases();
    // The row's field becomes the key column, or stops being it.
    void toggleKey(int row);

private:
    void buildPages();
    void wire();
    void rowChanged();
    void showCurrentRule();
    void applyRuleResult(int currentRow, const std::string &focusName);
    void rowMenu(const QPoint &at);
    void markKey();

    QtForm &m_form;
    std::function<void(std::string_view)> m_focusOther;
    MappingList *m_list = nullptr;
    QTabWidget *m_pages = nullptr;
    bool m_quiet = false;
    bool m_marking = false;
    QList<QMetaObject::Connection> m_keyMarks;
};

} // namespace varnel::gui
