#include "form/MemoryForm.h"

namespace varnel {

MemoryControl::MemoryControl(MemoryForm *form, const ControlSpec &spec)
    : m_form(form)
    , m_name(spec.name)
    , m_kind(spec.kind)
    , m_group(spec.group)
    , m_enabled(spec.enabled)
    , m_text(spec.kind == ControlKind::EditBox ? spec.text : spec.caption)
    , m_checked(spec.checked)
    , m_index(spec.index)
    , m_items(spec.items)
{
}

void MemoryControl::setChecked(bool checked)
{
    m_checked = checked;
    if (checked && m_kind == ControlKind::RadioButton && m_form)
        m_form->radioChecked(this);
}

void MemoryControl::setCurrentIndex(int index)
{
    // As a drop-down list does: an index it does not have selects nothing.
    m_index = (index >= 0 && static_cast<std::size_t>(index) < m_items.size()) ? index : -1;
}

void MemoryControl::setItems(const std::vector<std::string> &items)
{
    m_items = items;
    if (m_index >= static_cast<int>(m_items.size()))
        m_index = -1;
    std::erase_if(m_selected, [&](int i) { return i >= static_cast<int>(m_items.size()); });
    std::erase_if(m_ticked, [&](int i) { return i >= static_cast<int>(m_items.size()); });
}

void MemoryControl::select(int index)
{
    if (index >= 0 && static_cast<std::size_t>(index) < m_items.size())
        m_selected.insert(index);
}

void MemoryControl::tick(int index)
{
    if (index >= 0 && static_cast<std::size_t>(index) < m_items.size())
        m_ticked.insert(index);
}

MemoryForm::MemoryForm(const FormSpec &spec)
    : m_columns(spec.columns)
{
    for (const ControlSpec &c : spec.controls) {
        m_controls.push_back(std::make_unique<MemoryControl>(this, c));
        m_byName.emplace(c.name, m_controls.back().get());
    }
}

std::vector<Control *> MemoryForm::controls()
{
    std::vector<Control *> out;
    out.reserve(m_controls.size());
    for (auto &c : m_controls)
        out.push_back(c.get());
    return out;
}

MemoryControl *MemoryForm::memoryControl(std::string_view name)
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second;
}

std::string MemoryForm::cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int MemoryForm::appendRow()
{
    m_rows.emplace_back(m_columns.size());
    return rowCount() - 1;
}

void MemoryForm::removeRow(int row)
{
    if (row >= 0 && row < rowCount())
        m_rows.erase(m_rows.begin() + row);
}

void MemoryForm::setCell(int row, int column, std::string_view text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::string(text);
}

void MemoryForm::radioChecked(const MemoryControl *source)
{
    if (source->group().empty())
        return;
    for (auto &c : m_controls) {
        if (c.get() != source && c->kind() == ControlKind::RadioButton && c->group() == source->group())
            c->setChecked(false);
    }
}

} // namespace varnel
