#include "admin/QueryRows.h"

#include "admin/ManagerTexts.h"
#include "mysql/MySqlConnection.h"
#include "mysql/ResultSet.h"

namespace varnel {

QueryRows::QueryRows(std::unique_ptr<ResultSet> rows)
    : m_rows(std::move(rows))
{
}

QueryRows::~QueryRows() = default;

std::uint64_t QueryRows::rowCount() const
{
    return m_rows->rowCount();
}

std::size_t QueryRows::columnCount() const
{
    return m_rows->columnCount();
}

const std::vector<ColumnInfo> &QueryRows::columns() const
{
    return m_rows->columns();
}

std::string QueryRows::cell(std::uint64_t row, std::size_t column) const
{
    return m_rows->cell(row, column);
}

bool QueryRows::cellIsNull(std::uint64_t row, std::size_t column) const
{
    return m_rows->cellIsNull(row, column);
}

StatementRun runStatement(MySqlConnection &db, std::string_view statement)
{
    StatementRun run;
    run.ok = db.execute(statement);
    if (!run.ok) {
        // Read before anything else is sent.
        run.failure = failureReason(db);
        return run;
    }
    if (auto rows = db.storeResult())
        run.rows = std::make_shared<const QueryRows>(std::move(rows));
    return run;
}

std::shared_ptr<const QueryRows> readTableView(
    MySqlConnection &db, std::string_view database, std::string_view table, TableView view)
{
    const Identifier id(table);
    if (database.empty() || !db.ensureDatabase(database)
        || !db.execute(view == TableView::Fields ? sql::describeTable(id) : sql::selectAll(id)))
        return nullptr;
    auto rows = db.storeResult();
    return rows ? std::make_shared<const QueryRows>(std::move(rows)) : nullptr;
}

} // namespace varnel
