#pragma once

#include "form/Control.h"
#include "form/FormSpec.h"

#include <QPointer>
#include <QString>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;

class QWidget;

namespace varnel::gui {

class QtControl;

// A window's Form over Qt widgets. The widgets of its design table are made
// here, in definition order, each with the control's name as its object name
// and the design's caption, default, items and enabling; the window then
// places them in its layouts. The rows are those of the window's one list.
class QtForm : public Form {
public:
    // Widgets are made as children of `owner`. Radio buttons of one design
    // group are exclusive through a button group of their own, wherever the
    // layout puts them.
    QtForm(const FormSpec &spec, QWidget *owner);
    ~QtForm() override;

    std::vector<Control *> controls() override;
    Control *control(std::string_view name) override;

    QWidget *widget(std::string_view name) const;
    template <typename T> T *widgetAs(std::string_view name) const { return qobject_cast<T *>(widget(name)); }

    // The list whose rows the form holds (none: no rows).
    void setList(QTreeWidget *list) { m_list = list; }
    QTreeWidget *list() const { return m_list; }

    int rowCount() const override;
    int columnCount() const override { return static_cast<int>(m_columns.size()); }
    std::string cell(int row, int column) const override;
    void clearRows() override;
    int appendRow() override;
    void removeRow(int row) override;
    void setCell(int row, int column, std::string_view text) override;

    const std::vector<std::string> &columnTitles() const { return m_columns; }

private:
    std::vector<std::unique_ptr<QtControl>> m_controls;
    std::map<std::string, QtControl *, std::less<>> m_byName;
    std::map<std::string, QButtonGroup *> m_groups;
    std::vector<std::string> m_columns;
    QPointer<QTreeWidget> m_list;
};

} // namespace varnel::gui
