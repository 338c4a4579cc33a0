#include "transfer/KeyLookup.h"

#include "mysql/MySqlConnection.h"
#include "util/AsciiCase.h"

#include <memory>

namespace varnel {

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

std::optional<std::unordered_set<std::string>> existingKeys(
    MySqlConnection &db, const KeyColumn &key, const std::vector<std::string_view> &keys)
{
    std::unordered_set<std::string> found;
    if (keys.empty())
        return found;
    const std::string table = quoteIdentifier(key.database) + "." + key.table.sql();
    std::string statement;
    if (key.indexed) {
        // One lookup through the index per key; the position of each found
        // key comes back. A literal takes the column's collation.
        for (std::size_t i = 0; i < keys.size(); ++i) {
            statement += i ? " union all " : "";
            statement += "(select " + std::to_string(i) + " from " + table + " where " + key.column.sql() + "="
                + quoteString(keys[i]) + " limit 1)";
        }
    } else {
        statement = "select " + key.column.sql() + " from " + table + " where " + key.column.sql() + " in (";
        for (std::size_t i = 0; i < keys.size(); ++i)
            statement += (i ? "," : "") + quoteString(keys[i]);
        statement += ")";
    }
    const std::unique_ptr<RowBlock> rows = db.fetchRows(statement);
    if (!rows)
        return std::nullopt;
    if (key.indexed) {
        for (std::size_t r = 0; r < rows->rowCount(); ++r) {
            const std::string_view at = rows->cellText(r, 0);
            std::size_t i = 0;
            for (char c : at)
                i = i * 10 + static_cast<std::size_t>(c - '0');
            if (i < keys.size())
                found.emplace(keys[i]);
        }
        return found;
    }
    std::unordered_set<std::string_view> wanted(keys.begin(), keys.end());
    for (std::size_t r = 0; r < rows->rowCount(); ++r) {
        const std::string_view value = rows->cellBytes(r, 0);
        if (wanted.count(value))
            found.emplace(value);
    }
    return found;
}

} // namespace varnel
