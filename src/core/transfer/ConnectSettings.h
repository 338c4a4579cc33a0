#pragma once

#include "mysql/ConnectOptions.h"

#include <optional>
#include <string>

namespace varnel {

class Form;

// The encryption the main form asks for (its mode and files). Nothing, with
// the reason in `problem`, when the mode is not one of the known names.
std::optional<ConnectOptions> connectOptionsOf(Form &form, std::string &problem);

} // namespace varnel
