#include "settings/IniText.h"

#include "text/TextUtil.h"

#include <string>

namespace varnel {

std::size_t findSectionHeader(std::string_view text, std::string_view header, std::size_t from)
{
    for (;;) {
        const std::size_t at = text.find(header, from);
        if (at == npos || startsLine(text, at))
            return at;
        from = at + 1;
    }
}

std::size_t findEntry(std::string_view text, std::size_t headerEnd, std::string_view key)
{
    std::string needle(kIniLineBreak);
    needle += key;
    needle += '=';
    const std::size_t entry = text.find(needle, headerEnd + 1);
    if (entry == npos)
        return npos;
    // A header line between the section's header and the entry means the
    // entry belongs to another section.
    for (std::size_t q = text.find("\r\n[", headerEnd + 1); q != npos && q < entry; q = text.find("\r\n[", q + 2)) {
        const std::size_t lineEnd = text.find(kIniLineBreak, q + 2);
        if (lineEnd != npos && lineEnd - 1 > q + 2 && text[lineEnd - 1] == ']')
            return npos;
    }
    return entry;
}

ValueSpan entryValue(std::string_view text, std::size_t entry, std::string_view key)
{
    ValueSpan span;
    span.start = entry + kIniLineBreak.size() + key.size() + 1;
    span.end = text.find(kIniLineBreak, span.start);
    if (span.end == npos)
        span.end = text.size();
    return span;
}

} // namespace varnel
