#include "transfer/BatchSizing.h"

#include "mapping/FieldRule.h"
#include "transfer/ArticleImporter.h"
#include "transfer/ImportRun.h"
#include "transfer/ServerQueries.h"
#include "transfer/TableEngine.h"

#include <algorithm>
#include <cstdint>

namespace varnel {

std::size_t maxAllowedPacket(MySqlConnection &db)
{
    if (const auto packet = queryValue(db, "select @@max_allowed_packet"))
        return static_cast<std::size_t>(std::max<std::int64_t>(0, canonicalInteger(*packet).value_or(0)));
    return 0;
}

RowInserter::Limits batchedLimits(RowInserter::Limits limits, std::size_t rows)
{
    const std::size_t packet = limits.maxStatementBytes ? limits.maxStatementBytes : std::size_t{1} << 20;
    limits.batchBytes = std::min(std::clamp<std::size_t>(packet / 4, 64 << 10, 8 << 20), packet / 2);
    limits.batchRows = rows;
    return limits;
}

// Batches are used only where a refused batch leaves nothing behind.
RowInserter::Limits ArticleImporter::insertLimits(const Run &run)
{
    RowInserter::Limits limits;
    limits.maxStatementBytes = maxAllowedPacket(m_db);
    if (m_batchRows <= 1 || !takesBatches(tableEngine(m_db, run.table)))
        return limits;
    return batchedLimits(limits, m_batchRows);
}

} // namespace varnel
