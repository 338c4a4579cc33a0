#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class MySqlConnection;

// Why a statement failed, as a person reads it: the server's number and
// message ("错误 1146：表 'a.b' 不存在"), the message alone when it has no
// number, "没有连接到 MySQL 服务器" without a connection, "" when nothing is
// known.
std::string failureReason(bool connected, unsigned number, std::string_view message);
// The reason of the connection's last failure; read it before anything else
// is sent.
std::string failureReason(const MySqlConnection &db);
// A failure message with its reason on a line of its own (the message alone
// when there is no reason).
std::string withFailureReason(std::string_view message, std::string_view reason);

// Texts of the database and table manager.

// What the 事务 menu did (0 begin, 1 commit, 2 rollback); a failure comes
// with its reason.
std::string transactionOutcome(int which, bool ok, std::string_view reason);

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
