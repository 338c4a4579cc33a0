#include "transfer/TableWalk.h"

#include "mapping/FieldRule.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace varnel {
namespace {

// The first chunk of a keyed table is this many rows; later chunks follow
// the rows' sizes.
constexpr std::size_t kFirstChunkRows = 64;

// Key columns whose values the server sends back as text that compares
// exactly as the column does, so that "after this value" goes on where the
// last chunk ended: whole numbers, decimals, dates and times, and strings
// (bytes go back as hex). Not floating point (its text is rounded), not
// TIMESTAMP (its text is in the session's time zone, ambiguous once a year),
// not ENUM or SET (sorted by their number, compared as text), nor BIT.
bool walkableKeyColumn(const ColumnInfo &c)
{
    using namespace fieldtype;
    if (c.flags & (kEnumFlag | kSetFlag))
        return false;
    switch (c.type) {
    case kTiny:
    case kShort:
    case kLong:
    case kLongLong:
    case kInt24:
    case kYear:
    case kDecimal:
    case kNewDecimal:
    case kDate:
    case kNewDate:
    case kTime:
    case kDateTime:
    case kVarChar:
    case kVarString:
    case kString:
        return true;
    default:
        return false;
    }
}

bool plainNumber(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'))
            return false;
    }
    return true;
}

// The place of a key's column among the table's, by name, then ignoring
// ASCII case; -1 when it is not there.
int columnPlace(const RowBlock &shape, std::string_view name)
{
    int place = shape.columnIndex(name);
    for (std::size_t c = 0; place < 0 && c < shape.columnCount(); ++c) {
        if (equalsIgnoringAsciiCase(shape.fieldNames()[c], name))
            place = static_cast<int>(c);
    }
    return place;
}

} // namespace

std::vector<std::string> ChunkKey::literals(const RowBlock &rows, std::size_t row) const
{
    std::vector<std::string> out;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::string_view bytes = rows.cellBytes(row, columns[k]);
        if (info[k].binary) {
            out.push_back(hexLiteral(bytes));
        } else if (info[k].numeric && plainNumber(bytes)) {
            // A number stays a number: compared with a quoted text a
            // BIGINT would be compared as a double.
            out.emplace_back(bytes);
        } else {
            out.push_back(quoteString(bytes));
        }
    }
    return out;
}

std::optional<ChunkKey> chooseChunkKey(const RowBlock &keys, const RowBlock &shape)
{
    const int keyName = keys.columnIndex("Key_name"), nonUnique = keys.columnIndex("Non_unique"),
              sequence = keys.columnIndex("Seq_in_index"), column = keys.columnIndex("Column_name"),
              subPart = keys.columnIndex("Sub_part"), null = keys.columnIndex("Null");
    if (keyName < 0 || nonUnique < 0 || sequence < 0 || column < 0)
        return std::nullopt;
    auto cell = [&](std::size_t row, int c) { return keys.cellText(row, static_cast<std::size_t>(c)); };
    // The keys in the order the server lists them (the primary key first),
    // each with its columns in index order.
    std::vector<std::string> order;
    std::vector<std::vector<std::pair<std::int64_t, std::size_t>>> parts;
    std::vector<bool> usable;
    for (std::size_t r = 0; r < keys.rowCount(); ++r) {
        const std::string name(cell(r, keyName));
        std::size_t k = 0;
        while (k < order.size() && order[k] != name)
            ++k;
        if (k == order.size()) {
            order.push_back(name);
            parts.emplace_back();
            usable.push_back(cell(r, nonUnique) == "0");
        }
        if (subPart >= 0 && !keys.cellIsNull(r, static_cast<std::size_t>(subPart)))
            usable[k] = false; // a prefix of the column
        if (null >= 0 && !cell(r, null).empty())
            usable[k] = false; // may hold NULL, which "after" never reaches
        const int place = columnPlace(shape, cell(r, column));
        if (place < 0 || !walkableKeyColumn(shape.columns()[static_cast<std::size_t>(place)]))
            usable[k] = false;
        else
            parts[k].push_back({optionInteger(cell(r, sequence)), static_cast<std::size_t>(place)});
    }
    std::optional<std::size_t> chosen;
    for (std::size_t k = 0; k < order.size() && !chosen; ++k) {
        if (usable[k] && order[k] == "PRIMARY")
            chosen = k;
    }
    for (std::size_t k = 0; k < order.size() && !chosen; ++k) {
        if (usable[k])
            chosen = k;
    }
    if (!chosen || parts[*chosen].empty())
        return std::nullopt;
    auto keyParts = parts[*chosen];
    std::sort(keyParts.begin(), keyParts.end());
    ChunkKey key;
    for (const auto &[seq, place] : keyParts) {
        key.names.emplace_back(shape.fieldNames()[place]);
        key.columns.push_back(place);
        key.info.push_back(shape.columns()[place]);
    }
    return key;
}

std::size_t nextChunkRows(
    bool complete, std::size_t rows, std::size_t bytes, std::size_t limit, std::size_t maxRows, std::size_t maxBytes)
{
    if (!complete)
        return std::max<std::size_t>(1, rows);
    const std::size_t average = std::max<std::size_t>(1, bytes / std::max<std::size_t>(1, rows));
    return std::clamp<std::size_t>(std::min(maxBytes / average, limit * 2), 1, std::max<std::size_t>(1, maxRows));
}

TableWalk::TableWalk(MySqlConnection &db, std::string database, Identifier table, std::optional<ChunkKey> key,
    std::size_t maxRows, std::size_t maxBytes)
    : m_db(db)
    , m_database(std::move(database))
    , m_table(std::move(table))
    , m_key(std::move(key))
    , m_maxRows(maxRows)
    , m_maxBytes(maxBytes)
    , m_chunkRows(std::min(kFirstChunkRows, std::max<std::size_t>(1, maxRows)))
{
}

std::optional<std::int64_t> TableWalk::countRows()
{
    std::unique_ptr<RowBlock> count = m_db.fetchRows(sql::countRows(m_table));
    if (!count && restored())
        count = m_db.fetchRows(sql::countRows(m_table));
    if (!count || count->rowCount() != 1)
        return std::nullopt;
    return optionInteger(count->cellText(0, 0));
}

std::unique_ptr<RowBlock> TableWalk::fetch()
{
    std::unique_ptr<RowBlock> rows = fetchOnce();
    if (!rows && restored())
        rows = fetchOnce();
    return rows;
}

std::unique_ptr<RowBlock> TableWalk::fetchOnce()
{
    if (!m_db.ensureDatabase(m_database))
        return nullptr;
    if (!m_key)
        return m_db.fetchRows(sql::selectAll(m_table));
    return m_db.fetchRows(sql::selectAfterKey(m_table, m_key->names, m_after, m_chunkRows), m_maxBytes);
}

// Reading changes nothing: after a lost connection the walk connects again
// (to the next server of a list) and reads the same chunk once more.
bool TableWalk::restored()
{
    if (!m_db.connectionLost())
        return false;
    std::string reason;
    if (!m_db.lastError(reason))
        reason = "没有连接到 MySQL 服务器";
    if (!m_db.reopen()) {
        m_failure = reason + "（重新连接失败：" + m_db.connectError() + "）";
        return false;
    }
    return true;
}

bool TableWalk::moveOn(const RowBlock &rows)
{
    if (!m_key || (rows.complete() && rows.rowCount() < m_chunkRows)) {
        m_walked = true;
        return false;
    }
    // The next chunk starts after the last row of this one.
    std::vector<std::string> last = m_key->literals(rows, rows.rowCount() - 1);
    if (last == m_after) {
        m_walked = true; // no step forward (cannot happen with a unique key)
        return false;
    }
    m_after = std::move(last);
    m_chunkRows = nextChunkRows(rows.complete(), rows.rowCount(), rows.bytes(), m_chunkRows, m_maxRows, m_maxBytes);
    return true;
}

} // namespace varnel
