#include "transfer/Progress.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"

#include <gtest/gtest.h>

#include <memory>

namespace varnel {
namespace {

TEST(Progress, OneFormatterGivesEveryCaption)
{
    using K = TransferKind;
    using P = RunPhase;
    const struct {
        ProgressEvent event;
        std::string caption;
    } rows[] = {
        {{K::Import, P::Idle, 0, 0, {}}, "导入文章到 MySQL 数据库"},
        {{K::Import, P::Listing, 0, 0, {}}, "正在读取文章列表.."},
        {{K::Import, P::Starting, 0, 9, {}}, "正在导入.."},
        {{K::Import, P::Transferring, 3, 9, "a"}, "总 9 篇，已导入 3 篇"},
        {{K::Import, P::Stopping, 3, 9, {}}, "总 9 篇，已导入 3 篇"},
        {{K::Export, P::Idle, 0, 0, {}}, "从 MySQL 数据库导出文章"},
        {{K::Export, P::Starting, 0, 0, {}}, "开始导出.."},
        {{K::Export, P::Transferring, 1, 2, "b"}, "总 2 篇，已导出 1 篇"},
        {{K::Export, P::Stopping, 1, 2, {}}, "正在停止中.."},
    };
    for (const auto &row : rows)
        EXPECT_EQ(progressCaption(row.event), row.caption);
}

TEST(RunStateDeathTest, AFormDestroyedDuringARunStopsTheProgram)
{
    EXPECT_DEATH(
        {
            auto form = std::make_unique<MemoryForm>(mainFormSpec());
            form->beginUse();
            form.reset();
        },
        "destroyed while a run was using it");
}

} // namespace
} // namespace varnel
