#include "text/TextBetween.h"

#include "text/TextUtil.h"

#include <algorithm>

namespace varnel {
namespace {

struct Found {
    std::int64_t head = 0; // 1-based
    std::int64_t tail = 0; // 1-based
};

std::size_t startIndex(std::int64_t position)
{
    return position <= 0 ? 0 : static_cast<std::size_t>(position - 1);
}

bool findForward(
    std::string_view text, std::string_view head, std::string_view tail, std::int64_t position, Found &found)
{
    const std::size_t h = findNoCase(text, head, startIndex(position));
    if (h == npos)
        return false;
    const std::size_t t = findNoCase(text, tail, h + head.size());
    if (t == npos)
        return false;
    found = {static_cast<std::int64_t>(h) + 1, static_cast<std::int64_t>(t) + 1};
    return true;
}

bool findBackward(std::string_view text, std::string_view head, std::string_view tail, std::int64_t position,
    std::int64_t &bound, Found &found)
{
    const std::size_t t = findNoCase(text, tail, startIndex(position));
    if (t == npos)
        return false;
    const std::size_t h = rfindNoCase(text, head, t);
    const std::int64_t tail1 = static_cast<std::int64_t>(t) + 1;
    const std::int64_t head1 = h == npos ? 0 : static_cast<std::int64_t>(h) + 1;
    const bool ok = head1 > bound;
    bound = tail1;
    if (!ok)
        return false;
    found = {head1, tail1};
    return true;
}

} // namespace

std::string TextBetween(std::string_view text, std::string_view head, std::string_view tail, std::int64_t &position,
    const TextBetweenOptions &options, std::int64_t *bound)
{
    if (position == kNothingMore)
        return {};

    std::string headText(head);
    std::string tailText(tail);
    if (!options.rawMarkers) {
        headText = replaceAll(headText, "''", "\"");
        tailText = replaceAll(tailText, "''", "\"");
    }

    // Markers for "from the start" and "to the end" are put around the text,
    // so positions refer to the text with them in place.
    std::string framed;
    std::string_view subject = text;
    if (headText.empty() || tailText.empty()) {
        if (headText.empty()) {
            headText = kHeadMarker;
            framed = headText;
        }
        framed.append(text);
        if (tailText.empty()) {
            tailText = kTailMarker;
            framed.append(tailText);
        }
        subject = framed;
    }

    std::int64_t localBound = 0;
    std::int64_t &boundRef = bound ? *bound : localBound;
    const std::int64_t start = position;
    Found found;
    bool ok = false;
    for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
        if (attempt == 1) {
            // Without quotes the second attempt can only repeat the first one's
            // failure (a backward search has already moved its bound).
            if (headText.find('"') == npos && tailText.find('"') == npos)
                break;
            std::erase(headText, '"');
            std::erase(tailText, '"');
            if (headText.empty() || tailText.empty())
                break;
            position = start;
        }
        ok = options.backward ? findBackward(subject, headText, tailText, position, boundRef, found)
                              : findForward(subject, headText, tailText, position, found);
    }
    if (!ok) {
        position = kNothingMore;
        return {};
    }

    position = found.tail + static_cast<std::int64_t>(tailText.size());
    const std::int64_t from = found.head + static_cast<std::int64_t>(headText.size()) + options.startShift;
    const std::int64_t length = found.tail - (from + options.endShift);
    if (length <= 0)
        return {};
    const std::int64_t size = static_cast<std::int64_t>(subject.size());
    const std::int64_t begin = std::max<std::int64_t>(from, 1) - 1;
    if (begin >= size)
        return {};
    const std::int64_t count = std::min(length - (begin - (from - 1)), size - begin);
    if (count <= 0)
        return {};
    return std::string(subject.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(count)));
}

std::string TextBetween(std::string_view text, std::string_view head, std::string_view tail)
{
    std::int64_t position = 0;
    return TextBetween(text, head, tail, position);
}

} // namespace varnel
