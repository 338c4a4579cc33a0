#include "form/Control.h"

#include <cstdio>
#include <cstdlib>

#include <array>
#include <utility>

namespace varnel {

Form::~Form()
{
    if (m_inUse > 0) {
        std::fputs("varnel: a form was destroyed while a run was using it\n", stderr);
        std::abort();
    }
}

ControlKind controlKindOfName(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, ControlKind>, 8> kPrefixes = {{
        {"按钮", ControlKind::Button},
        {"编辑框", ControlKind::EditBox},
        {"选择框", ControlKind::CheckBox},
        {"单选框", ControlKind::RadioButton},
        {"组合框", ControlKind::ComboBox},
        {"列表框", ControlKind::ListBox},
        {"选择列表框", ControlKind::TickListBox},
        {"颜色选择器", ControlKind::ColourPicker},
    }};
    for (const auto &[prefix, kind] : kPrefixes) {
        if (name.starts_with(prefix))
            return kind;
    }
    return ControlKind::Other;
}

Control *Form::control(std::string_view name)
{
    for (Control *c : controls()) {
        if (c->name() == name)
            return c;
    }
    return nullptr;
}

std::string controlText(Form &form, std::string_view name)
{
    const Control *c = form.control(name);
    return c ? c->text() : std::string();
}

bool controlChecked(Form &form, std::string_view name)
{
    const Control *c = form.control(name);
    return c && c->isChecked();
}

int controlIndex(Form &form, std::string_view name)
{
    const Control *c = form.control(name);
    return c ? c->currentIndex() : -1;
}

} // namespace varnel
