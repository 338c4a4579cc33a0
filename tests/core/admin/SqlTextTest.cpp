#include "admin/SqlText.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(SqlDesignText, NineLinesEachWithATabBeforeItsComment)
{
    const std::string_view text = sqlDesignText();
    EXPECT_TRUE(text.starts_with("select version();\t//查看MySQL的版本号\r\nselect current_date();\t//"));
    EXPECT_TRUE(text.ends_with("\r\ndescribe db;\t//显示表\"db\"的结构"));
    std::size_t lines = 1, tabs = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        lines += text.substr(i, 2) == "\r\n";
        tabs += text.substr(i, 3) == "\t//";
    }
    EXPECT_EQ(lines, 9u);
    EXPECT_EQ(tabs, 9u);
}

TEST(CleanStatementText, CommentsAndBlanks)
{
    // A comment after a blank: the statement and blanks are left.
    EXPECT_EQ(cleanStatementText("select 1; //comment"), "select 1;  ");
    // The design lines: TAB, then the comment.
    EXPECT_EQ(cleanStatementText("select version();\t//查看MySQL的版本号"), "select version();  ");
    // A "//" with nothing after it stays.
    EXPECT_EQ(cleanStatementText("FLUSH PRIVILEGES;//"), "FLUSH PRIVILEGES;//");
    EXPECT_EQ(cleanStatementText("a;\t//\r\nb;"), "a; //\r\nb;");
    // Inside a quoted string too.
    EXPECT_EQ(cleanStatementText("select 'http://x' as u"), "select 'http: ");
    // Runs of spaces, leading and trailing blanks, ideographic spaces.
    EXPECT_EQ(cleanStatementText("select   1"), "select 1");
    EXPECT_EQ(cleanStatementText("  select 1  \r\n\tselect 2\t"), " select 1 \r\n select 2 ");
    EXPECT_EQ(cleanStatementText("select\xE3\x80\x80"
                                 "1"),
        "select 1");
    EXPECT_EQ(cleanStatementText("\xE3\x80\x80\xE3\x80\x80select 1"), " select 1");
    // Comment-only and blank-only lines become one space.
    EXPECT_EQ(cleanStatementText("//note\r\n   \r\nselect 1"), " \r\n \r\nselect 1");
    // Nothing to clean.
    EXPECT_EQ(cleanStatementText("select 1"), "select 1");
    EXPECT_EQ(cleanStatementText(""), "");
}

TEST(CleanStatementText, ACommaJoinsTwoLines)
{
    EXPECT_EQ(cleanStatementText("select a,\r\nb from t"), "select a,b from t");
    EXPECT_EQ(cleanStatementText("select a,\r\nb,\r\nc from t\r\nselect 2"), "select a,b,c from t\r\nselect 2");
    // Blanks after the comma become one space, which keeps the lines apart.
    EXPECT_EQ(cleanStatementText("select a, \r\nb from t"), "select a, \r\nb from t");
}

TEST(SplitStatementLines, EmptyLinesAreCountedButSkipped)
{
    const auto lines = splitStatementLines(cleanStatementText("select 1\r\n\r\nselect 2 //two\r\nselect 3\r\n"));
    const std::vector<NumberedStatement> expected = {{1, "select 1"}, {3, "select 2  "}, {4, "select 3"}};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(splitStatementLines("").empty());
    EXPECT_TRUE(splitStatementLines("\r\n\r\n").empty());
    EXPECT_EQ(splitStatementLines(" \r\n"), (std::vector<NumberedStatement>{{1, " "}}));
    // Only CR LF splits.
    EXPECT_EQ(splitStatementLines("a\nb"), (std::vector<NumberedStatement>{{1, "a\nb"}}));
    // The design text: nine statements.
    const auto design = splitStatementLines(cleanStatementText(sqlDesignText()));
    ASSERT_EQ(design.size(), 9u);
    EXPECT_EQ(design[0], (NumberedStatement{1, "select version();  "}));
    EXPECT_EQ(design[8], (NumberedStatement{9, "describe db;  "}));
}

TEST(SqlSamples, MenuOrderSeparatorsAndSubmenu)
{
    const auto &samples = sqlSamples();
    std::vector<std::string> shape;
    for (const SqlSample &s : samples) {
        switch (s.kind) {
        case SqlSample::Kind::Item:
            shape.emplace_back(s.label);
            break;
        case SqlSample::Kind::Separator:
            shape.emplace_back("-");
            break;
        case SqlSample::Kind::SubmenuBegin:
            shape.emplace_back(std::string(s.label) + " >");
            break;
        case SqlSample::Kind::SubmenuEnd:
            shape.emplace_back("<");
            break;
        }
    }
    const std::vector<std::string> expected = {"设置当前库", "显示当前库", "字符集 >", "查看系统字符集", "查看库字符集",
        "查看表字符集", "查看字段字符集", "-", "转换库为UTF-8", "转换表为UTF-8", "<", "-", "创建库", "删除库", "-",
        "显示全部库", "显示当前库全部表", "显示表记录", "显示表字段", "-", "修改表名", "删除表", "清空表数据",
        "插入记录", "删除记录", "-", "表导出到文本文件", "文本文件导入到表", "导入.SQL文件到当前库", "修改用户密码",
        "-", "查看MySQL的版本号", "查看MySQL的当前日期", "同时查看MySQL的版本号和当前日期", "-", "连接权限修改：改表法",
        "连接权限修改：从任何主机连接", "连接权限修改：从指定IP连接"};
    EXPECT_EQ(shape, expected);

    auto find = [&](std::string_view label) -> const SqlSample & {
        for (const SqlSample &s : samples) {
            if (s.label == label)
                return s;
        }
        static const SqlSample none;
        ADD_FAILURE() << label;
        return none;
    };
    EXPECT_EQ(sampleText(find("转换库为UTF-8"), "x"),
        "ALTER DATABASE `库名` DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;//转换库为UTF8");
    EXPECT_EQ(sampleText(find("转换表为UTF-8"), "x"),
        "ALTER TABLE `表名` CONVERT TO CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;//转换表为UTF8");
    EXPECT_EQ(sampleText(find("修改用户密码"), "root"),
        "UPDATE mysql.user SET password=PASSWORD('新密码') WHERE User='root';//\r\nFLUSH PRIVILEGES;//修改用户密码");
    EXPECT_EQ(sampleText(find("插入记录"), "root"),
        "INSERT INTO `表名` VALUES (''字段1的值'',''字段2的值'',''..'');//表插入记录");
}

TEST(InsertSample, QuotesTabsAndLineEnd)
{
    EXPECT_EQ(sampleInsertion("show variables like ''%char%'';//查看系统字符集"),
        "show variables like \"%char%\";\t//查看系统字符集\r\n");
    EXPECT_EQ(sampleInsertion("a;//\r\nb;//c"), "a;\t//\r\nb;\t//c\r\n");

    // In place of the selection, the caret after it, nothing selected.
    const EditorText replaced = insertSampleText({"one\r\ntwo\r\nthree", 5, 8}, "x;//y");
    EXPECT_EQ(replaced, (EditorText{"one\r\nx;\t//y\r\n\r\nthree", 13, 13}));
    // At the caret.
    EXPECT_EQ(insertSampleText({"ab", 1, 1}, "x"), (EditorText{"ax\r\nb", 4, 4}));
    // A selection made backwards, and ends past the text.
    EXPECT_EQ(insertSampleText({"abc", 2, 0}, "x"), (EditorText{"x\r\nc", 3, 3}));
    EXPECT_EQ(insertSampleText({"abc", 9, 9}, "x"), (EditorText{"abcx\r\n", 6, 6}));
}

TEST(SqlText, FailedLineStatus)
{
    EXPECT_EQ(statementFailedStatus(3, "错误 1146：表 'a.b' 不存在"), "序号 3 执行失败！错误 1146：表 'a.b' 不存在");
    EXPECT_EQ(statementFailedStatus(1, ""), "序号 1 执行失败！");
}

} // namespace
} // namespace varnel
