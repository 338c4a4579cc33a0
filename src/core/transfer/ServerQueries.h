#pragma once

#include <optional>
#include <string>

namespace varnel {

class MySqlConnection;

// The first cell of a one-row result; nothing when the statement failed or
// gave no row.
std::optional<std::string> queryValue(MySqlConnection &db, const std::string &statement);

// The server's reason for the last failure, or that there is no connection.
std::string serverReason(const MySqlConnection &db);

} // namespace varnel
