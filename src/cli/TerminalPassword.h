#pragma once

#include <functional>
#include <optional>
#include <string>

namespace varnel::cli {

// Asks for a password on the terminal the program was started from, with
// the typing not echoed: "请输入 user@server 的密码：". Nothing when stdin is
// not a terminal, when the terminal closed, or when `stopped` said so while
// waiting (a signal asked the program to end).
std::optional<std::string> askPasswordOnTerminal(const std::string &login, const std::function<bool()> &stopped);

} // namespace varnel::cli
