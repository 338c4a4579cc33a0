#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel {

// A name ready to stand in a statement. Statement builders take names only in
// this form, so a name can neither end its quoting early nor be quoted twice.
class Identifier {
public:
    // One name, whatever it holds, in backticks with every backtick inside
    // doubled: a table named "a.b" is one name.
    explicit Identifier(std::string_view name);

    // A table name as a user types it where a database may come first
    // ("db.table"): each side of the first dot is one name. Nothing else
    // splits names.
    static Identifier typedTableName(std::string_view typed);

    // The name as given (for a typed table name: as typed).
    const std::string &name() const { return m_name; }
    const std::string &sql() const { return m_sql; }

private:
    Identifier() = default;

    std::string m_name;
    std::string m_sql;
};

std::string quoteIdentifier(std::string_view name);

// A value made safe for a quoted SQL literal in utf8mb4, the connection's only
// character set: a byte-wise escape of NUL, CR, LF, backslash, both quotes and
// ^Z. No byte of a utf8mb4 multibyte character can be taken for a quote or a
// backslash, so this gives exactly what the client library's
// mysql_real_escape_string gives (a test holds the two equal), without its
// per-character decoding. It needs no connection.
std::string escapeString(std::string_view value);
// What escapeString appends, without a string of its own: the size of the
// escaped value, and the escaped value appended to `out` (a statement built
// in place holds a large value once, not three times).
std::size_t escapedSize(std::string_view value);
void appendEscaped(std::string &out, std::string_view value);
// The escaped value in single quotes.
std::string quoteString(std::string_view value);
// Bytes as a hex literal, X'…' with two digits a byte (X'' for none): bytes
// that are not text (a binary key, say) reach the server exactly, whatever
// the connection's character set makes of them.
std::string hexLiteral(std::string_view bytes);

// A database or table name of a GRANT or REVOKE target. "*", a name already in
// backticks and a name of only [A-Za-z0-9_$] stay as written, so ordinary
// grants keep their exact text; any other name is quoted as an identifier.
std::string grantName(std::string_view name);

} // namespace varnel
