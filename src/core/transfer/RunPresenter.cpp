#include "transfer/RunPresenter.h"

namespace varnel {

void presentResult(const TransferResult &result, TransferHost &host)
{
    if (!result.message.empty())
        host.showMessage(result.message);
    if (result.detailShown && !result.detail.empty())
        host.showDetail(result.detail);
    if (!result.focus.empty())
        host.focus(result.focus);
    auto list = [&host](const char *title, const std::vector<TransferFailure> &items) {
        if (!items.empty())
            host.reportFailures(title, items);
    };
    if (result.kind == TransferKind::Export) {
        list("未能写出的行", result.failures);
        return;
    }
    list("未能导入的文件", result.failures);
    list("未确认是否已导入的文件", result.unknown);
    list("内容不完整的文件（已导入）", result.incomplete);
    list("运行停止时尚未导入的文件", result.skipped);
}

std::string importFinalMessage(const TransferResult &result)
{
    std::string message = "导入完成，已导入 " + std::to_string(result.transferred) + " 篇文章，";
    message += result.tableRows >= 0 ? "当前表有 " + std::to_string(result.tableRows) + " 条记录！"
                                     : std::string("当前表记录数无法读取！");
    // What a person who closes it before reading the lists must still know.
    if (!result.exists.empty())
        message += "\r\n已存在 " + std::to_string(result.exists.size()) + " 篇";
    if (!result.failures.empty())
        message += "\r\n未能导入 " + std::to_string(result.failures.size()) + " 篇";
    if (!result.unknown.empty())
        message += "\r\n未确认是否已导入 " + std::to_string(result.unknown.size()) + " 篇";
    if (result.stopped)
        message += "\r\n已停止，还有 " + std::to_string(result.skipped.size()) + " 篇未导入";
    return message;
}

std::string exportFinalMessage(const TransferResult &result, const std::string &fetchError)
{
    if (!fetchError.empty())
        return "导出中断，已导出 " + std::to_string(result.transferred) + " 篇文章：" + fetchError;
    return "导出完成，已导出 " + std::to_string(result.transferred) + " 篇文章，表中有 "
        + std::to_string(result.tableRows) + " 条记录！";
}

} // namespace varnel
