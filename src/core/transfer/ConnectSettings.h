#pragma once

#include "mysql/ConnectOptions.h"

#include <optional>
#include <string>

namespace varnel {

class Form;

// The encryption the main form asks for (its mode and files). Nothing, with
// the reason in `problem`, when the mode is not one of the known names.
std::optional<ConnectOptions> connectOptionsOf(Form &form, std::string &problem);

// What a run says when it lost one server of the list and went on with the
// next.
std::string movedToServer(const std::string &lost, const std::string &now);

} // namespace varnel
