#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// What is wrong with a new table name, as the message that says so; nothing
// when the name may be used. A name starts with an ASCII letter, a dot or a
// character beyond ASCII, and holds only ASCII letters and digits and the
// CJK ideographs U+4E00 to U+9FA5 (so no underscore, space or punctuation).
// The name is UTF-8; a byte that starts no valid character is refused like
// punctuation.
std::optional<std::string> tableNameProblem(std::string_view name);

} // namespace varnel
