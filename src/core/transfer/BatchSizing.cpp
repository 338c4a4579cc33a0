#include "transfer/BatchSizing.h"

#include "mapping/FieldRule.h"
#include "transfer/ArticleImporter.h"
#include "transfer/ImportRun.h"
#include "transfer/ServerQueries.h"
#include "transfer/TableEngine.h"

#include <algorithm>
#include <cstdint>

namespace varnel {

BatchSizing::BatchSizing(InsertLimits limits, std::size_t statementHead)
    : m_limits(limits)
    , m_statementHead(statementHead)
{
    if (m_limits.batchRows == 0)
        m_limits.batchRows = 1;
}

const BatchSizing::Size &BatchSizing::batchOf(std::size_t values) const
{
    if (values == m_sizedFor)
        return m_size;
    m_sizedFor = values;
    m_size.rows =
        std::max<std::size_t>(1, std::min(m_limits.batchRows, kMaxBoundValues / std::max<std::size_t>(1, values)));
    m_size.bytes = m_limits.batchBytes;
    if (m_limits.maxStatementBytes) {
        const std::size_t packetHead = 64 + values / 8;
        m_size.bytes = std::min(
            m_size.bytes, m_limits.maxStatementBytes > packetHead ? m_limits.maxStatementBytes - packetHead : 0);
    }
    return m_size;
}

bool BatchSizing::goesAlone(const InsertRow &row) const
{
    const Size &size = batchOf(row.values.size());
    return size.rows <= 1 || row.columns.empty() || row.boundBytes() >= size.bytes;
}

bool BatchSizing::tooLong(const InsertRow &row) const
{
    if (!m_limits.maxStatementBytes)
        return false;
    const std::size_t head = m_statementHead + row.columns.size() + 4 * row.values.size();
    return head + 2 * row.valueBytes + 1 > m_limits.maxStatementBytes
        && head + row.assignmentBytes() + 1 > m_limits.maxStatementBytes;
}

std::string packetLimitReason(std::size_t maxAllowedPacket)
{
    return "超过服务器允许的单条语句大小 max_allowed_packet（" + std::to_string(maxAllowedPacket) + " 字节）";
}

std::size_t maxAllowedPacket(MySqlConnection &db)
{
    if (const auto packet = queryValue(db, "select @@max_allowed_packet"))
        return static_cast<std::size_t>(std::max<std::int64_t>(0, canonicalInteger(*packet).value_or(0)));
    return 0;
}

InsertLimits batchedLimits(InsertLimits limits, std::size_t rows)
{
    const std::size_t packet = limits.maxStatementBytes ? limits.maxStatementBytes : std::size_t{1} << 20;
    limits.batchBytes = std::min(std::clamp<std::size_t>(packet / 4, 64 << 10, 8 << 20), packet / 2);
    limits.batchRows = rows;
    return limits;
}

// Batches are used only where a refused batch leaves nothing behind.
InsertLimits ArticleImporter::insertLimits(const Run &run)
{
    InsertLimits limits;
    limits.maxStatementBytes = maxAllowedPacket(m_db);
    if (m_batchRows <= 1 || !takesBatches(tableEngine(m_db, run.table)))
        return limits;
    return batchedLimits(limits, m_batchRows);
}

} // namespace varnel
