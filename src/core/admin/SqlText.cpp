#include "admin/SqlText.h"

#include "text/RegexMatcher.h"

#include <algorithm>
#include <utility>

namespace varnel {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80"; // U+3000

void replaceEvery(std::string &text, std::string_view from, std::string_view to)
{
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

using Kind = SqlSample::Kind;

SqlSample item(std::string_view label, std::string_view text)
{
    return {Kind::Item, label, text, false, {}};
}

SqlSample separator()
{
    return {Kind::Separator, {}, {}, false, {}};
}

} // namespace

std::string_view sqlDesignText()
{
    return "select version();\t//查看MySQL的版本号\r\n"
           "select current_date();\t//查看MySQL的当前日期\r\n"
           "select version(),current_date();\t//同时查看MySQL的版本号和当前日期\r\n"
           "show databases;\t//显示当前存在的数据库\r\n"
           "USE mysql;\t//选择使用数据库\r\n"
           "select database();\t//显示当前选择的数据库\r\n"
           "show tables;\t//显示当前数据库中存在的表\r\n"
           "select * from db;\t//显示表\"db\"的内容\r\n"
           "describe db;\t//显示表\"db\"的结构";
}

std::string cleanStatementText(std::string_view text)
{
    RegexMatcher blanks;
    blanks.compile(R"(//[^\r\n]+| {2,}|^[ 　\11]+|[ 　\11]+$)");
    std::string cleaned = blanks.replaceAll(text, " ");
    replaceEvery(cleaned, kIdeographicSpace, " ");
    replaceEvery(cleaned, "\t", " ");
    RegexMatcher continued;
    continued.compile(R"(\,\r\n)");
    return continued.replaceAll(cleaned, ",");
}

std::vector<NumberedStatement> splitStatementLines(std::string_view cleaned)
{
    std::vector<NumberedStatement> out;
    int number = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = cleaned.find("\r\n", start);
        const std::string_view line =
            cleaned.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++number;
        if (!line.empty())
            out.push_back({number, std::string(line)});
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    return out;
}

std::string statementFailedStatus(int number, std::string_view reason)
{
    return "序号 " + std::to_string(number) + " 执行失败！" + std::string(reason);
}

const std::vector<SqlSample> &sqlSamples()
{
    static const std::vector<SqlSample> samples = {
        item("设置当前库", "USE `库名`//设置当前库"),
        item("显示当前库", "select database();//显示当前库"),
        {Kind::SubmenuBegin, "字符集", {}, false, {}},
        item("查看系统字符集", "show variables like ''%char%'';//查看系统字符集"),
        item("查看库字符集", "SHOW CREATE DATABASE `库名`;//查看库字符集"),
        item("查看表字符集", "SHOW CREATE TABLE `表名`;//查看表字符集"),
        item("查看字段字符集", "SHOW FULL COLUMNS FROM `表名`;//查看字段字符集"),
        separator(),
        // utf8mb4: the connection's character set, and the one that holds
        // every character; a table's columns are converted along with it.
        item("转换库为UTF-8",
            "ALTER DATABASE `库名` DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;//转换库为UTF8"),
        item("转换表为UTF-8",
            "ALTER TABLE `表名` CONVERT TO CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;//转换表为UTF8"),
        {Kind::SubmenuEnd, {}, {}, false, {}},
        separator(),
        item("创建库", "CREATE DATABASE `库名`;//创建库"),
        item("删除库", "DROP DATABASE `库名`;//删除库"),
        separator(),
        item("显示全部库", "show databases;//显示全部库"),
        item("显示当前库全部表", "show tables;//显示当前库全部表"),
        item("显示表记录", "select * from `表名`;//显示表记录"),
        item("显示表字段", "describe `表名`;//显示表字段"),
        separator(),
        item("修改表名", "ALTER TABLE `原表名` RENAME TO `新表名`;//修改表名"),
        item("删除表", "DROP TABLE `表名`;//删除表"),
        item("清空表数据", "DELETE FROM `表名`;//清空表数据"),
        item("插入记录", "INSERT INTO `表名` VALUES (''字段1的值'',''字段2的值'',''..'');//表插入记录"),
        item("删除记录", "delete from `表名` where 字段名=字段值;//删除符合字段判断条件的记录"),
        separator(),
        item("表导出到文本文件", "select * from `表名` into outfile '文本文件路径';//表导出到文本文件"),
        item("文本文件导入到表", "LOAD DATA LOCAL INFILE ''文本文件路径'' INTO TABLE `表名`;//文本文件导入到表"),
        item("导入.SQL文件到当前库", "SOURCE ''d:/mysql.sql'';//导入SQL文件到当前库"),
        {Kind::Item, "修改用户密码", "UPDATE mysql.user SET password=PASSWORD('新密码') WHERE User='", true,
            "';//\r\nFLUSH PRIVILEGES;//修改用户密码"},
        separator(),
        item("查看MySQL的版本号", "select version();//查看MySQL的版本号"),
        item("查看MySQL的当前日期", "select current_date();//查看MySQL的当前日期"),
        item("同时查看MySQL的版本号和当前日期", "select version(),current_date();//同时查看MySQL的版本号和当前日期"),
        separator(),
        item("连接权限修改：改表法",
            "use mysql;\r\nupdate user set host = '%' where user = '用户名';\r\nselect host, user from "
            "user;//让指定用户能在非服务器的电脑上连接 MySql"),
        item("连接权限修改：从任何主机连接",
            "GRANT ALL PRIVILEGES ON *.* TO '用户'@'%' IDENTIFIED BY '密码' WITH GRANT OPTION;//从任何主机连接"),
        item("连接权限修改：从指定IP连接",
            "GRANT ALL PRIVILEGES ON *.* TO '用户'@'192.168.1.3' IDENTIFIED BY '密码' WITH GRANT "
            "OPTION;//从指定IP连接"),
    };
    return samples;
}

std::string sampleText(const SqlSample &sample, std::string_view userName)
{
    std::string text(sample.text);
    if (sample.withUserName) {
        text += userName;
        text += sample.afterUserName;
    }
    return text;
}

std::string sampleInsertion(std::string_view sample)
{
    std::string text(sample);
    replaceEvery(text, "''", "\"");
    replaceEvery(text, "//", "\t//");
    return text + "\r\n";
}

EditorText insertSampleText(const EditorText &editor, std::string_view sample)
{
    const std::size_t size = editor.text.size();
    std::size_t from = std::min(editor.selectionStart, size);
    std::size_t to = std::min(editor.selectionEnd, size);
    if (from > to)
        std::swap(from, to);
    const std::string insertion = sampleInsertion(sample);
    EditorText out;
    out.text = editor.text.substr(0, from) + insertion + editor.text.substr(to);
    out.selectionStart = out.selectionEnd = from + insertion.size();
    return out;
}

} // namespace varnel
