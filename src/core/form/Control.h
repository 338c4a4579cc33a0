#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The kinds of control the window sweep knows, taken from the prefix of the
// control's name.
enum class ControlKind { Button, EditBox, CheckBox, RadioButton, ComboBox, ListBox, TickListBox, ColourPicker, Other };

// The kind by name prefix, tried in the sweep's order; Other when none fits.
ControlKind controlKindOfName(std::string_view name);

// One control of a window as the persistence sweep and the engines see it.
// A Qt widget adapter and an in-memory control both implement it; each kind
// uses only its own accessors, the others keep their harmless defaults.
class Control {
public:
    virtual ~Control() = default;

    virtual std::string name() const = 0;
    virtual std::string tag() const = 0;
    virtual void setTag(std::string_view tag) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;

    // Edit box content; the caption of buttons, check and radio boxes.
    virtual std::string text() const { return {}; }
    virtual void setText(std::string_view) { }

    // Check box and radio button.
    virtual bool isChecked() const { return false; }
    virtual void setChecked(bool) { }

    // Combo box and tick list box: the current item, -1 for none.
    virtual int currentIndex() const { return -1; }
    virtual void setCurrentIndex(int) { }

    // Combo box, list box, tick list box.
    virtual std::vector<std::string> items() const { return {}; }
    virtual void setItems(const std::vector<std::string> &) { }

    // Combo box edit text.
    virtual std::string editText() const { return {}; }
    virtual void setEditText(std::string_view) { }

    // List box: selection. select() adds to it and clears nothing.
    virtual std::vector<int> selectedIndices() const { return {}; }
    virtual void select(int) { }

    // Tick list box: ticks. tick() adds one and clears nothing.
    virtual std::vector<int> tickedIndices() const { return {}; }
    virtual void tick(int) { }

    // Colour picker.
    virtual std::uint32_t colour() const { return 0; }
    virtual void setColour(std::uint32_t) { }
};

// A window's persisted state: its controls in definition order, and the one
// list of text rows it keeps (the field mapping or the column list).
//
// A run of an engine reads its form (and the controls it finds there) for as
// long as it lasts, with events handled in between: a form must outlive every
// run on it, and a window is closed only after its runs have ended. Runs mark
// their form in use, and destroying a form in use ends the program rather
// than letting a run read freed memory.
class Form {
public:
    virtual ~Form();
    // Held by each run on the form (see RunGuard).
    void beginUse() { ++m_inUse; }
    void endUse() { --m_inUse; }
    bool inUse() const { return m_inUse > 0; }

    // The controls that currently exist, in definition order.
    virtual std::vector<Control *> controls() = 0;
    // The control of that name, or null.
    virtual Control *control(std::string_view name);

    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    virtual std::string cell(int row, int column) const = 0;
    virtual void clearRows() = 0;
    // Appends an empty row and returns its index.
    virtual int appendRow() = 0;
    virtual void removeRow(int row) = 0;
    virtual void setCell(int row, int column, std::string_view text) = 0;

private:
    int m_inUse = 0;
};

// The text of a control, empty when the form has no such control.
std::string controlText(Form &form, std::string_view name);
// Whether a check or radio box is ticked; false when there is none.
bool controlChecked(Form &form, std::string_view name);
// The current item of a combo box, -1 when there is none.
int controlIndex(Form &form, std::string_view name);

} // namespace varnel
