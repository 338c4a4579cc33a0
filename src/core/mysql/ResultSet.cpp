#include "mysql/ResultSet.h"
#include "mysql/MySqlConnection.h"

#include <mysql.h>

#include <cmath>
#include <cstring>

namespace varnel {
namespace {

static_assert(fieldtype::kDecimal == MYSQL_TYPE_DECIMAL && fieldtype::kTiny == MYSQL_TYPE_TINY
    && fieldtype::kShort == MYSQL_TYPE_SHORT && fieldtype::kLong == MYSQL_TYPE_LONG
    && fieldtype::kFloat == MYSQL_TYPE_FLOAT && fieldtype::kDouble == MYSQL_TYPE_DOUBLE
    && fieldtype::kLongLong == MYSQL_TYPE_LONGLONG && fieldtype::kInt24 == MYSQL_TYPE_INT24
    && fieldtype::kYear == MYSQL_TYPE_YEAR && fieldtype::kBit == MYSQL_TYPE_BIT
    && fieldtype::kNewDecimal == MYSQL_TYPE_NEWDECIMAL);
static_assert(fieldtype::kTimestamp == MYSQL_TYPE_TIMESTAMP && fieldtype::kDate == MYSQL_TYPE_DATE
    && fieldtype::kTime == MYSQL_TYPE_TIME && fieldtype::kDateTime == MYSQL_TYPE_DATETIME
    && fieldtype::kNewDate == MYSQL_TYPE_NEWDATE && fieldtype::kVarChar == MYSQL_TYPE_VARCHAR
    && fieldtype::kVarString == MYSQL_TYPE_VAR_STRING && fieldtype::kString == MYSQL_TYPE_STRING
    && fieldtype::kEnumFlag == ENUM_FLAG && fieldtype::kSetFlag == SET_FLAG);

bool holdsBytes(enum_field_types type)
{
    switch (type) {
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_GEOMETRY:
        return true;
    default:
        return false;
    }
}

ColumnInfo columnInfo(const MYSQL_FIELD &f)
{
    ColumnInfo c;
    c.name.assign(f.name, f.name_length);
    if (f.org_name)
        c.orgName.assign(f.org_name, f.org_name_length);
    if (f.org_table)
        c.orgTable.assign(f.org_table, f.org_table_length);
    c.type = static_cast<unsigned>(f.type);
    c.flags = f.flags;
    c.charset = f.charsetnr;
    c.primaryKey = (f.flags & PRI_KEY_FLAG) != 0;
    c.uniqueKey = (f.flags & UNIQUE_KEY_FLAG) != 0;
    c.notNull = (f.flags & NOT_NULL_FLAG) != 0;
    c.numeric = (f.flags & NUM_FLAG) != 0;
    c.binary = f.charsetnr == 63 && !c.numeric && holdsBytes(f.type);
    return c;
}

} // namespace

void ResultSet::Freer::operator()(MYSQL_RES *r) const
{
    mysql_free_result(r);
}

ResultSet::ResultSet(MYSQL_RES *result)
    : m_result(result)
{
    if (!result)
        return;
    const unsigned fields = mysql_num_fields(result);
    const MYSQL_FIELD *f = mysql_fetch_fields(result);
    for (unsigned i = 0; i < fields; ++i) {
        m_names.emplace_back(f[i].name, f[i].name_length);
        m_columns.push_back(columnInfo(f[i]));
    }
    // Index every row once, so that seeking is O(1) (the library's own seek
    // walks the row list from the start).
    m_rows.reserve(mysql_num_rows(result));
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        // The lengths array is reused by the library for every fetch.
        const unsigned long *lengths = mysql_fetch_lengths(result);
        auto copy = std::make_unique<unsigned long[]>(fields ? fields : 1);
        if (lengths)
            std::memcpy(copy.get(), lengths, sizeof(unsigned long) * fields);
        m_rows.push_back({row, copy.get()});
        m_lengthCopies.push_back(std::move(copy));
    }
}

ResultSet::~ResultSet() = default;

bool ResultSet::fieldName(int index, std::string &name) const
{
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount())
        return false;
    name = m_names[static_cast<std::size_t>(index)].substr(0, 255);
    return true;
}

bool ResultSet::seekRow(std::uint64_t row)
{
    if (row >= rowCount())
        return false;
    m_cursor = row;
    return true;
}

bool ResultSet::nextRow()
{
    if (m_cursor >= rowCount())
        return false;
    ++m_cursor;
    return true;
}

bool ResultSet::readAt(int index, std::string &value) const
{
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount() || m_rows.empty())
        return false;
    const Row &row = m_rows[m_cursor < m_rows.size() ? m_cursor : m_rows.size() - 1];
    const char *v = row.values[index];
    if (!v) {
        value.clear();
        return true;
    }
    const std::string_view all(v, row.lengths[index]);
    value = std::string(all.substr(0, all.find('\0')));
    return true;
}

bool ResultSet::readField(std::string_view name, std::string &value) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == name)
            return readAt(static_cast<int>(i), value);
    }
    return false;
}

bool ResultSet::readField(double index, std::string &value) const
{
    if (!std::isfinite(index) || index < 0 || index >= fieldCount())
        return false;
    return readAt(static_cast<int>(index), value);
}

std::string_view ResultSet::cellBytes(std::uint64_t row, std::size_t column) const
{
    if (row >= m_rows.size() || column >= m_columns.size())
        return {};
    const Row &r = m_rows[row];
    const char *v = r.values[column];
    return v ? std::string_view(v, r.lengths[column]) : std::string_view();
}

std::string ResultSet::cell(std::uint64_t row, std::size_t column) const
{
    const std::string_view all = cellBytes(row, column);
    return std::string(all.substr(0, all.find('\0')));
}

bool ResultSet::cellIsNull(std::uint64_t row, std::size_t column) const
{
    return row < m_rows.size() && column < m_columns.size() && m_rows[row].values[column] == nullptr;
}

bool ResultSet::isNull(int index) const
{
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount() || m_rows.empty())
        return false;
    const Row &row = m_rows[m_cursor < m_rows.size() ? m_cursor : m_rows.size() - 1];
    return row.values[index] == nullptr;
}

void ResultSet::free()
{
    m_rows.clear();
    m_lengthCopies.clear();
    m_names.clear();
    m_columns.clear();
    m_result.reset();
    m_cursor = 0;
}

bool RowBlock::fieldName(int index, std::string &name) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_names.size())
        return false;
    name = m_names[static_cast<std::size_t>(index)].substr(0, 255);
    return true;
}

int RowBlock::columnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::string_view RowBlock::cellBytes(std::size_t row, std::size_t column) const
{
    if (row >= rowCount() || column >= m_columns.size())
        return {};
    return m_cells[row * m_columns.size() + column];
}

std::string_view RowBlock::cellText(std::size_t row, std::size_t column) const
{
    const std::string_view all = cellBytes(row, column);
    return all.substr(0, all.find('\0'));
}

bool RowBlock::cellIsNull(std::size_t row, std::size_t column) const
{
    return row < rowCount() && column < m_columns.size() && m_nulls[row * m_columns.size() + column] != 0;
}

std::unique_ptr<RowBlock> MySqlConnection::fetchRows(std::string_view statement, std::size_t keepBytes)
{
    if (!send(statement))
        return nullptr;
    m_resultPending = false;
    m_refusal.clear();
    auto block = std::make_unique<RowBlock>();
    // Rows are read one at a time as the server sends them; only those kept
    // take memory beyond the one being read.
    MYSQL_RES *result = mysql_use_result(m_mysql);
    if (!result)
        return mysql_errno(m_mysql) ? nullptr : std::move(block);
    const unsigned fields = mysql_num_fields(result);
    const MYSQL_FIELD *f = mysql_fetch_fields(result);
    for (unsigned i = 0; i < fields; ++i) {
        block->m_names.emplace_back(f[i].name, f[i].name_length);
        block->m_columns.push_back(columnInfo(f[i]));
    }
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        if (!fields)
            continue;
        if (block->rowCount() > 0 && block->m_bytes >= keepBytes) {
            // Past the budget: the rest is read and dropped (the statement
            // must be read to its end before the next one).
            block->m_complete = false;
            continue;
        }
        const unsigned long *lengths = mysql_fetch_lengths(result);
        for (unsigned i = 0; i < fields; ++i) {
            block->m_nulls.push_back(row[i] == nullptr);
            block->m_cells.emplace_back(row[i] ? std::string_view(row[i], lengths[i]) : std::string_view());
            block->m_bytes += lengths[i];
        }
    }
    const bool failed = mysql_errno(m_mysql) != 0;
    mysql_free_result(result);
    if (failed)
        return nullptr;
    return block;
}

} // namespace varnel
