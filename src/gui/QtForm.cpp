#include "gui/QtForm.h"

#include "gui/QtControl.h"
#include "gui/QtText.h"

#include "gui/MouseButtons.h"
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace varnel::gui {

QtForm::QtForm(const FormSpec &spec, QWidget *owner)
    : m_columns(spec.columns)
{
    for (const ControlSpec &c : spec.controls) {
        const QString name = qs(c.name);
        std::unique_ptr<QtControl> control;
        switch (c.kind) {
        case ControlKind::Button: {
            auto *b = new RightButton(owner);
            b->setObjectName(name);
            control = std::make_unique<ButtonControl>(b);
            control->setText(c.caption);
            break;
        }
        case ControlKind::EditBox: {
            auto *e = new QLineEdit(owner);
            e->setObjectName(name);
            control = std::make_unique<LineEditControl>(e);
            control->setText(c.text);
            break;
        }
        case ControlKind::CheckBox: {
            auto *b = new QCheckBox(owner);
            b->setObjectName(name);
            control = std::make_unique<CheckControl>(b);
            control->setText(c.caption);
            control->setChecked(c.checked);
            break;
        }
        case ControlKind::RadioButton: {
            auto *b = new QRadioButton(owner);
            b->setObjectName(name);
            b->setAutoExclusive(false);
            QButtonGroup *&group = m_groups[c.group.empty() ? c.name : c.group];
            if (!group) {
                group = new QButtonGroup(owner);
                group->setExclusive(true);
            }
            group->addButton(b);
            control = std::make_unique<CheckControl>(b, group);
            control->setText(c.caption);
            control->setChecked(c.checked);
            break;
        }
        case ControlKind::ComboBox: {
            auto *combo = new QComboBox(owner);
            combo->setObjectName(name);
            control = std::make_unique<ComboControl>(combo);
            control->setItems(c.items);
            control->setCurrentIndex(c.index);
            break;
        }
        default: {
            auto *w = new QWidget(owner);
            w->setObjectName(name);
            control = std::make_unique<QtControl>(w);
            break;
        }
        }
        control->setEnabled(c.enabled);
        m_byName.emplace(c.name, control.get());
        m_controls.push_back(std::move(control));
    }
}

QtForm::~QtForm() = default;

std::vector<Control *> QtForm::controls()
{
    std::vector<Control *> out;
    out.reserve(m_controls.size());
    for (auto &c : m_controls) {
        if (c->widget())
            out.push_back(c.get());
    }
    return out;
}

Control *QtForm::control(std::string_view name)
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() || !it->second->widget() ? nullptr : it->second;
}

QWidget *QtForm::widget(std::string_view name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second->widget();
}

int QtForm::rowCount() const
{
    return m_list ? m_list->topLevelItemCount() : 0;
}

std::string QtForm::cell(int row, int column) const
{
    if (!m_list || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return u8(m_list->topLevelItem(row)->text(column));
}

void QtForm::clearRows()
{
    if (m_list)
        m_list->clear();
}

int QtForm::appendRow()
{
    if (!m_list)
        return -1;
    new QTreeWidgetItem(m_list);
    return rowCount() - 1;
}

void QtForm::removeRow(int row)
{
    if (m_list && row >= 0 && row < rowCount())
        delete m_list->takeTopLevelItem(row);
}

void QtForm::setCell(int row, int column, std::string_view text)
{
    if (!m_list || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_list->topLevelItem(row)->setText(column, qs(text));
}

} // namespace varnel::gui
