#pragma once

#include "util/Result.h"

#include "mysql/ConnectOptions.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class Form;

// The encryption the main form asks for (its mode and files). Nothing, with
// the reason in `problem`, when the mode is not one of the known names.
Result<ConnectOptions> connectOptionsOf(Form &form);

// What to check after a connect refused over encryption (isTlsRefusal() of
// its number, mysql/ConnectErrors.h), one point a line: whether the server
// offers encryption at all (have_ssl), the CA its certificate must be issued
// by, the host name it must be made out to, the option files. `server` is
// the server field.
std::string tlsAdvice(unsigned errorNumber, const ConnectOptions &options, std::string_view server);

// What a run says when it lost one server of the list and went on with the
// next.
std::string movedToServer(const std::string &lost, const std::string &now);

} // namespace varnel
