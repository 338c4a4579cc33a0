#include "admin/RowDeletion.h"

#include "admin/QueryRows.h"
#include "admin/RowCondition.h"
#include "mysql/MySqlConnection.h"

namespace varnel {

bool deleteShownRow(
    MySqlConnection &db, std::string_view database, std::string_view table, const QueryRows &rows, std::uint64_t row)
{
    const std::string condition = rowCondition(rows.resultSet(), row) + "  LIMIT 1";
    return db.ensureDatabase(database) && db.deleteRows(Identifier(table), condition) && db.affectedRows() == 1;
}

bool dropShownField(MySqlConnection &db, std::string_view database, std::string_view table, std::string_view field)
{
    return db.ensureDatabase(database) && db.dropColumn(Identifier(table), Identifier(field));
}

} // namespace varnel
