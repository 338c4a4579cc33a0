#include "mysql/Quoting.h"

#include "util/AsciiCase.h"

#include <array>

namespace varnel {

Identifier::Identifier(std::string_view name)
    : m_name(name)
    , m_sql(quoteIdentifier(name))
{
}

Identifier Identifier::typedTableName(std::string_view typed)
{
    Identifier id;
    id.m_name = std::string(typed);
    const auto dot = typed.find('.');
    id.m_sql = dot == std::string_view::npos
        ? quoteIdentifier(typed)
        : quoteIdentifier(typed.substr(0, dot)) + "." + quoteIdentifier(typed.substr(dot + 1));
    return id;
}

std::string quoteIdentifier(std::string_view name)
{
    std::string out;
    out.reserve(name.size() + 2);
    out += '`';
    for (char c : name) {
        out += c;
        if (c == '`')
            out += '`';
    }
    out += '`';
    return out;
}

namespace {

constexpr auto kEscapes = [] {
    std::array<char, 256> t{};
    t[0] = '0';
    t['\n'] = 'n';
    t['\r'] = 'r';
    t['\\'] = '\\';
    t['\''] = '\'';
    t['"'] = '"';
    t['\032'] = 'Z';
    return t;
}();

} // namespace

std::size_t escapedSize(std::string_view value)
{
    std::size_t n = value.size();
    for (const char c : value)
        n += kEscapes[static_cast<unsigned char>(c)] != 0;
    return n;
}

void appendEscaped(std::string &out, std::string_view value)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char e = kEscapes[static_cast<unsigned char>(value[i])];
        if (!e)
            continue;
        out.append(value.data() + run, i - run);
        out += '\\';
        out += e;
        run = i + 1;
    }
    out.append(value.data() + run, value.size() - run);
}

std::string escapeString(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + value.size() / 8 + 16);
    appendEscaped(out, value);
    return out;
}

std::string quoteString(std::string_view value)
{
    return "'" + escapeString(value) + "'";
}

std::string hexLiteral(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2 + 3);
    out += "X'";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    out += '\'';
    return out;
}

std::string grantName(std::string_view name)
{
    if (name == "*" || (name.size() >= 2 && name.front() == '`' && name.back() == '`'))
        return std::string(name);
    const bool plain = !name.empty() && [&] {
        for (char c : name) {
            const bool ok = isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '$';
            if (!ok)
                return false;
        }
        return true;
    }();
    return plain ? std::string(name) : quoteIdentifier(name);
}

} // namespace varnel
