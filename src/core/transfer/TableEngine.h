#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class MySqlConnection;

// The storage engine of a table of the current database, as the server names
// it; nothing when it cannot be read.
std::optional<std::string> tableEngine(MySqlConnection &db, std::string_view table);

// Whether a statement the engine refuses leaves nothing behind, so that a
// refused batch can be sent again row by row: only InnoDB's tables are
// transactional.
bool takesBatches(const std::optional<std::string> &engine);

} // namespace varnel
