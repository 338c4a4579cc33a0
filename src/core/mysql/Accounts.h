#pragma once

#include <optional>
#include <string>
#include <string_view>
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

// The privileges an account holds at the level the names give (globally for
// an empty or "*" database, on the database for an empty or "*" table, else
// on the table; names may stand in backticks), as PrivilegeBit bits, ALL
// never among them. Nothing when the server does not tell.
std::optional<int> readPrivileges(MySqlConnection &db, std::string_view user, std::string_view host,
    std::string_view database, std::string_view table);
// The bits setUserPrivileges sets exactly at that level, granted or taken
// away; it leaves the others as they are.
int replacedPrivileges(std::string_view database, std::string_view table);
// The account the connection is logged in as, as the server matched it
// (CURRENT_USER()).
std::optional<Account> currentAccount(MySqlConnection &db);

} // namespace varnel
