#pragma once

#include "form/Control.h"
#include "form/FormSpec.h"

#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace varnel {

class MemoryForm;

// A control that only holds its state: what varnel-cli works on, and what
// tests sweep.
class MemoryControl : public Control {
public:
    MemoryControl(MemoryForm *form, const ControlSpec &spec);

    std::string name() const override { return m_name; }
    std::string tag() const override { return m_tag; }
    void setTag(std::string_view tag) override { m_tag = std::string(tag); }
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }

    std::string text() const override { return m_text; }
    void setText(std::string_view text) override { m_text = std::string(text); }
    bool isChecked() const override { return m_checked; }
    void setChecked(bool checked) override;
    int currentIndex() const override { return m_index; }
    void setCurrentIndex(int index) override;
    std::vector<std::string> items() const override { return m_items; }
    void setItems(const std::vector<std::string> &items) override;
    std::string editText() const override { return m_editText; }
    void setEditText(std::string_view text) override { m_editText = std::string(text); }
    std::vector<int> selectedIndices() const override { return {m_selected.begin(), m_selected.end()}; }
    void select(int index) override;
    std::vector<int> tickedIndices() const override { return {m_ticked.begin(), m_ticked.end()}; }
    void tick(int index) override;
    std::uint32_t colour() const override { return m_colour; }
    void setColour(std::uint32_t colour) override { m_colour = colour; }

    ControlKind kind() const { return m_kind; }
    const std::string &group() const { return m_group; }

private:
    MemoryForm *m_form;
    std::string m_name;
    ControlKind m_kind;
    std::string m_group;
    std::string m_tag;
    bool m_enabled = true;
    std::string m_text;
    bool m_checked = false;
    int m_index = -1;
    std::vector<std::string> m_items;
    std::string m_editText;
    std::set<int> m_selected;
    std::set<int> m_ticked;
    std::uint32_t m_colour = 0;
};

// A window's controls and list held in memory, built from its design table
// with every first-run default in place.
class MemoryForm : public Form {
public:
    explicit MemoryForm(const FormSpec &spec);

    std::vector<Control *> controls() override;
    Control *control(std::string_view name) override { return memoryControl(name); }
    MemoryControl *memoryControl(std::string_view name);

    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    int columnCount() const override { return static_cast<int>(m_columns.size()); }
    std::string cell(int row, int column) const override;
    void clearRows() override { m_rows.clear(); }
    int appendRow() override;
    void removeRow(int row) override;
    void setCell(int row, int column, std::string_view text) override;

    const std::vector<std::string> &columnTitles() const { return m_columns; }
    const std::vector<std::vector<std::string>> &rows() const { return m_rows; }

    // Radio buttons of one group are exclusive, as on the window.
    void radioChecked(const MemoryControl *source);

private:
    std::vector<std::unique_ptr<MemoryControl>> m_controls;
    std::map<std::string, MemoryControl *, std::less<>> m_byName;
    std::vector<std::string> m_columns;
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace varnel
