#include "design/ControlValues.h"

#include "form/Control.h"
#include "mapping/FieldRule.h"

namespace varnel {

bool applySetting(Form &form, const std::string &name, const std::string &value, std::string &error)
{
    Control *c = form.control(name);
    if (!c) {
        error = "no control named " + name;
        return false;
    }
    switch (controlKindOfName(name)) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        c->setChecked(value == "真" || value == "1" || value == "true" || value == "yes");
        return true;
    case ControlKind::ComboBox: {
        const auto items = c->items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == value) {
                c->setCurrentIndex(static_cast<int>(i));
                return true;
            }
        }
        const std::int64_t index = optionInteger(value);
        if (value.empty() || std::to_string(index) != value || index < 0
            || static_cast<std::size_t>(index) >= items.size()) {
            error = name + " has no item " + value;
            return false;
        }
        c->setCurrentIndex(static_cast<int>(index));
        return true;
    }
    case ControlKind::Button:
        c->setTag(value);
        return true;
    default:
        c->setText(value);
        return true;
    }
}

} // namespace varnel
