#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnel {

class MySqlConnection;

// One account of the server: the user name and the host it may connect from.
struct Account {
    std::string user;
    std::string host;
};

// The accounts in mysql.user, in the order the server gives them; nothing when
// the server refused (an account without the privilege to read the list).
// The columns of mysql.user differ between servers and versions, so "User"
// and "Host" are found by name (exact first, then ignoring ASCII case).
std::optional<std::vector<Account>> listAccounts(MySqlConnection &db);

} // namespace varnel
