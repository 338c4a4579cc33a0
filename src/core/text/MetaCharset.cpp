#include "text/MetaCharset.h"

#include "text/TextBetween.h"
#include "text/TextUtil.h"

#include <array>
#include <string>
#include <vector>

namespace varnel {
namespace {

// Each list is one text: its entries joined by "[fg]", a double quote written
// as two single quotes. Big5 is tested before Big5-HKSCS, so an
// unquoted "charset=Big5-HKSCS" counts as Big5.
constexpr std::array<std::string_view, 3> kCharsetLists = {
    "charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'",
    "charset=Big5[fg]charset=''Big5''[fg]charset='Big5'",
    "charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'",
};

const std::array<std::vector<std::string>, 3> &charsetLists()
{
    static const auto lists = [] {
        std::array<std::vector<std::string>, 3> out;
        for (std::size_t i = 0; i < kCharsetLists.size(); ++i)
            out[i] = splitText(replaceAll(kCharsetLists[i], "''", "\""), "[fg]");
        return out;
    }();
    return lists;
}

} // namespace

MetaCharset metaCharset(std::string_view html)
{
    std::string head = TextBetween(html, "<head>", "</head>");
    const std::string_view section = head.empty() ? html : std::string_view(head);

    const auto &lists = charsetLists();
    std::int64_t position = 0;
    for (;;) {
        const std::string tag = TextBetween(section, "<meta", ">", position);
        if (tag.empty())
            return MetaCharset::None;
        for (std::size_t i = 0; i < lists.size(); ++i) {
            for (const std::string &entry : lists[i]) {
                if (containsNoCase(tag, entry))
                    return static_cast<MetaCharset>(i + 1);
            }
        }
    }
}

} // namespace varnel
