#include "design/FormTable.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(ManagerForm, SweptButtonsInOrder)
{
    const FormSpec &f = managerFormSpec();
    EXPECT_EQ(f.section, "管理器");
    EXPECT_TRUE(f.columns.empty());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"按钮新建库", "新建库"},
        {"按钮删除库", "删除库"},
        {"按钮查找库", "查找库"},
        {"按钮删除表", "删除表"},
        {"按钮修改表名", "修改表名"},
        {"按钮查找表", "查找表"},
        {"按钮查看记录", "查看记录"},
        {"按钮查看字段", "查看字段"},
        {"按钮SQL", "SQL"},
        {"按钮用户", "用户"},
        {"按钮事务", "事务"},
    };
    ASSERT_EQ(f.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(f.controls[i].name, expected[i].first);
        EXPECT_EQ(f.controls[i].kind, ControlKind::Button);
        EXPECT_EQ(f.controls[i].caption, expected[i].second);
        EXPECT_TRUE(f.controls[i].enabled);
    }
    EXPECT_EQ(&managerFormSpec(), &f);
}

TEST(ManagerForm, SqlWindowSettingsKeys)
{
    EXPECT_EQ(kSqlSection, "SQL查询");
    EXPECT_EQ(kSqlStatementKey, "语句");
}

} // namespace
} // namespace varnel
