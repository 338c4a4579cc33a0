#include "transfer/TableEngine.h"

#include "mysql/Quoting.h"
#include "transfer/ServerQueries.h"

namespace varnel {

std::optional<std::string> tableEngine(MySqlConnection &db, std::string_view table)
{
    return queryValue(db,
        "select ENGINE from information_schema.TABLES where TABLE_SCHEMA=database() and TABLE_NAME='"
            + escapeString(table) + "'");
}

bool takesBatches(const std::optional<std::string> &engine)
{
    return engine == "InnoDB";
}

} // namespace varnel
