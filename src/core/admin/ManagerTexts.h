#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Texts of the database and table manager.

// The caption of the database list's frame: nothing while the list is being
// read, else the number of databases.
std::string databaseListCaption(std::optional<std::size_t> count);
// The caption of the table list's frame: nothing while the list is being
// read; without a database the plain caption, else the database and the
// number of its tables (0 included).
std::string tableListCaption(std::string_view database, std::optional<std::size_t> count);
// Asks before dropping the tables (or deleting all their records); the
// first table is the one named when there is one.
std::string dropTablesQuestion(const std::vector<std::string> &tables, bool recordsOnly);

// Texts of the field and record viewer. Fields mode shows a table's fields,
// records mode its rows.

// A list column's title: the result column's name ("值" when it has none),
// in records mode followed by its 1-based position.
std::string viewerColumnTitle(std::string_view name, std::size_t index, bool fieldsMode);
std::string viewerLoadingCaption(std::string_view table, bool fieldsMode);
std::string viewerCaption(std::string_view table, bool fieldsMode, std::uint64_t rows);
std::string viewerOpenFailedCaption(std::string_view table);
// Asks before deleting the selected rows (n of them) or all rows.
std::string viewerDeleteQuestion(bool fieldsMode, bool all, std::size_t n);
std::string viewerDeletingCaption(bool fieldsMode);
std::string viewerDeletedCaption(bool fieldsMode, std::size_t asked, std::size_t deleted);

} // namespace varnel
