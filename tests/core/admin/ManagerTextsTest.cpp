#include "admin/ManagerTexts.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(ManagerTexts, DatabaseListCaption)
{
    EXPECT_EQ(databaseListCaption(std::nullopt), "   正在请求库列表..");
    EXPECT_EQ(databaseListCaption(0), "   在 MySQL 上的库");
    EXPECT_EQ(databaseListCaption(12), "   在 MySQL 上的库( 12 个)：");
}

TEST(ManagerTexts, TableListCaption)
{
    EXPECT_EQ(tableListCaption("news", std::nullopt), "   正在请求表列表..");
    EXPECT_EQ(tableListCaption("", 0), "   当前库的表");
    EXPECT_EQ(tableListCaption("news", 0), "   当前库 news 的表( 0 个)：");
    EXPECT_EQ(tableListCaption("文章库", 3), "   当前库 文章库 的表( 3 个)：");
}

TEST(ManagerTexts, DropTablesQuestion)
{
    EXPECT_EQ(dropTablesQuestion({"t"}, false), "确定要删除表 t 吗？\r\n\r\n（右击‘删除表’按钮可删除表的全部记录）");
    EXPECT_EQ(dropTablesQuestion({"t"}, true), "确定要删除表 t 的全部记录数据吗？");
    EXPECT_EQ(dropTablesQuestion({"a", "b", "c"}, false),
        "确定要删除选定的 3 个表吗？\r\n\r\n（右击‘删除表’按钮可删除表的全部记录）");
    EXPECT_EQ(dropTablesQuestion({"a", "b"}, true), "确定要删除选定的 2 个表的全部记录数据吗？");
}

TEST(ViewerTexts, ColumnTitles)
{
    EXPECT_EQ(viewerColumnTitle("id", 0, false), "id(1)");
    EXPECT_EQ(viewerColumnTitle("title", 1, false), "title(2)");
    EXPECT_EQ(viewerColumnTitle("", 2, false), "值(3)");
    EXPECT_EQ(viewerColumnTitle("Field", 0, true), "Field");
    EXPECT_EQ(viewerColumnTitle("", 4, true), "值");
}

TEST(ViewerTexts, Captions)
{
    EXPECT_EQ(viewerLoadingCaption("news", true), "正在读表 news 的字段列表");
    EXPECT_EQ(viewerLoadingCaption("news", false), "正在读表 news 的记录列表");
    EXPECT_EQ(viewerCaption("news", false, 120), "表 news 记录列表(120)");
    EXPECT_EQ(viewerCaption("news", true, 5), "表 news 的字段列表(5)");
    EXPECT_EQ(viewerCaption("news", false, 0), "表 news 记录列表(0)");
    EXPECT_EQ(viewerOpenFailedCaption("news"), "打开表失败：news");
}

TEST(ViewerTexts, Deleting)
{
    EXPECT_EQ(viewerDeleteQuestion(false, false, 2), "确定要删除选定的 2 条记录吗？");
    EXPECT_EQ(viewerDeleteQuestion(true, false, 1), "确定要删除选定的 1 个字段吗？");
    EXPECT_EQ(viewerDeleteQuestion(true, true, 7), "确定要删除全部字段吗？");
    EXPECT_EQ(viewerDeleteQuestion(false, true, 7), "确定要删除全部记录吗？");
    EXPECT_EQ(viewerDeletingCaption(false), "正在删除记录中..");
    EXPECT_EQ(viewerDeletingCaption(true), "正在删除字段中..");
    EXPECT_EQ(viewerDeletedCaption(false, 3, 3), "总 3 条要删除的记录，实际删除成功 3 条");
    EXPECT_EQ(viewerDeletedCaption(true, 2, 1), "总 2 个要删除的字段，实际删除成功 1 个");
}

TEST(FailureTexts, ReasonAndMessage)
{
    EXPECT_EQ(failureReason(true, 1146, "表 'a.b' 不存在"), "错误 1146：表 'a.b' 不存在");
    EXPECT_EQ(failureReason(true, 0, "连接曾断开"), "连接曾断开");
    EXPECT_EQ(failureReason(true, 0, ""), "");
    EXPECT_EQ(failureReason(false, 0, ""), "没有连接到 MySQL 服务器");
    EXPECT_EQ(withFailureReason("修改表失败！", "错误 1050：x"), "修改表失败！\r\n错误 1050：x");
    EXPECT_EQ(withFailureReason("修改表失败！", ""), "修改表失败！");
}

TEST(FailureTexts, TransactionOutcome)
{
    EXPECT_EQ(transactionOutcome(0, true, ""), "事务已开始");
    EXPECT_EQ(transactionOutcome(1, true, ""), "事务已提交");
    EXPECT_EQ(transactionOutcome(2, true, ""), "事务已回滚");
    EXPECT_EQ(transactionOutcome(0, false, "错误 1399：x"), "开始事务失败！\r\n错误 1399：x");
    EXPECT_EQ(transactionOutcome(1, false, ""), "提交事务失败！");
    EXPECT_EQ(transactionOutcome(2, false, "没有连接到 MySQL 服务器"), "回滚事务失败！\r\n没有连接到 MySQL 服务器");
}

} // namespace
} // namespace varnel
