#include "mapping/RuleEditor.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mapping/RuleValues.h"
#include "text/TextUtil.h"
#include "util/MessageHost.h"

namespace varnel {
namespace {

constexpr std::size_t kLoadedOptions = 100;
constexpr const char *kSourceBox = "组合框数据来源";
constexpr const char *kNameBox = "编辑框字段名";
constexpr const char *kFixedTextBox = "编辑框固定的文本";

constexpr std::string_view kShowConditions = "导出\r\n条件";
constexpr std::string_view kHideConditions = "关闭\r\n设置";

using K = OptionKind;

} // namespace

const std::vector<OptionControl> &optionControls(DataSource source)
{
    static const std::vector<OptionControl> pages[kDataSourceCount] = {
        {},
        {},
        {{"编辑框标签头", K::Text}, {"编辑框标签尾", K::Text}},
        {{"编辑框摘要字数1", K::Text}, {"编辑框摘要字数2", K::Text}},
        {{"单选框创建", K::Flag}, {"单选框修改", K::Flag}, {"单选框访问", K::Flag}, {"组合框类型", K::Selection}},
        {{"单选框最常用", K::Flag}, {"单选框一般常用", K::Flag}, {"单选框次要常用", K::Flag},
            {"选择框转为繁体", K::Flag}, {"编辑框汉字字数1", K::Text}, {"编辑框汉字字数2", K::Text}},
        {{"选择框有数字", K::Flag}, {"选择框有小字母", K::Flag}, {"选择框有大字母", K::Flag},
            {"选择框转为全角", K::Flag}, {"编辑框数母字数1", K::Text}, {"编辑框数母字数2", K::Text}},
        {{"编辑框时间表达式", K::Text}, {"编辑框年1", K::Text}, {"编辑框年2", K::Text}, {"选择框当前时间", K::Flag}},
        {{"编辑框词组", K::Text}, {"组合框模式", K::Selection}, {"编辑框数量1", K::Text}, {"编辑框数量2", K::Text}},
        {},
        {{"编辑框固定的文本", K::Text}},
        {{"单选框秒", K::Flag}, {"单选框毫秒", K::Flag}, {"单选框默认", K::Flag}, {"单选框现在时", K::Flag},
            {"单选框文件时", K::Flag}, {"单选框随机时", K::Flag}},
        {{"编辑框起始值", K::Text}, {"编辑框递进值", K::Text}, {"选择框同步", K::Flag}},
    };
    return pages[static_cast<int>(source)];
}

std::string optionsText(Form &form, int sourceIndex)
{
    if (sourceIndex < 0 || sourceIndex >= kDataSourceCount)
        return {};
    const auto source = static_cast<DataSource>(sourceIndex);
    if (source == DataSource::FileMainName || source == DataSource::FileContent || source == DataSource::ParentDirName)
        return std::string(kNoOptions);
    if (source == DataSource::FixedText) {
        const Control *c = form.control(kFixedTextBox);
        return c ? c->text() : std::string();
    }
    std::vector<std::string> options;
    for (const OptionControl &oc : optionControls(source)) {
        const Control *c = form.control(oc.name);
        if (!c) {
            options.emplace_back();
            continue;
        }
        switch (oc.kind) {
        case K::Flag:
            options.emplace_back(c->isChecked() ? kTrue : kFalse);
            break;
        case K::Selection:
            options.push_back(std::to_string(c->currentIndex()));
            break;
        case K::Text:
            options.push_back(c->text());
            break;
        }
    }
    return joinOptions(options);
}

void clearRuleEditors(Form &form)
{
    if (Control *name = form.control(kNameBox))
        name->setText("");
}

int loadRuleIntoEditors(Form &form, int row)
{
    if (row < 0 || row >= form.rowCount())
        return -1;
    if (Control *name = form.control(kNameBox))
        name->setText(form.cell(row, 0));
    const std::vector<std::string> options = splitOptions(form.cell(row, 2), kLoadedOptions);

    Control *box = form.control(kSourceBox);
    int index = 0;
    if (box) {
        const auto items = box->items();
        const std::string label = form.cell(row, 1);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == label) {
                index = static_cast<int>(i);
                break;
            }
        }
        box->setCurrentIndex(index);
    }
    if (index >= kDataSourceCount)
        return index;
    const auto source = static_cast<DataSource>(index);
    if (source == DataSource::FixedText) {
        if (Control *c = form.control(kFixedTextBox))
            c->setText(options[0]);
        return index;
    }
    const auto &controls = optionControls(source);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        Control *c = form.control(controls[i].name);
        if (!c)
            continue;
        switch (controls[i].kind) {
        case K::Flag:
            c->setChecked(isTrue(options[i]));
            break;
        case K::Selection: {
            const std::int64_t v = optionInteger(options[i]);
            c->setCurrentIndex(v >= -1 && v <= 1000000 ? static_cast<int>(v) : -1);
            break;
        }
        case K::Text:
            c->setText(options[i]);
            break;
        }
    }
    return index;
}

RuleEditResult addOrModifyRule(Form &form, int row, bool modify, MessageHost &host)
{
    const Control *nameBox = form.control(kNameBox);
    const std::string name(trimSpaces(nameBox ? nameBox->text() : std::string()));
    if (name.empty()) {
        host.showMessage("请输入字段名或字段索引！");
        return {-1, kNameBox};
    }
    const Control *box = form.control(kSourceBox);
    const int index = box ? box->currentIndex() : -1;
    if (index == static_cast<int>(DataSource::Counter)) {
        // A counter that cannot count exactly is refused here, at its box.
        const auto &controls = optionControls(DataSource::Counter);
        for (int i = 0; i < 2; ++i) {
            const std::string text = controlText(form, controls[static_cast<std::size_t>(i)].name);
            if (!text.empty() && !wholeNumber(text)) {
                host.showMessage(counterOptionMessage(name, i, text));
                return {-1, controls[static_cast<std::size_t>(i)].name};
            }
        }
    }
    if (!modify) {
        for (int r = 0; r < form.rowCount(); ++r) {
            if (form.cell(r, 0) == name) {
                host.showMessage("字段名不能重复：" + name);
                return {r, std::string(kMappingList)};
            }
        }
        row = form.appendRow();
    } else if (row < 0 || row >= form.rowCount()) {
        host.showMessage("请选中一个字段再修改！");
        return {};
    }
    const auto items = box ? box->items() : std::vector<std::string>{};
    form.setCell(row, 0, name);
    form.setCell(row, 1, index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[index] : "");
    form.setCell(row, 2, optionsText(form, index));
    return {row, {}, true};
}

RuleEditResult deleteRule(Form &form, int currentRow, MessageHost &host)
{
    if (currentRow < 0 || currentRow >= form.rowCount()) {
        host.showMessage("请选中一个字段再删除！右击按钮将全部清空！");
        return {};
    }
    form.removeRow(currentRow);
    int next = currentRow;
    if (next > form.rowCount() - 1)
        next = form.rowCount() - 1;
    return {next, std::string(kMappingList), true};
}

RuleEditResult clearAllRules(Form &form, MessageHost &host)
{
    if (!host.askOkCancel("确定要删除所有字段吗？", ""))
        return {};
    form.clearRows();
    return {-1, {}, true};
}

std::vector<FieldRule> readRules(Form &form)
{
    std::vector<FieldRule> rules;
    for (int r = 0; r < form.rowCount(); ++r)
        rules.push_back({form.cell(r, 0), form.cell(r, 1), form.cell(r, 2)});
    return rules;
}

FileTimeChoice fileTimeChoice(Form &form)
{
    FileTimeChoice choice;
    choice.kind = controlChecked(form, ctl::kFileTimeCreated) ? FileTimeKind::Created
        : controlChecked(form, ctl::kFileTimeModified)        ? FileTimeKind::Modified
                                                              : FileTimeKind::Accessed;
    choice.formatIndex = controlIndex(form, ctl::kFileTimeFormat);
    return choice;
}

bool toggleExportConditionPanel(Form &form)
{
    Control *button = form.control("按钮导出条件");
    if (!button)
        return false;
    const bool show = button->text() == kShowConditions;
    button->setText(show ? kHideConditions : kShowConditions);
    return show;
}

} // namespace varnel
