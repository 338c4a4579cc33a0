#pragma once

#include <string_view>

namespace varnel {

enum class MetaCharset { None = 0, Utf8 = 1, Big5 = 2, Big5Hkscs = 3 };

// The charset an HTML page declares in a <meta> tag of its head (of the whole
// text when it has no head), as far as the program distinguishes them.
MetaCharset metaCharset(std::string_view html);

} // namespace varnel
