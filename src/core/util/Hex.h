#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// Lower-case hex of the bytes, two digits each; and back (nothing for text
// that is not such hex).
std::string hexBytes(std::string_view bytes);
std::optional<std::string> bytesFromHex(std::string_view hex);

} // namespace varnel
