// Databases, tables and transactions.
#include "mysql/MySqlConnection.h"

#include "mysql/Statements.h"

namespace varnel {

bool MySqlConnection::createDatabase(const Identifier &name)
{
    return send(sql::createDatabase(name));
}

bool MySqlConnection::dropDatabase(const Identifier &name)
{
    if (m_current && *m_current == name.name())
        m_current.reset();
    return send(sql::dropDatabase(name));
}

bool MySqlConnection::showDatabases()
{
    return send("show databases");
}

bool MySqlConnection::showTables()
{
    return send("show tables");
}

bool MySqlConnection::tableExists(std::string_view name)
{
    if (!showTables())
        return false;
    auto result = storeResult();
    if (!result)
        return false;
    for (std::uint64_t r = 0; r < result->rowCount(); ++r) {
        result->seekRow(r);
        std::string table;
        if (result->readField(0.0, table) && table == name)
            return true;
    }
    return false;
}

bool MySqlConnection::createTable(
    const Identifier &table, const std::vector<ColumnSpec> &columns, std::string_view tableOptions)
{
    if (!m_mysql)
        return false;
    const auto statement = sql::createTable(table, columns);
    if (!statement)
        return false;
    return tableOptions.empty() ? send(*statement) : send(*statement + " " + std::string(tableOptions));
}

bool MySqlConnection::dropColumn(const Identifier &table, const Identifier &column)
{
    return send(sql::dropColumn(table, column));
}

bool MySqlConnection::dropTable(const Identifier &name)
{
    return send(sql::dropTable(name));
}

bool MySqlConnection::insertRow(const Identifier &table, std::string_view assignments)
{
    return send(sql::insertRow(table, assignments));
}

bool MySqlConnection::insertStatement(std::string_view statement)
{
    return send(statement);
}

bool MySqlConnection::deleteRows(const Identifier &table, std::string_view condition)
{
    return send(sql::deleteRows(table, condition));
}

bool MySqlConnection::beginTransaction()
{
    return send("begin");
}

bool MySqlConnection::commitTransaction()
{
    return send("commit");
}

bool MySqlConnection::rollbackTransaction()
{
    return send("rollback");
}

} // namespace varnel
