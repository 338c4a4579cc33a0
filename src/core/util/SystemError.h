#pragma once

#include <string>
#include <system_error>

namespace varnel {

// What an errno value means, in Chinese, for a person reading a message.
// The values a file or folder operation meets have their own text; any other
// keeps the system's (English) text and its number, so it can still be
// looked up: "Operation not supported (错误 95)".
std::string systemErrorText(int errnoValue);

// The same for an error code: one of the operating system's by its errno
// value, any other category by its own message.
std::string systemErrorText(const std::error_code &error);

} // namespace varnel
