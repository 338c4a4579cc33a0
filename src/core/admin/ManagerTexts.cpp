#include "admin/ManagerTexts.h"

#include "mysql/MySqlConnection.h"

namespace varnel {
namespace {

std::string_view unitWord(bool fieldsMode)
{
    return fieldsMode ? "个" : "条";
}

std::string_view nounWord(bool fieldsMode)
{
    return fieldsMode ? "字段" : "记录";
}

} // namespace

std::string failureReason(bool connected, unsigned number, std::string_view message)
{
    if (!connected)
        return "没有连接到 MySQL 服务器";
    if (message.empty())
        return {};
    if (number == 0)
        return std::string(message);
    return "错误 " + std::to_string(number) + "：" + std::string(message);
}

std::string failureReason(const MySqlConnection &db)
{
    std::string message;
    if (!db.lastError(message))
        message.clear();
    return failureReason(db.isOpen(), db.lastErrorNumber(), message);
}

std::string withFailureReason(std::string_view message, std::string_view reason)
{
    std::string text(message);
    if (!reason.empty())
        text += "\r\n" + std::string(reason);
    return text;
}

std::string transactionOutcome(int which, bool ok, std::string_view reason)
{
    if (ok)
        return which == 0 ? "事务已开始" : which == 1 ? "事务已提交" : "事务已回滚";
    return withFailureReason(which == 0 ? "开始事务失败！" : which == 1 ? "提交事务失败！" : "回滚事务失败！", reason);
}

std::string databaseListCaption(std::optional<std::size_t> count)
{
    if (!count)
        return "   正在请求库列表..";
    if (*count == 0)
        return "   在 MySQL 上的库";
    return "   在 MySQL 上的库( " + std::to_string(*count) + " 个)：";
}

std::string tableListCaption(std::string_view database, std::optional<std::size_t> count)
{
    if (!count)
        return "   正在请求表列表..";
    if (database.empty())
        return "   当前库的表";
    return "   当前库 " + std::string(database) + " 的表( " + std::to_string(*count) + " 个)：";
}

std::string dropTablesQuestion(const std::vector<std::string> &tables, bool recordsOnly)
{
    const std::string what = recordsOnly ? "的全部记录数据" : "";
    std::string question;
    if (tables.size() == 1)
        question = "确定要删除表 " + tables.front() + " " + what + "吗？";
    else
        question = "确定要删除选定的 " + std::to_string(tables.size()) + " 个表" + what + "吗？";
    if (!recordsOnly)
        question += "\r\n\r\n（右击‘删除表’按钮可删除表的全部记录）";
    return question;
}

std::string viewerColumnTitle(std::string_view name, std::size_t index, bool fieldsMode)
{
    std::string title = name.empty() ? std::string("值") : std::string(name);
    if (!fieldsMode)
        title += "(" + std::to_string(index + 1) + ")";
    return title;
}

std::string viewerLoadingCaption(std::string_view table, bool fieldsMode)
{
    return "正在读表 " + std::string(table) + " 的" + (fieldsMode ? "字段列表" : "记录列表");
}

std::string viewerCaption(std::string_view table, bool fieldsMode, std::uint64_t rows)
{
    return "表 " + std::string(table) + " " + (fieldsMode ? "的字段列表" : "记录列表") + "(" + std::to_string(rows)
        + ")";
}

std::string viewerOpenFailedCaption(std::string_view table)
{
    return "打开表失败：" + std::string(table);
}

std::string viewerDeleteQuestion(bool fieldsMode, bool all, std::size_t n)
{
    const std::string which =
        all ? std::string("全部") : "选定的 " + std::to_string(n) + " " + std::string(unitWord(fieldsMode));
    return "确定要删除" + which + std::string(nounWord(fieldsMode)) + "吗？";
}

std::string viewerDeletingCaption(bool fieldsMode)
{
    return "正在删除" + std::string(nounWord(fieldsMode)) + "中..";
}

std::string viewerDeletedCaption(bool fieldsMode, std::size_t asked, std::size_t deleted)
{
    const std::string unit(unitWord(fieldsMode));
    return "总 " + std::to_string(asked) + " " + unit + "要删除的" + std::string(nounWord(fieldsMode))
        + "，实际删除成功 " + std::to_string(deleted) + " " + unit;
}

} // namespace varnel
