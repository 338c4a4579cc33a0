#include "admin/DatabaseCatalog.h"

#include "admin/ManagerTexts.h"
#include "mysql/MySqlConnection.h"

namespace varnel {

std::optional<NameList> DatabaseCatalog::readNames(bool sent, const EventPump &each)
{
    auto result = sent ? m_db.storeResult() : nullptr;
    if (!result)
        return std::nullopt;
    NameList names;
    names.reserve(static_cast<std::size_t>(result->rowCount()));
    for (std::uint64_t r = 0; r < result->rowCount(); ++r) {
        names.push_back(result->cell(r, 0));
        pump(each);
    }
    return names;
}

std::optional<NameList> DatabaseCatalog::databases(const EventPump &each)
{
    return readNames(m_db.showDatabases(), each);
}

std::optional<NameList> DatabaseCatalog::tables(std::string_view database, const EventPump &each)
{
    return readNames(!database.empty() && m_db.selectDatabase(database) && m_db.showTables(), each);
}

bool DatabaseCatalog::createDatabase(std::string_view name)
{
    const Identifier id(name);
    if (!m_db.createDatabase(id))
        return false;
    m_db.execute(sql::databaseCharset(id));
    return true;
}

bool DatabaseCatalog::dropDatabase(std::string_view name)
{
    return m_db.dropDatabase(Identifier(name));
}

bool DatabaseCatalog::dropTable(std::string_view database, std::string_view table)
{
    return !database.empty() && m_db.ensureDatabase(database) && m_db.dropTable(Identifier(table));
}

bool DatabaseCatalog::emptyTable(std::string_view database, std::string_view table)
{
    return !database.empty() && m_db.ensureDatabase(database) && m_db.deleteRows(Identifier(table), "");
}

bool DatabaseCatalog::renameTable(std::string_view database, std::string_view from, std::string_view to)
{
    return !database.empty() && m_db.ensureDatabase(database)
        && m_db.execute(sql::renameTable(Identifier(from), Identifier(to)));
}

std::optional<std::string> DatabaseCatalog::countRows(std::string_view database, std::string_view table)
{
    if (database.empty() || !m_db.ensureDatabase(database) || !m_db.execute(sql::countRows(Identifier(table))))
        return std::nullopt;
    auto result = m_db.storeResult();
    if (!result || result->rowCount() == 0)
        return std::nullopt;
    return result->cell(0, 0);
}

std::string DatabaseCatalog::failure() const
{
    return failureReason(m_db);
}

} // namespace varnel
