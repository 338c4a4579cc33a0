#include "gui/MappingEditorPanel.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "gui/InfoDialogs.h"
#include "gui/LayoutParts.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"
#include "mapping/RuleEditor.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {

MappingEditorPanel::MappingEditorPanel(QtForm &form, std::function<void(std::string_view)> focusOther, QWidget *parent)
    : QGroupBox(parent)
    , m_form(form)
    , m_focusOther(std::move(focusOther))
{
    setTitle(QStringLiteral("数据字段设置(MySQL.field)"));
    setObjectName(QStringLiteral("分组框3"));
    auto *v = new QVBoxLayout(this);
    v->setSpacing(6);
    v->addWidget(row({m_form.widget(ctl::kReadFieldsButton)}, false), 0, Qt::AlignRight);

    m_list = new MappingList(this);
    m_list->setObjectName(QStringLiteral("超级列表框"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("字段名或位置"), QStringLiteral("数据来源"), QStringLiteral("数据配置")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->resizeSection(0, 150);
    m_list->header()->resizeSection(1, 110);
    // A few rows at least, in the list's own font.
    m_list->setMinimumHeight(std::max(96, m_list->fontMetrics().lineSpacing() * 6 + 8));
    m_form.setList(m_list);
    v->addWidget(m_list, 1);
    // The key column has no box of its own: its row is marked, and the
    // list's context menu sets it.
    m_form.widget(ctl::kKeyColumn)->hide();
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *editor = new QHBoxLayout;
    editor->setSpacing(6);
    editor->addWidget(label("字段名："));
    editor->addWidget(m_form.widget("编辑框字段名"), 1);
    for (const char *name : {"按钮添加", "按钮修改", "按钮删除"})
        editor->addWidget(buttonWidth(m_form.widget(name), 56));
    editor->addSpacing(8);
    editor->addWidget(label("数据来源："));
    editor->addWidget(m_form.widget(ctl::kSourceBox));
    v->addLayout(editor);

    buildPages();
    v->addWidget(m_pages);
    wire();
}

void MappingEditorPanel::buildPages()
{
    auto W = [this](const char *name) { return m_form.widget(name); };
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("选择夹"));
    m_pages->setUsesScrollButtons(true);
    m_pages->setDocumentMode(false);

    auto *pageTitle = label("文件内容中的<title>网页标题</title>");
    auto *folderLabel = label("如“/1/2.txt”的父目录名部分如“1”");
    auto *origin = new QFrame;
    origin->setFrameShape(QFrame::StyledPanel);
    auto *originRow = new QHBoxLayout(origin);
    originRow->setContentsMargins(6, 2, 6, 2);
    for (const char *name : {"单选框现在时", "单选框文件时", "单选框随机时"})
        originRow->addWidget(W(name));

    const std::vector<QWidget *> pages = {
        page({label("文件名如“123.txt”的前缀部分如“123”")}),
        page({label("也就是文章内容，来自于文章目录中的文件")}),
        page({pageTitle, row({label("标签头："), W("编辑框标签头"), label("标签尾："), W("编辑框标签尾")})}),
        page({label("文件内容开头随机数量文字作为内容摘要"),
            row({label("摘要字数："), narrow(W("编辑框摘要字数1")), narrow(W("编辑框摘要字数2"))})}),
        page({label("文件的创建、修改、访问的日期时间"),
            row({W("单选框创建"), W("单选框修改"), W("单选框访问"), label("类型："), W("组合框类型")})}),
        page({row({label("类型："), W("单选框最常用"), W("单选框一般常用"), W("单选框次要常用"), W("选择框转为繁体")}),
            row({label("字数："), narrow(W("编辑框汉字字数1")), narrow(W("编辑框汉字字数2"))})}),
        page({row({label("类型："), W("选择框有数字"), W("选择框有小字母"), W("选择框有大字母"), W("选择框转为全角")}),
            row({label("字数："), narrow(W("编辑框数母字数1")), narrow(W("编辑框数母字数2"))})}),
        page({row({label("表达式："), W("编辑框时间表达式"), buttonWidth(W("按钮问号1"), 28)}, false),
            row({label("年幅度："), narrow(W("编辑框年1")), narrow(W("编辑框年2")), W("选择框当前时间")})}),
        page({row({label("词组："), W("编辑框词组"), buttonWidth(W("按钮输入词组"), 28)}, false),
            row({label("模式："), W("组合框模式"), label("数量："), narrow(W("编辑框数量1")),
                narrow(W("编辑框数量2"))})}),
        page({folderLabel}),
        page({row({label("固定的文本："), W("编辑框固定的文本")}, false)}),
        page({row({label("单位："), W("单选框秒"), W("单选框毫秒"), W("单选框默认")}), row({label("来源："), origin})}),
        page({row({label("起始值："), narrow(W("编辑框起始值"), 90), label("递进值："), narrow(W("编辑框递进值"), 90),
            W("选择框同步")})}),
    };
    const auto labels = m_form.control(ctl::kSourceBox)->items();
    for (std::size_t i = 0; i < pages.size(); ++i)
        m_pages->addTab(pages[i], i < labels.size() ? qs(labels[i]) : QString());
}

void MappingEditorPanel::wire()
{
    auto button = [this](std::string_view name) { return m_form.widgetAs<RightButton>(name); };
    connect(button("按钮添加"), &QPushButton::clicked, this, [this] { addOrModify(false); });
    connect(button("按钮修改"), &QPushButton::clicked, this, [this] { addOrModify(true); });
    connect(button("按钮删除"), &QPushButton::clicked, this, &MappingEditorPanel::deleteCurrent);
    connect(button("按钮删除"), &RightButton::rightPressed, this, &MappingEditorPanel::clearAll);
    connect(button("按钮问号1"), &QPushButton::clicked, this, [this] {
        Prompts::message(window(), QStringLiteral("表达式可以插入 <年><月><日><时><分><秒> 6个项目，自由引用！"),
            qs(kDefaultCaption), MessageIcon::None);
    });
    connect(button("按钮输入词组"), &QPushButton::clicked, this, &MappingEditorPanel::editPhrases);
    connect(m_form.widgetAs<QComboBox>(ctl::kSourceBox), &QComboBox::activated, this, &MappingEditorPanel::showPage);
    // A tab chosen by the user keeps the source box in step.
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        auto *combo = m_form.widgetAs<QComboBox>(ctl::kSourceBox);
        if (combo->currentIndex() != index && index >= 0)
            combo->setCurrentIndex(index);
    });
    connect(m_list, &QTreeWidget::currentItemChanged, this, &MappingEditorPanel::rowChanged);
    connect(m_list, &QWidget::customContextMenuRequested, this, &MappingEditorPanel::rowMenu);
    QAbstractItemModel *rows = m_list->model();
    m_keyMarks = {
        connect(
            m_form.widgetAs<QLineEdit>(ctl::kKeyColumn), &QLineEdit::textChanged, this, &MappingEditorPanel::markKey),
        connect(rows, &QAbstractItemModel::dataChanged, this, &MappingEditorPanel::markKey),
        connect(rows, &QAbstractItemModel::rowsInserted, this, &MappingEditorPanel::markKey),
        connect(rows, &QAbstractItemModel::modelReset, this, &MappingEditorPanel::markKey),
    };
}

MappingEditorPanel::~MappingEditorPanel()
{
    for (const QMetaObject::Connection &c : m_keyMarks)
        disconnect(c);
    m_list->disconnect(this);
}

void MappingEditorPanel::rowMenu(const QPoint &at)
{
    QTreeWidgetItem *item = m_list->itemAt(at);
    if (!item) {
        // Below the rows: the key can be unset even when its row is gone.
        const QString key = qs(controlText(m_form, ctl::kKeyColumn));
        if (key.isEmpty())
            return;
        QMenu menu(this);
        QAction *unset = menu.addAction(QStringLiteral("取消唯一键：") + key);
        if (menu.exec(m_list->viewport()->mapToGlobal(at)) == unset)
            m_form.control(ctl::kKeyColumn)->setText("");
        return;
    }
    const int row = m_list->indexOfTopLevelItem(item);
    m_list->makeCurrent(row);
    QMenu menu(this);
    QAction *key = menu.addAction(QStringLiteral("设为唯一键"));
    key->setCheckable(true);
    key->setChecked(m_form.cell(row, 0) == controlText(m_form, ctl::kKeyColumn));
    if (menu.exec(m_list->viewport()->mapToGlobal(at)) == key)
        toggleKey(row);
}

void MappingEditorPanel::toggleKey(int row)
{
    if (row < 0 || row >= m_form.rowCount())
        return;
    const std::string target = m_form.cell(row, 0);
    Control *key = m_form.control(ctl::kKeyColumn);
    if (key->text() == target) {
        key->setText("");
        return;
    }
    // ID is numbered by the table itself: no file gives it a value.
    if (target == "ID" || target.empty()) {
        Prompts::message(
            window(), QStringLiteral("这个字段不能作唯一键：") + qs(target), qs(kDefaultCaption), MessageIcon::None);
        return;
    }
    key->setText(target);
}

// The key's row in bold, with a word on what it does.
void MappingEditorPanel::markKey()
{
    if (m_marking)
        return;
    m_marking = true;
    const std::string key = controlText(m_form, ctl::kKeyColumn);
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        QTreeWidgetItem *item = m_list->topLevelItem(r);
        const bool isKey = !key.empty() && m_form.cell(r, 0) == key;
        QFont font = m_list->font();
        font.setBold(isKey);
        if (item->font(0) != font)
            item->setFont(0, font);
        const QString tip = isKey ? QStringLiteral("唯一键：表中已有这个值的文章不再导入") : QString();
        if (item->toolTip(0) != tip)
            item->setToolTip(0, tip);
    }
    m_marking = false;
}

void MappingEditorPanel::showPage(int index)
{
    if (index >= 0 && index < m_pages->count())
        m_pages->setCurrentIndex(index);
}

void MappingEditorPanel::showChosenPage()
{
    showPage(m_form.control(ctl::kSourceBox)->currentIndex());
}

void MappingEditorPanel::changeRowsQuietly(const std::function<void()> &change)
{
    const bool was = m_quiet;
    m_quiet = true;
    change();
    m_quiet = was;
}

void MappingEditorPanel::rowChanged()
{
    if (m_quiet)
        return;
    showCurrentRule();
}

// The editors always hold the current row, or nothing: 修改 writes them over
// the current row, so a deleted row left in them would overwrite its
// neighbour.
void MappingEditorPanel::showCurrentRule()
{
    const int row = m_list->currentRow();
    if (row < 0) {
        clearRuleEditors(m_form);
        return;
    }
    showPage(loadRuleIntoEditors(m_form, row));
}

void MappingEditorPanel::applyRuleResult(int currentRow, const std::string &focusName)
{
    if (currentRow >= 0)
        m_list->makeCurrent(currentRow);
    if (!focusName.empty())
        focusControl(focusName);
}

void MappingEditorPanel::focusControl(std::string_view name)
{
    if (name == kMappingList) {
        m_list->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_focusOther(name);
}

void MappingEditorPanel::addOrModify(bool modify)
{
    PromptHost prompts(window());
    const RuleEditResult r = addOrModifyRule(m_form, modify ? m_list->currentRow() : -1, modify, prompts);
    applyRuleResult(r.currentRow, r.focus);
}

void MappingEditorPanel::deleteCurrent()
{
    PromptHost prompts(window());
    RuleEditResult r;
    // Rows moving up under the removed one are not "chosen" by the user.
    changeRowsQuietly([&] { r = deleteRule(m_form, m_list->currentRow(), prompts); });
    applyRuleResult(r.currentRow, r.focus);
    if (r.changed)
        showCurrentRule();
}

void MappingEditorPanel::clearAll()
{
    PromptHost prompts(window());
    RuleEditResult r;
    changeRowsQuietly([&] { r = clearAllRules(m_form, prompts); });
    applyRuleResult(r.currentRow, r.focus);
    if (r.changed)
        showCurrentRule();
}

void MappingEditorPanel::editPhrases()
{
    QString result;
    if (showTextInput(window(), QStringLiteral("请输入将被随机调用的词组列表，可以使用|隔开多个词组，也可以一行一个："),
            qs(m_form.control("编辑框词组")->text()), &result))
        m_form.control("编辑框词组")->setText(u8(result));
}

} // namespace varnel::gui
