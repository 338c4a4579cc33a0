#include "design/FormTable.h"

#include "mapping/FieldRule.h"

namespace varnel {
namespace {

ControlSpec edit(std::string name, std::string text = {})
{
    ControlSpec s;
    s.kind = ControlKind::EditBox;
    s.name = std::move(name);
    s.text = std::move(text);
    return s;
}

ControlSpec button(std::string name, std::string caption, bool enabled = true)
{
    ControlSpec s;
    s.kind = ControlKind::Button;
    s.name = std::move(name);
    s.caption = std::move(caption);
    s.enabled = enabled;
    return s;
}

ControlSpec check(std::string name, std::string caption, bool checked)
{
    ControlSpec s;
    s.kind = ControlKind::CheckBox;
    s.name = std::move(name);
    s.caption = std::move(caption);
    s.checked = checked;
    return s;
}

ControlSpec radio(std::string name, std::string caption, bool checked, std::string group)
{
    ControlSpec s = check(std::move(name), std::move(caption), checked);
    s.kind = ControlKind::RadioButton;
    s.group = std::move(group);
    return s;
}

ControlSpec combo(std::string name, std::vector<std::string> items, int index)
{
    ControlSpec s;
    s.kind = ControlKind::ComboBox;
    s.name = std::move(name);
    s.items = std::move(items);
    s.index = index;
    return s;
}

} // namespace

// check-format: table
const FormSpec &mainFormSpec()
{
    static const FormSpec spec = [] {
        FormSpec f;
        f.section = "主界面";
        f.columns = {"字段名或位置", "数据来源", "数据配置"};
        // Definition order: the order the window sweep visits them.
        f.controls = {
            radio("单选框默认", "默认", false, "时间戳单位"),
            check("选择框同步", "同步", true),
            edit("编辑框递进值", "1"),
            edit("编辑框起始值", "1"),
            radio("单选框现在时", "现在时", true, "时间戳来源"),
            radio("单选框文件时", "文件时", false, "时间戳来源"),
            radio("单选框随机时", "随机时", false, "时间戳来源"),
            radio("单选框毫秒", "时间戳毫秒", false, "时间戳单位"),
            radio("单选框秒", "时间戳秒", true, "时间戳单位"),
            edit("编辑框字段分隔符", "|"),
            radio("单选框不包含", "不包含", false, "值比较"),
            radio("单选框包含", "包含", false, "值比较"),
            radio("单选框不相等", "不相等", false, "值比较"),
            radio("单选框且逻辑", "且逻辑", true, "多字段"),
            radio("单选框或逻辑", "或逻辑", false, "多字段"),
            check("选择框启用导出条件", "启用", false),
            edit("编辑框条件字段值", "2|。"),
            radio("单选框相等", "相等", true, "值比较"),
            edit("编辑框条件字段名", "fid|message"),
            button("按钮导出条件", "导出\r\n条件"),
            check("选择框遍历子目录", "遍历子目录", false),
            edit("编辑框固定的文本"),
            button("按钮读表字段", "读入当前表的字段设置", false),
            button("按钮表列表", "表..", false),
            button("按钮库列表", "库..", false),
            edit("编辑框库名"),
            button("按钮建立连接", "建立连接"),
            edit("编辑框用户名", "root"),
            button("按钮导入配置", "导入配置"),
            button("按钮导出配置", "导出配置"),
            check("选择框乱序导入", "乱序导入", false),
            button("按钮导出", "从 MySQL 数据库导出文章", false),
            button("按钮导入", "导入文章到 MySQL 数据库", false),
            button("按钮输入词组", ".."),
            edit("编辑框数量2", "3"),
            edit("编辑框词组", "词1|词2|词3|词4|词5|词6"),
            edit("编辑框数量1", "3"),
            combo("组合框模式", {"不重复随机", "自然随机", "原始顺序"}, 0),
            check("选择框当前时间", "当前时间", false),
            edit("编辑框年1", "2012"),
            edit("编辑框年2", "2015"),
            edit("编辑框时间表达式", "<年>-<月>-<日> <时>:<分>:<秒>"),
            button("按钮问号1", "?"),
            edit("编辑框数母字数1", "10"),
            edit("编辑框数母字数2", "15"),
            check("选择框转为全角", "转为全角", false),
            check("选择框有数字", "数字", false),
            check("选择框有小字母", "小写字母", true),
            check("选择框有大字母", "大写字母", true),
            edit("编辑框汉字字数1", "5"),
            edit("编辑框汉字字数2", "10"),
            check("选择框转为繁体", "转为繁体", false),
            radio("单选框最常用", "最常用", true, "汉字表"),
            radio("单选框一般常用", "一般常用", false, "汉字表"),
            radio("单选框次要常用", "次要常用", false, "汉字表"),
            combo("组合框类型", {"全部", "日期", "时间"}, 0),
            radio("单选框访问", "访问", false, "文件时间"),
            radio("单选框修改", "修改", true, "文件时间"),
            radio("单选框创建", "创建", false, "文件时间"),
            edit("编辑框摘要字数1", "100"),
            edit("编辑框摘要字数2", "200"),
            edit("编辑框标签尾", "</title>"),
            edit("编辑框标签头", "<title>"),
            combo("组合框数据来源", dataSourceLabels(), 1),
            button("按钮修改", "修改"),
            button("按钮删除", "删除"),
            button("按钮添加", "添加"),
            edit("编辑框字段名"),
            edit("编辑框密码", "tqmv"),
            edit("编辑框表名"),
            edit("编辑框服务器", "127.0.0.1"),
            edit("编辑框文件类型", "*.*"),
            combo("组合框文件编码", {"自动识别", "ANSI", "UTF-8", "Unicode", "UnicodeBE"}, 0),
            button("按钮选择目录", ".."),
            edit("编辑框文章目录"),
            // Not on the window: the mapping list's context menu sets it and
            // marks its row. Files saved before it simply lack the key.
            edit("编辑框唯一键"),
            // The connection's encryption, set in a small dialog of the
            // window (or in the file); empty is the connection as it always
            // was.
            edit("编辑框加密方式"),
            edit("编辑框CA证书"),
            edit("编辑框客户端证书"),
            edit("编辑框客户端私钥"),
            check("选择框不保存密码", "不保存密码", false),
        };
        return f;
    }();
    return spec;
}

const FormSpec &tableFormSpec()
{
    static const FormSpec spec = [] {
        FormSpec f;
        f.section = "新建表";
        f.columns = {"字段名", "类型", "长度或取值范围"};
        // The type box is filled with the column types when the window is
        // created; it starts empty with nothing selected.
        f.controls = {
            button("按钮修改字段", "修改字段"),
            combo("组合框类型", {}, -1),
            button("按钮删除字段", "删除字段"),
            button("按钮添加字段", "添加字段"),
            edit("编辑框字段名"),
            button("按钮导入配置", "导入配置"),
            button("按钮导出配置", "导出配置"),
            check("选择框仅新建库", "仅新建库", false),
            button("按钮关闭", "关闭"),
            button("按钮执行创建", "执行创建"),
        };
        return f;
    }();
    return spec;
}

const FormSpec &managerFormSpec()
{
    static const FormSpec spec = [] {
        FormSpec f;
        f.section = "管理器";
        f.controls = {
            button("按钮新建库", "新建库"),
            button("按钮删除库", "删除库"),
            button("按钮查找库", "查找库"),
            button("按钮删除表", "删除表"),
            button("按钮修改表名", "修改表名"),
            button("按钮查找表", "查找表"),
            button("按钮查看记录", "查看记录"),
            button("按钮查看字段", "查看字段"),
            button("按钮SQL", "SQL"),
            button("按钮用户", "用户"),
            button("按钮事务", "事务"),
        };
        return f;
    }();
    return spec;
}

} // namespace varnel
