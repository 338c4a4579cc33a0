// The window sweep: every control's state saved under its window's section,
// keyed by the control's name, in definition order.
#include "settings/WindowSweep.h"

#include "form/Control.h"
#include "settings/SettingsStore.h"

#include "text/Charset.h"
#include "text/TextUtil.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <optional>

namespace varnel {
namespace {

constexpr std::string_view kNeverSave = "禁止保存";
constexpr std::string_view kByteMode = "字节集方式";

std::string indexList(const std::vector<int> &indices)
{
    std::string out;
    for (int i : indices) {
        if (!out.empty())
            out += ',';
        out += std::to_string(i);
    }
    return out;
}

// An integer from a stored number (fraction dropped); values no control can
// take (a damaged file) give INT_MIN, which callers ignore.
int toIndex(double value)
{
    if (!std::isfinite(value) || value < -1 || value > INT_MAX)
        return INT_MIN;
    return static_cast<int>(value); // fraction dropped
}

std::vector<int> parseIndexList(std::string_view text)
{
    std::vector<int> out;
    for (const std::string &piece : splitText(text, ",")) {
        const int index = toIndex(SettingsStore::parseNumber(piece));
        if (index != INT_MIN)
            out.push_back(index);
    }
    return out;
}

// Item lists in side files: each item's GB18030 bytes followed by a NUL.
std::string packItems(const std::vector<std::string> &items)
{
    std::string out;
    for (const std::string &item : items) {
        out += toGb18030(item);
        out.push_back('\0');
    }
    return out;
}

std::vector<std::string> unpackItems(std::string_view bytes)
{
    std::vector<std::string> items;
    for (const std::string &item : splitText(bytes, std::string_view("\0", 1)))
        items.push_back(fromGb18030(item));
    return items;
}

std::string bytesToText(std::string_view bytes)
{
    const auto nul = bytes.find('\0');
    return fromGb18030(bytes.substr(0, nul));
}

bool excluded(const std::string &name, const std::vector<std::string> &names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool validIndex(int index, std::size_t count)
{
    return index >= -1 && (index < 0 || static_cast<std::size_t>(index) < count);
}

// A control the sweep visits: its name, kind, tag and whether it is in byte
// mode.
struct Swept {
    std::string name;
    ControlKind kind;
    std::string tag;
    bool byteMode;
};

std::optional<Swept> sweptControl(const Control &c, const SweepOptions &options)
{
    std::string name = c.name();
    if (name.empty() || excluded(name, options.excludedNames))
        return std::nullopt;
    const ControlKind kind = controlKindOfName(name);
    if (kind == ControlKind::Other)
        return std::nullopt;
    std::string tag = c.tag();
    if (tag == kNeverSave)
        return std::nullopt;
    const bool byteMode = tag == kByteMode;
    return Swept{std::move(name), kind, std::move(tag), byteMode};
}

// Visits the controls the sweep takes, in definition order.
void sweep(SettingsStore &store, Form &form, std::string_view section, const SweepOptions &options,
    const std::function<void(Control *, const Swept &)> &visit)
{
    if (!section.empty())
        store.setSection(section);
    for (Control *c : form.controls()) {
        if (const auto swept = sweptControl(*c, options))
            visit(c, *swept);
    }
}

} // namespace

void saveWindowState(SettingsStore &store, Form &form, std::string_view section, const SweepOptions &options)
{
    const SettingsStore::Batch batch(store);
    sweep(store, form, section, options, [&](Control *c, const Swept &swept) {
        const auto &[name, kind, tag, byteMode] = swept;
        switch (kind) {
        case ControlKind::Button:
            if (byteMode)
                store.writeBytes(name + ".标记", toGb18030(tag));
            else
                store.writeText(name + ".标记", tag);
            break;
        case ControlKind::EditBox:
            if (byteMode)
                store.writeBytes(name, toGb18030(c->text()));
            else
                store.writeText(name, c->text());
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            store.writeBool(name, c->isChecked());
            break;
        case ControlKind::ComboBox:
            store.writeNumber(name, c->currentIndex());
            if (options.comboItems)
                store.writeBytes(name + ".列表", packItems(c->items()));
            if (options.comboText)
                store.writeText(name + ".内容", c->editText());
            break;
        case ControlKind::ListBox:
            store.writeBytes(name, packItems(c->items()));
            store.writeText(name + ".选中", indexList(c->selectedIndices()));
            break;
        case ControlKind::TickListBox:
            store.writeBytes(name, packItems(c->items()));
            store.writeNumber(name + ".选中", c->currentIndex());
            store.writeText(name + ".打勾", indexList(c->tickedIndices()));
            break;
        case ControlKind::ColourPicker:
            store.writeNumber(name, c->colour());
            break;
        case ControlKind::Other:
            break;
        }
    });
}

void restoreWindowState(SettingsStore &store, Form &form, std::string_view section, const SweepOptions &options)
{
    sweep(store, form, section, options, [&](Control *c, const Swept &swept) {
        const auto &[name, kind, tag, byteMode] = swept;
        switch (kind) {
        case ControlKind::Button:
            if (byteMode)
                c->setTag(bytesToText(store.readBytes(name + ".标记", toGb18030(tag))));
            else
                c->setTag(store.readText(name + ".标记", tag));
            break;
        case ControlKind::EditBox:
            if (byteMode)
                c->setText(bytesToText(store.readBytes(name, toGb18030(c->text()))));
            else
                c->setText(store.readText(name, c->text()));
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            c->setChecked(store.readBool(name, c->isChecked()));
            break;
        case ControlKind::ComboBox: {
            const int index = toIndex(store.readNumber(name, c->currentIndex()));
            if (validIndex(index, c->items().size()))
                c->setCurrentIndex(index);
            if (options.comboItems)
                c->setItems(unpackItems(store.readBytes(name + ".列表", packItems(c->items()))));
            if (options.comboText)
                c->setEditText(store.readText(name + ".内容", c->editText()));
            break;
        }
        case ControlKind::ListBox: {
            c->setItems(unpackItems(store.readBytes(name, packItems(c->items()))));
            const auto count = c->items().size();
            for (int index : parseIndexList(store.readText(name + ".选中", indexList(c->selectedIndices())))) {
                if (index >= 0 && static_cast<std::size_t>(index) < count)
                    c->select(index);
            }
            break;
        }
        case ControlKind::TickListBox: {
            c->setItems(unpackItems(store.readBytes(name, packItems(c->items()))));
            const auto count = c->items().size();
            const int current = toIndex(store.readNumber(name + ".选中", c->currentIndex()));
            if (validIndex(current, count))
                c->setCurrentIndex(current);
            for (int index : parseIndexList(store.readText(name + ".打勾", indexList(c->tickedIndices())))) {
                if (index >= 0 && static_cast<std::size_t>(index) < count)
                    c->tick(index);
            }
            break;
        }
        case ControlKind::ColourPicker: {
            const double value = store.readNumber(name, c->colour());
            if (std::isfinite(value) && value >= 0 && value <= 0xFFFFFFFF)
                c->setColour(static_cast<std::uint32_t>(value));
            break;
        }
        case ControlKind::Other:
            break;
        }
    });
}

} // namespace varnel
