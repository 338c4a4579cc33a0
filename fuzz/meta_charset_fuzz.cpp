// metaCharset on arbitrary pages: no crash or hang, and a plain model of the
// scan: the head (or the whole page), each "<meta" ... ">" in turn, the first
// that names one of the charsets decides.
#include "FuzzSupport.h"
#include "text/MetaCharset.h"
#include "text/TextUtil.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string_view between(std::string_view text, std::string_view head, std::string_view tail, std::size_t &from)
{
    const std::size_t h = varnel::findNoCase(text, head, from);
    if (h == varnel::npos)
        return {};
    const std::size_t t = varnel::findNoCase(text, tail, h + head.size());
    if (t == varnel::npos)
        return {};
    from = t + tail.size();
    return text.substr(h + head.size(), t - h - head.size());
}

varnel::MetaCharset model(std::string_view html)
{
    std::size_t from = 0;
    const std::string_view head = between(html, "<head>", "</head>", from);
    std::string_view section = head.empty() ? html : head;
    static const std::array<std::array<std::string_view, 3>, 3> names = {{
        {"charset=UTF-8", "charset=\"UTF-8\"", "charset='UTF-8'"},
        {"charset=Big5", "charset=\"Big5\"", "charset='Big5'"},
        {"charset=Big5-HKSCS", "charset=\"Big5-HKSCS\"", "charset='Big5-HKSCS'"},
    }};
    from = 0;
    for (;;) {
        const std::size_t before = from;
        const std::string_view tag = between(section, "<meta", ">", from);
        if (from == before || tag.empty())
            return varnel::MetaCharset::None;
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (std::string_view name : names[i]) {
                if (varnel::containsNoCase(tag, name))
                    return static_cast<varnel::MetaCharset>(i + 1);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view html(reinterpret_cast<const char *>(data), size);
    const varnel::MetaCharset found = varnel::metaCharset(html);
    VARNEL_FUZZ_CHECK(found == model(html), "metaCharset differs from the plain scan");
    if (!varnel::containsNoCase(html, "<meta"))
        VARNEL_FUZZ_CHECK(found == varnel::MetaCharset::None, "a charset without any <meta");
    return 0;
}
