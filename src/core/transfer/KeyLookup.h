#pragma once

#include "mysql/Quoting.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace varnel {

class MySqlConnection;

// The key column of an import: a column whose value identifies an article, so
// that an article the table holds already is not stored twice.
struct KeyColumn {
    std::string database;
    Identifier table;
    Identifier column;
    // The column leads an index: keys are looked up one by one through it.
    // Without one a batch of keys costs one scan of the table.
    bool indexed = false;
    bool unique = false; // the index refuses a second row of the same key
};

// Whether the column leads an index of the table (and whether a unique one);
// nothing when the server could not say.
std::optional<KeyColumn> describeKeyColumn(
    MySqlConnection &db, const std::string &database, const Identifier &table, const Identifier &column);

// Which of `keys` the table holds already, in one statement. Through an index
// a key is found as the column's collation compares (as a unique index would
// refuse it); without one the table's values are compared byte for byte.
// Nothing when the statement failed (lastError says why).
std::optional<std::unordered_set<std::string>> existingKeys(
    MySqlConnection &db, const KeyColumn &key, const std::vector<std::string_view> &keys);

} // namespace varnel
