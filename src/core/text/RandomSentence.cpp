#include "text/RandomSentence.h"

#include "text/Charset.h"
#include "text/RegexMatcher.h"
#include "text/TextUtil.h"

#include <numeric>

namespace varnel {

const std::string_view kSentenceDelimiters = ",，。！!？?;；<>/:：()='. {}《》（）、‘’- \"“”\r\n";

namespace {

constexpr std::int64_t kMinimumSentence = 10;

// "\r\n|\r|\n|\. |[...]": line breaks and ". " are cut as one unit each, every
// other delimiter character on its own.
std::string delimiterPattern()
{
    std::string chars;
    std::string_view list = kSentenceDelimiters;
    list.remove_suffix(2); // CR LF are handled as line breaks
    chars = escapeWildcard(list);
    // escapeWildcard turns "?" into ".?", which has no place in a class.
    chars = replaceAll(chars, ".?", "?");
    return "\\r\\n|\\r|\\n|\\. |[" + chars + "]";
}

struct SentencePatterns {
    RegexMatcher blanks;
    RegexMatcher delimiters;

    SentencePatterns()
    {
        blanks.compile("^[　 \\t]*$(\\r\\n)|^[ 　\\t]+|[ 　\\t]+$");
        delimiters.compile(delimiterPattern());
    }
};

} // namespace

std::string randomSentence(std::string_view text, RandomSource &random, const EventPump &pump)
{
    thread_local SentencePatterns patterns;
    random.reseed();

    std::string t = removeTags(text);
    t = patterns.blanks.replaceAll(t, "");
    t = patterns.delimiters.replaceAll(t, kPieceMarker);
    const std::vector<std::string> pieces = splitText(t, kPieceMarker);
    if (pieces.empty())
        return {};

    // Visit every piece once, in random order.
    std::vector<std::size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = order.size(); i > 1; --i) {
        const auto j = static_cast<std::size_t>(random.between(0, static_cast<std::int64_t>(i - 1)));
        std::swap(order[i - 1], order[j]);
    }
    for (std::size_t index : order) {
        varnel::pump(pump);
        const std::string_view trimmed = trimSpaces(pieces[index]);
        if (!trimmed.empty() && static_cast<std::int64_t>(codePointCount(trimmed)) >= kMinimumSentence)
            return std::string(trimmed);
    }
    const auto any = random.between(0, static_cast<std::int64_t>(pieces.size()) - 1);
    return pieces[static_cast<std::size_t>(any)];
}

} // namespace varnel
