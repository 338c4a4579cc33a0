#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

enum class MetaCharset { None = 0, Utf8 = 1, Big5 = 2, Big5Hkscs = 3 };

// The charset an HTML page declares in a <meta> tag of its head (of the whole
// text when it has no head), as far as the program distinguishes them.
MetaCharset metaCharset(std::string_view html);

// The page with every charset its meta tags declare (in the tags metaCharset
// looks at, "charset=" in any case and quoting) set to `charset`, leaving a
// declaration of the same encoding as it is; nothing when no declaration
// needed a change. The declarations that name the same decoder are given
// as `sameEncoding` (lower case), `charset` among them.
std::optional<std::string> withMetaCharset(
    std::string_view html, std::string_view charset, std::initializer_list<std::string_view> sameEncoding);

} // namespace varnel
