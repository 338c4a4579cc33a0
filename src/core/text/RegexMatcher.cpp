#include "text/RegexMatcher.h"

#include "text/Charset.h"
#include "util/AsciiCase.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <cstdio>

namespace varnel {
namespace {

constexpr int32_t kSearchStepLimit = 1000;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}
bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void appendCodeEscape(std::string &out, unsigned value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\x{%X}", value);
    out += buf;
}

// Capturing groups, to tell a back reference \N from an octal escape.
int countGroups(std::string_view p)
{
    int groups = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            ++i;
        } else if (inClass) {
            inClass = c != ']';
        } else if (c == '[') {
            inClass = true;
            if (i + 1 < p.size() && p[i + 1] == ']')
                ++i;
        } else if (c == '(' && (i + 1 >= p.size() || p[i + 1] != '?')) {
            ++groups;
        }
    }
    return groups;
}

std::string toUtf8(const icu::UnicodeString &s)
{
    std::string out;
    s.toUTF8String(out);
    return out;
}

// Writes the escape at p[i] (a backslash) in the engine's dialect and
// returns where the pattern goes on.
std::size_t translateEscape(std::string_view p, std::size_t i, bool inClass, int groups, std::string &out)
{
    if (i + 1 >= p.size()) {
        out += "\\\\";
        return p.size();
    }
    const char d = p[i + 1];
    if (isDigit(d)) {
        std::size_t j = i + 1;
        while (j < p.size() && isDigit(p[j]))
            ++j;
        const std::string_view digits = p.substr(i + 1, j - i - 1);
        if (!inClass && d != '0' && digits.size() <= 2 && std::stoi(std::string(digits)) <= groups) {
            out += '\\';
            out += digits;
            return j;
        }
        if (!isOctal(d)) {
            out += d; // \8 and \9 that are no back reference stand for the digit
            return i + 2;
        }
        unsigned value = 0;
        std::size_t k = i + 1;
        while (k < p.size() && k < i + 4 && isOctal(p[k]) && value * 8 + unsigned(p[k] - '0') <= 0377) {
            value = value * 8 + unsigned(p[k] - '0');
            ++k;
        }
        appendCodeEscape(out, value);
        return k;
    }
    const std::string_view kept = "dDwWsSbBfnrtv";
    if (kept.find(d) != std::string_view::npos) {
        out += '\\';
        out += d;
        return i + 2;
    }
    if (d == 'u' && i + 5 < p.size() && isHex(p[i + 2]) && isHex(p[i + 3]) && isHex(p[i + 4]) && isHex(p[i + 5])) {
        out.append(p.substr(i, 6));
        return i + 6;
    }
    if (d == 'x' && i + 3 < p.size() && isHex(p[i + 2]) && isHex(p[i + 3])) {
        out.append(p.substr(i, 4));
        return i + 4;
    }
    if (d == 'c' && i + 2 < p.size() && isAsciiLetter(p[i + 2])) {
        out.append(p.substr(i, 3));
        return i + 3;
    }
    if (static_cast<unsigned char>(d) < 0x80) {
        // Identity escape: \y is "y", \= is "=". Letters go out bare
        // (the engine has escapes of its own for some of them), the
        // rest as code escapes, which are literal everywhere.
        if (isAsciiLetter(d))
            out += d;
        else
            appendCodeEscape(out, static_cast<unsigned char>(d));
        return i + 2;
    }
    // A backslash before a non-ASCII character: the character itself.
    return i + 1;
}

} // namespace

std::u16string translatePattern(std::string_view p)
{
    const int groups = countGroups(p);
    std::string out;
    out.reserve(p.size() + 8);
    bool inClass = false;
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\\') {
            i = translateEscape(p, i, inClass, groups, out);
            continue;
        }
        if (inClass) {
            if (c == ']') {
                inClass = false;
                out += ']';
            } else if (c == '[' || c == '&' || c == '$' || c == '{' || c == '}') {
                out += '\\';
                out += c;
            } else {
                out += c;
            }
            ++i;
            continue;
        }
        if (c == '[') {
            // "[]" matches nothing and "[^]" anything.
            if (p.substr(i, 2) == "[]") {
                out += "[^\\s\\S]";
                i += 2;
                continue;
            }
            if (p.substr(i, 3) == "[^]") {
                out += "[\\s\\S]";
                i += 3;
                continue;
            }
            inClass = true;
            out += '[';
            ++i;
            if (i < p.size() && p[i] == '^') {
                out += '^';
                ++i;
            }
            continue;
        }
        out += c;
        ++i;
    }
    return utf8ToUtf16(out);
}

struct RegexMatcher::Engine {
    std::unique_ptr<icu::RegexPattern> pattern;
    std::unique_ptr<icu::RegexMatcher> matcher;
};

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;

bool RegexMatcher::compile(std::string_view pattern, bool ignoreCase, bool multiline, bool global)
{
    m_pattern = std::string(pattern);
    m_ignoreCase = ignoreCase;
    m_multiline = multiline;
    m_global = global;
    m_engine.reset();

    const std::u16string translated = translatePattern(pattern);
    const icu::UnicodeString source(
        false, reinterpret_cast<const UChar *>(translated.data()), static_cast<int32_t>(translated.size()));
    uint32_t flags = 0;
    if (ignoreCase)
        flags |= UREGEX_CASE_INSENSITIVE;
    if (multiline)
        flags |= UREGEX_MULTILINE;
    UParseError parseError;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(source, flags, parseError, status));
    if (U_FAILURE(status) || !compiled)
        return false;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(status));
    if (U_FAILURE(status) || !matcher)
        return false;
    // A pattern typed into a rule must not be able to hang the program (a
    // lazy repeat of an empty group goes round for ever): one search gives up
    // after this many steps of the engine (each some ten thousand
    // operations), far more than any search of an article needs, and finds
    // nothing more.
    matcher->setTimeLimit(kSearchStepLimit, status);
    if (U_FAILURE(status))
        return false;
    m_engine = std::make_unique<Engine>(Engine{std::move(compiled), std::move(matcher)});
    return true;
}

std::string RegexMatcher::replaceAll(std::string_view text, std::string_view replacement)
{
    if (!m_engine || text.empty())
        return std::string(text);
    icu::RegexMatcher &matcher = *m_engine->matcher;
    const icu::UnicodeString subject =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    const icu::UnicodeString with =
        icu::UnicodeString::fromUTF8(icu::StringPiece(replacement.data(), static_cast<int32_t>(replacement.size())));
    matcher.reset(subject);
    icu::UnicodeString out;
    int32_t last = 0;
    bool any = false;
    UErrorCode status = U_ZERO_ERROR;
    while (matcher.find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher.start(status);
        const int32_t end = matcher.end(status);
        out.append(subject, last, start - last);
        out.append(with);
        last = end;
        any = true;
        if (!m_global)
            break;
    }
    matcher.reset(icu::UnicodeString());
    if (!any)
        return std::string(text);
    out.append(subject, last, subject.length() - last);
    return toUtf8(out);
}

int RegexMatcher::matchAll(std::string_view text)
{
    m_matches.clear();
    m_subject = std::string(text);
    if (!m_engine)
        return 0;
    icu::RegexMatcher &matcher = *m_engine->matcher;
    const icu::UnicodeString subject =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    matcher.reset(subject);
    UErrorCode status = U_ZERO_ERROR;
    // Code-point position of UTF-16 offset `counted`, advanced incrementally.
    int32_t counted = 0;
    std::int64_t codePoints = 0;
    while (matcher.find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher.start(status);
        codePoints += u_countChar32(subject.getBuffer() + counted, start - counted);
        counted = start;
        Match match;
        match.text = toUtf8(matcher.group(status));
        match.position = codePoints;
        const int32_t groupCount = matcher.groupCount();
        for (int32_t g = 1; g <= groupCount; ++g) {
            // A group that took no part has start -1 and gives empty text.
            match.groups.push_back(matcher.start(g, status) < 0 ? std::string() : toUtf8(matcher.group(g, status)));
        }
        m_matches.push_back(std::move(match));
        if (!m_global)
            break;
    }
    matcher.reset(icu::UnicodeString());
    return matchCount();
}

std::string RegexMatcher::matchText(int i, std::int64_t *position) const
{
    if (i < 1 || i > matchCount())
        return {};
    const Match &m = m_matches[static_cast<std::size_t>(i - 1)];
    if (position)
        *position = m.position;
    return m.text;
}

std::string RegexMatcher::subMatchText(int i, int j, std::int64_t *position) const
{
    if (i < 1 || i > matchCount())
        return {};
    const Match &m = m_matches[static_cast<std::size_t>(i - 1)];
    if (position)
        *position = m.position;
    if (j < 1 || j > static_cast<int>(m.groups.size()))
        return {};
    return m.groups[static_cast<std::size_t>(j - 1)];
}

int RegexMatcher::subMatchCount() const
{
    return m_matches.empty() ? 0 : static_cast<int>(m_matches.front().groups.size());
}

} // namespace varnel
