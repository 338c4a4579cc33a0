#include "mysql/ClusterNode.h"

#include "mysql/ServerError.h"

#include <mysql.h>

#include <optional>
#include <string_view>

namespace varnel {
namespace {

// A cell of the first row of a query, or nothing (also on an error).
std::optional<std::string> firstRowCell(MYSQL *m, std::string_view query, unsigned column)
{
    if (mysql_real_query(m, query.data(), static_cast<unsigned long>(query.size())) != 0)
        return std::nullopt;
    MYSQL_RES *result = mysql_store_result(m);
    if (!result)
        return std::nullopt;
    std::optional<std::string> cell;
    const MYSQL_ROW row = mysql_fetch_row(result);
    const unsigned long *lengths = row ? mysql_fetch_lengths(result) : nullptr;
    if (row && lengths && column < mysql_num_fields(result) && row[column])
        cell = std::string(row[column], lengths[column]);
    mysql_free_result(result);
    return cell;
}

} // namespace

ClusterNode ClusterNode::join(MYSQL *m)
{
    ClusterNode node;
    node.m_node = firstRowCell(m, "select @@wsrep_on", 0) == "1";
    if (!node.m_node)
        return node;
    node.m_id = firstRowCell(m, "show status like 'wsrep_gcomm_uuid'", 1).value_or("");
    node.m_ready = firstRowCell(m, "show status like 'wsrep_ready'", 1).value_or("");
    if (node.refusal().empty()) {
        constexpr std::string_view kCausalReads = "SET SESSION wsrep_sync_wait = 1";
        mysql_real_query(m, kCausalReads.data(), static_cast<unsigned long>(kCausalReads.size()));
    }
    return node;
}

std::string ClusterNode::refusal() const
{
    if (!m_node || m_ready == "ON")
        return {};
    return "这个集群节点尚未就绪（wsrep_ready 为 " + (m_ready.empty() ? std::string("未知") : m_ready) + "）";
}

bool ClusterNode::cutOffBy(unsigned errorNumber) const
{
    return m_node && errorNumber == errnum::kNodeNotPrepared;
}

} // namespace varnel
