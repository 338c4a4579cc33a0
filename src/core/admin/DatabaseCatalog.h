#pragma once

#include "util/EventPump.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class MySqlConnection;

using NameList = std::vector<std::string>;

// The databases and tables of the server, and what the manager does to them.
// Every call on a table selects its database right before the statement, so a
// call acts on the database it names whatever another window selected
// meanwhile. A call that fails leaves the server's reason for failure().
class DatabaseCatalog {
public:
    explicit DatabaseCatalog(MySqlConnection &db)
        : m_db(db)
    {
    }

    // The lists, in the server's order; nothing when the server refused.
    // `each` is called after each name (a window handles its events there).
    std::optional<NameList> databases(const EventPump &each = {});
    // A database that cannot be selected lists nothing, never the tables of
    // the database that was current before.
    std::optional<NameList> tables(std::string_view database, const EventPump &each = {});

    // A new database in utf8mb4 (the character set is asked for after the
    // CREATE; a server that refuses it keeps its default).
    bool createDatabase(std::string_view name);
    bool dropDatabase(std::string_view name);
    bool dropTable(std::string_view database, std::string_view table);
    // Deletes every row and keeps the table.
    bool emptyTable(std::string_view database, std::string_view table);
    bool renameTable(std::string_view database, std::string_view from, std::string_view to);
    // The number of rows, as the server writes it.
    std::optional<std::string> countRows(std::string_view database, std::string_view table);

    // Why the last call failed, for a person; read it before anything else
    // is sent.
    std::string failure() const;

private:
    std::optional<NameList> readNames(bool sent, const EventPump &each);

    MySqlConnection &m_db;
};

} // namespace varnel
