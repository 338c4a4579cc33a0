#include "transfer/KeyLookup.h"

#include "mysql/MySqlConnection.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <memory>

namespace varnel {
namespace {

// The session's own table of the keys asked for. A name of the user's own
// table would only be hidden in this session, while a run looks keys up.
constexpr std::string_view kProbeTable = "varnel_key_probe";

// What a key adds to a statement at most: escaping doubles a value at worst.
std::size_t keyBytes(std::string_view key)
{
    return 2 * key.size() + 32;
}

// Splits [0, n) into runs whose keys fit `limit` bytes (one key at least).
template <class Size>
std::vector<std::pair<std::size_t, std::size_t>> parts(std::size_t n, std::size_t limit, Size size)
{
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (std::size_t first = 0; first < n;) {
        std::size_t end = first, bytes = 0;
        while (end < n && (end == first || bytes + size(end) <= limit))
            bytes += size(end++);
        out.emplace_back(first, end);
        first = end;
    }
    return out;
}

std::size_t decimal(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n = n * 10 + static_cast<std::size_t>(c - '0');
    return n;
}

} // namespace

std::optional<KeyColumn> describeKeyColumn(
    MySqlConnection &db, const std::string &database, const Identifier &table, const Identifier &column)
{
    const std::unique_ptr<RowBlock> keys =
        db.fetchRows("show index from " + quoteIdentifier(database) + "." + table.sql());
    if (!keys)
        return std::nullopt;
    KeyColumn key{database, table, column};
    const int nonUnique = keys->columnIndex("Non_unique");
    const int seq = keys->columnIndex("Seq_in_index");
    const int name = keys->columnIndex("Column_name");
    if (nonUnique < 0 || seq < 0 || name < 0)
        return key;
    for (std::size_t r = 0; r < keys->rowCount(); ++r) {
        // Column names compare without regard to case.
        const std::string_view n = keys->cellText(r, static_cast<std::size_t>(name));
        const bool same = equalsIgnoringAsciiCase(n, column.name());
        if (!same || keys->cellText(r, static_cast<std::size_t>(seq)) != "1")
            continue;
        key.indexed = true;
        key.unique = key.unique || keys->cellText(r, static_cast<std::size_t>(nonUnique)) == "0";
    }
    return key;
}

KeyLookup::KeyLookup(KeyColumn key, std::size_t statementBytes)
    : m_key(std::move(key))
    , m_statementBytes(std::clamp<std::size_t>(statementBytes, 4096, std::size_t{1} << 20))
    , m_probe(quoteIdentifier(m_key.database) + "." + quoteIdentifier(kProbeTable))
{
}

// The temporary table lives as long as the session: made once on each.
bool KeyLookup::prepare(MySqlConnection &db)
{
    if (m_session != 0 && m_session == db.sessionNumber())
        return db.fetchRows("delete from " + m_probe) != nullptr;
    m_session = 0;
    const std::string table = quoteIdentifier(m_key.database) + "." + m_key.table.sql();
    if (!db.fetchRows("create temporary table " + m_probe + " (pos int not null default 0) select " + m_key.column.sql()
            + " as k from " + table + " limit 0"))
        return false;
    m_session = db.sessionNumber();
    return true;
}

// Stores the keys, many to a statement. A statement the column refuses (a
// key it cannot hold, in the strict session) goes again key by key, so only
// the keys it cannot hold are missing from the table; `held` tells which are
// there.
bool KeyLookup::store(MySqlConnection &db, const std::vector<std::string_view> &keys, std::vector<char> &held)
{
    held.assign(keys.size(), 1);
    const std::string head = "insert into " + m_probe + " (pos, k) values ";
    auto send = [&](std::size_t first, std::size_t end) {
        std::string statement = head;
        for (std::size_t i = first; i < end; ++i) {
            statement += i == first ? "(" : ",(";
            statement += std::to_string(i);
            statement += ",'";
            appendEscaped(statement, keys[i]);
            statement += "')";
        }
        return db.fetchRows(statement) != nullptr;
    };
    for (const auto &[first, end] :
        parts(keys.size(), m_statementBytes, [&](std::size_t i) { return keyBytes(keys[i]); })) {
        if (send(first, end))
            continue;
        if (db.connectionLost())
            return false;
        for (std::size_t i = first; i < end; ++i) {
            if (send(i, i + 1))
                continue;
            if (db.connectionLost())
                return false;
            held[i] = 0;
        }
    }
    return true;
}

std::optional<std::vector<KeyFound>> KeyLookup::lookUp(MySqlConnection &db, const std::vector<std::string_view> &keys)
{
    std::vector<KeyFound> found(keys.size(), KeyFound::No);
    if (keys.empty())
        return found;
    std::vector<char> held;
    if (!prepare(db) || !store(db, keys, held))
        return std::nullopt;
    // One row for each set of keys the column holds as equal: its first
    // key's place, and the value as the column holds it. Grouping compares
    // as the column does (a very long text only by its start, which at worst
    // holds a key back for a batch: the table is matched in full).
    const std::unique_ptr<RowBlock> groups = db.fetchRows("select min(pos), k from " + m_probe + " group by k");
    if (!groups)
        return std::nullopt;
    std::vector<char> first(keys.size(), 0);
    std::vector<std::size_t> values; // rows of `groups` with a value
    for (std::size_t r = 0; r < groups->rowCount(); ++r) {
        const std::size_t i = decimal(groups->cellText(r, 0));
        if (i < keys.size())
            first[i] = 1;
        if (!groups->cellIsNull(r, 1))
            values.push_back(r);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (held[i] && !first[i])
            found[i] = KeyFound::Repeated;
    }
    // The table's values among them: the held values as literals find them
    // (through the index, or in one scan), and the join says which keys they
    // are, as the column compares.
    const std::string table = quoteIdentifier(m_key.database) + "." + m_key.table.sql();
    const std::string column = "t." + m_key.column.sql();
    for (const auto &[from, end] : parts(values.size(), m_statementBytes,
             [&](std::size_t i) { return keyBytes(groups->cellBytes(values[i], 1)); })) {
        std::string statement = "select distinct p.pos from " + m_probe + " p join " + table + " t on " + column
            + " = p.k where " + column + " in (";
        for (std::size_t i = from; i < end; ++i) {
            statement += i == from ? "'" : ",'";
            appendEscaped(statement, groups->cellBytes(values[i], 1));
            statement += '\'';
        }
        statement += ")";
        const std::unique_ptr<RowBlock> inTable = db.fetchRows(statement);
        if (!inTable)
            return std::nullopt;
        for (std::size_t r = 0; r < inTable->rowCount(); ++r) {
            const std::size_t i = decimal(inTable->cellText(r, 0));
            if (i < keys.size())
                found[i] = KeyFound::InTable;
        }
    }
    return found;
}

std::string_view KeyLookup::keyOf(const InsertRow &row) const
{
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] == m_key.column.sql())
            return row.values[i];
    }
    return {};
}

std::string_view KeyLookup::refusal(const InsertRow &row) const
{
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] != m_key.column.sql())
            continue;
        // A blank value identifies nothing: every such file would be "the
        // same article".
        if (row.values[i].find_first_not_of(" \t\r\n") == std::string::npos)
            return kBlankKey;
        if (std::find(row.lossy.begin(), row.lossy.end(), i) != row.lossy.end())
            return kLossyKey;
        return {};
    }
    return kBlankKey;
}

KeyLookup::Decision KeyLookup::decide(KeyFound found, const InsertRow &row)
{
    switch (found) {
    case KeyFound::InTable:
        return row.replaces ? Decision::Replace : Decision::Exists;
    case KeyFound::Repeated:
        // Stored, this one exists; refused, this one may go.
        return Decision::Later;
    case KeyFound::No:
        break;
    }
    return Decision::Send;
}

std::string KeyLookup::rowsOfKey(std::size_t index) const
{
    return m_key.column.sql() + " = (select k from " + m_probe + " where pos = " + std::to_string(index) + ")";
}

void KeyLookup::release(MySqlConnection &db)
{
    if (m_session != 0 && m_session == db.sessionNumber() && db.isOpen() && !db.connectionLost())
        db.fetchRows("drop temporary table if exists " + m_probe);
    m_session = 0;
}

} // namespace varnel
