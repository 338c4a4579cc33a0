#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One compiled regular expression with its options and the matches of its last
// search. Patterns use the usual Perl/ECMAScript syntax, plus octal escapes
// such as \11 and a backslash before any punctuation character. Positions are
// 0-based and count characters (code points), not bytes. Replacement texts are
// inserted literally.
class RegexMatcher {
public:
    struct Match {
        std::string text;
        std::int64_t position = 0;
        std::vector<std::string> groups;
    };

    RegexMatcher();
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher &) = delete;
    RegexMatcher &operator=(const RegexMatcher &) = delete;

    // Replaces pattern and options. An invalid pattern leaves a matcher that
    // finds nothing. Returns whether the pattern compiled.
    bool compile(std::string_view pattern, bool ignoreCase = true, bool multiline = true, bool global = true);

    const std::string &pattern() const { return m_pattern; }
    bool isValid() const { return m_engine != nullptr; }

    std::string replaceAll(std::string_view text, std::string_view replacement);

    int matchAll(std::string_view text);
    int matchCount() const { return static_cast<int>(m_matches.size()); }
    // 1-based; empty text for an index outside the matches or groups.
    std::string matchText(int i, std::int64_t *position = nullptr) const;
    std::string subMatchText(int i, int j, std::int64_t *position = nullptr) const;
    int subMatchCount() const;
    const std::string &subject() const { return m_subject; }

private:
    std::string m_pattern;
    bool m_ignoreCase = true;
    bool m_multiline = true;
    bool m_global = true;
    struct Engine;
    std::unique_ptr<Engine> m_engine; // null when nothing valid is compiled
    std::vector<Match> m_matches;
    std::string m_subject;
};

// Turns a pattern of the program's dialect into one the engine accepts:
// octal escapes become \x{..}, escaped punctuation and identity escapes become
// plain literals, and a "[" inside a class is taken literally.
std::u16string translatePattern(std::string_view pattern);

// Plain text into pattern text. Each escapes a fixed list of characters with a
// backslash; escapeWildcard then turns "*" into ".*" and "?" into ".?".
std::string escapeWildcard(std::string_view text);
std::string escapeAll(std::string_view text);
std::string escapeKeepAlternation(std::string_view text);
std::string escapeKeepGroups(std::string_view text);

} // namespace varnel
