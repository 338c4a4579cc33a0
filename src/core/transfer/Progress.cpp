#include "transfer/Progress.h"

namespace varnel {

std::string progressCaption(const ProgressEvent &e)
{
    const bool import = e.kind == TransferKind::Import;
    auto count = [&] {
        return "总 " + std::to_string(e.total) + (import ? " 篇，已导入 " : " 篇，已导出 ") + std::to_string(e.done)
            + " 篇";
    };
    switch (e.phase) {
    case RunPhase::Idle:
        return std::string(import ? kImportIdle : kExportIdle);
    case RunPhase::Listing:
        return "正在读取文章列表..";
    case RunPhase::Starting:
        return import ? "正在导入.." : "开始导出..";
    case RunPhase::Transferring:
        return count();
    case RunPhase::Stopping:
        return import ? count() : "正在停止中..";
    }
    return {};
}

} // namespace varnel
