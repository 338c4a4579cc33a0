#include "mysql/ResultSet.h"

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

} // namespace varnel
