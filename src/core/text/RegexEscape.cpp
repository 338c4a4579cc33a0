#include "text/RegexMatcher.h"
#include "text/TextUtil.h"

namespace varnel {
namespace {

// Every character of the list, in order, gets a backslash in front. The
// backslash is always first, so the ones added later are not doubled.
std::string escapeChars(std::string_view text, std::string_view chars)
{
    std::string out(text);
    for (char c : chars) {
        const char find[2] = {c, '\0'};
        const char replacement[3] = {'\\', c, '\0'};
        out = replaceAll(out, find, replacement);
    }
    return out;
}

} // namespace

std::string escapeWildcard(std::string_view text)
{
    std::string out = escapeChars(text, "\\^$+.{}[]=()-\"");
    out = replaceAll(out, "*", ".*");
    return replaceAll(out, "?", ".?");
}

std::string escapeAll(std::string_view text)
{
    return escapeChars(text, "\\^$+.{}[]=()?*|\"");
}

std::string escapeKeepAlternation(std::string_view text)
{
    return escapeChars(text, "\\^$+.{}[]=()?*\"");
}

std::string escapeKeepGroups(std::string_view text)
{
    return escapeChars(text, "\\^$+.{}[]=?*\"");
}

} // namespace varnel
