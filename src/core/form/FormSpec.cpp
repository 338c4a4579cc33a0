#include "form/FormSpec.h"

namespace varnel {

const ControlSpec *findControlSpec(const FormSpec &form, std::string_view name)
{
    for (const ControlSpec &c : form.controls) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

} // namespace varnel
