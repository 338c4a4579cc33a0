#include "gui/CreateTableWindow.h"

#include "admin/TableCreation.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MainControls.h"
#include "gui/ConfigFileActions.h"
#include "gui/ConnectionSession.h"
#include "gui/InfoDialogs.h"
#include "gui/LayoutParts.h"
#include "gui/MainNames.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/WindowPlace.h"
#include "mysql/ColumnTypes.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace varnel::gui {
namespace {

constexpr int kDesignWidth = 525;
constexpr int kDesignHeight = 397;
// The length dialog's text box height.
constexpr int kLengthBoxHeight = 255;

} // namespace

CreateTableWindow::CreateTableWindow(
    QWidget *owner, MainNames &names, ConnectionSession &session, SettingsStore &settings)
    : QWidget(owner, Qt::Window)
    , m_names(names)
    , m_session(session)
    , m_settings(settings)
    , m_form(std::make_unique<QtForm>(tableFormSpec(), this))
{
    setObjectName(QStringLiteral("CreateTableWindow"));
    setWindowTitle(qs(kCreateTableCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    buildLayout();

    // Created: the types with a stored value each, then every control and
    // the field rows as they were left; a type is always selected.
    fillTypes();
    {
        const QSignalBlocker block(m_list);
        m_suppressRowLoad = true;
        restoreTableConfig(m_settings, *m_form);
        m_suppressRowLoad = false;
    }
    if (m_types->currentIndex() < 0)
        m_types->setCurrentIndex(kDefaultFieldType);

    // The design size is where the window starts; it grows where its text
    // needs more room.
    resize(std::max(kDesignWidth, minimumSizeHint().width()), std::max(kDesignHeight, minimumSizeHint().height()));
    restoreWindowPlace(*this, m_settings, tableFormSpec().section);
    setAcceptDrops(true);
}

CreateTableWindow::~CreateTableWindow() = default;

void CreateTableWindow::buildLayout()
{
    auto B = [this](std::string_view name) { return m_form->widgetAs<RightButton>(name); };

    m_group = new QGroupBox(QStringLiteral("数据字段设置(MySQL.field)"));
    m_group->setObjectName(QStringLiteral("分组框1"));
    auto *v = new QVBoxLayout(m_group);
    v->setSpacing(6);

    m_list = new MappingList(this);
    m_list->setObjectName(qs(kFieldList));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("字段名"), QStringLiteral("类型"), QStringLiteral("长度或取值范围")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    const QFontMetrics fm(m_list->font());
    m_list->header()->resizeSection(0, std::max(150, fm.horizontalAdvance(QStringLiteral("字段名字段名字段名")) + 16));
    m_list->header()->resizeSection(1, std::max(150, fm.horizontalAdvance(QStringLiteral("变长字符串(varchar)")) + 16));
    m_list->setMinimumHeight(std::max(96, fm.lineSpacing() * 6 + 8));
    m_form->setList(m_list);
    v->addWidget(m_list, 1);

    m_types = m_form->widgetAs<QComboBox>(kFieldTypeBox);
    m_types->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_types->setMaxVisibleItems(26);
    auto *editor = new QHBoxLayout;
    editor->setSpacing(6);
    editor->addWidget(label("字段名："));
    editor->addWidget(m_form->widget(kFieldNameBox), 1);
    editor->addSpacing(6);
    editor->addWidget(label("类型："));
    editor->addWidget(m_types);
    v->addLayout(editor);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (const char *name : {"按钮添加字段", "按钮修改字段", "按钮删除字段"})
        buttons->addWidget(minimumButtonWidth(B(name), 80));
    v->addLayout(buttons);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(m_form->widget(kDatabaseOnlyBox));
    bottom->addStretch(1);
    for (const char *name : {"按钮导入配置", "按钮导出配置"})
        bottom->addWidget(minimumButtonWidth(B(name), 72));
    bottom->addSpacing(12);
    for (const char *name : {"按钮执行创建", "按钮关闭"})
        bottom->addWidget(minimumButtonWidth(B(name), 80));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);
    outer->addWidget(m_group, 1);
    outer->addLayout(bottom);

    connect(m_types, &QComboBox::activated, this, &CreateTableWindow::typeChosen);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CreateTableWindow::rowChanged);
    connect(B("按钮添加字段"), &QPushButton::clicked, this, [this] { addOrModify(false); });
    connect(B("按钮修改字段"), &QPushButton::clicked, this, [this] { addOrModify(true); });
    connect(B("按钮删除字段"), &QPushButton::clicked, this, &CreateTableWindow::deleteCurrent);
    connect(B("按钮删除字段"), &RightButton::rightPressed, this, &CreateTableWindow::clearAll);
    connect(B("按钮执行创建"), &QPushButton::clicked, this, &CreateTableWindow::create);
    connect(B("按钮关闭"), &QPushButton::clicked, this, &QWidget::close);
    connect(B("按钮导入配置"), &QPushButton::clicked, this, &CreateTableWindow::importConfig);
    connect(B("按钮导出配置"), &QPushButton::clicked, this, &CreateTableWindow::exportConfig);
}

void CreateTableWindow::fillTypes()
{
    const QSignalBlocker block(m_types);
    m_types->clear();
    for (const std::string &label : columnTypeLabels())
        m_types->addItem(qs(label), QStringLiteral("0"));
    // Filling selects the first item; a type is chosen by the restore, or
    // is the default when none was kept.
    m_types->setCurrentIndex(-1);
}

QString CreateTableWindow::storedValue(int index) const
{
    return index >= 0 && index < m_types->count() ? m_types->itemData(index).toString() : QString();
}

void CreateTableWindow::setStoredValue(int index, const QString &value)
{
    if (index >= 0 && index < m_types->count())
        m_types->setItemData(index, value);
}

// --- field editor -----------------------------------------------------------

void CreateTableWindow::typeChosen(int index)
{
    if (index < 0 || index >= m_types->count())
        return;
    const std::string label = u8(m_types->itemText(index));
    if (!takesLengthOrValues(label))
        return;
    QString answer;
    bool confirmed = false;
    {
        BusyScope busy(m_busy);
        confirmed = showTextInput(this, qs(kLengthPrompt), storedValue(index), &answer, kLengthBoxHeight);
    }
    if (confirmed)
        setStoredValue(index, qs(storedValueFromAnswer(label, u8(answer))));
    closeWhenIdle(*this, m_busy);
}

void CreateTableWindow::rowChanged()
{
    if (m_suppressRowLoad)
        return;
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_form->control(kFieldNameBox)->setText(m_form->cell(row, 0));
    const int index = typeIndexOfRowType(m_form->control(kFieldTypeBox)->items(), m_form->cell(row, 1));
    // A row of a type the box does not list leaves the box, and what its
    // items keep, as they are.
    if (index < 0)
        return;
    m_types->setCurrentIndex(index);
    setStoredValue(index, qs(storedValueFromCell(u8(m_types->itemText(index)), m_form->cell(row, 2))));
}

void CreateTableWindow::applyResult(int currentRow, const std::string &focusName)
{
    if (currentRow >= 0)
        m_list->makeCurrent(currentRow);
    if (focusName == kFieldList)
        m_list->setFocus(Qt::OtherFocusReason);
    else if (!focusName.empty())
        m_form->widget(focusName)->setFocus(Qt::OtherFocusReason);
}

void CreateTableWindow::addOrModify(bool modify)
{
    FieldEditResult r;
    {
        BusyScope busy(m_busy);
        PromptHost prompts(this);
        r = addOrModifyField(
            *m_form, modify ? m_list->currentRow() : -1, modify, u8(storedValue(m_types->currentIndex())), prompts);
    }
    applyResult(r.currentRow, r.focus);
    closeWhenIdle(*this, m_busy);
}

void CreateTableWindow::deleteCurrent()
{
    FieldEditResult r;
    {
        BusyScope busy(m_busy);
        PromptHost prompts(this);
        // The rows moving up are not chosen one by one; the one left at the
        // deleted row's place is, below.
        m_suppressRowLoad = true;
        r = deleteField(*m_form, m_list->currentRow(), prompts);
        m_suppressRowLoad = false;
    }
    applyResult(r.currentRow, r.focus);
    if (r.changed)
        rowChanged();
    closeWhenIdle(*this, m_busy);
}

void CreateTableWindow::clearAll()
{
    FieldEditResult r;
    {
        BusyScope busy(m_busy);
        PromptHost prompts(this);
        m_suppressRowLoad = true;
        r = clearAllFields(*m_form, prompts);
        m_suppressRowLoad = false;
    }
    applyResult(r.currentRow, r.focus);
    closeWhenIdle(*this, m_busy);
}

// --- creating ---------------------------------------------------------------

void CreateTableWindow::create()
{
    CreationRequest request;
    CreationResult r;
    {
        BusyScope busy(m_busy);
        // Creating a database or a table ends a transaction the user began
        // in the manager, without a word: it is ended by the user first.
        if (m_session.transactionOpen()) {
            Prompts::message(this, QStringLiteral("请先提交或回滚事务！"), qs(kDefaultCaption), MessageIcon::None);
            closeWhenIdle(*this, m_busy);
            return;
        }
        PromptHost prompts(this);
        request = {m_names.databaseName(), m_names.tableName(), controlChecked(*m_form, kDatabaseOnlyBox)};
        r = createDatabaseAndTable(m_session.db(), request, *m_form, prompts);
    }
    if (r.databaseCreated || r.tableCreated) {
        m_session.forgetNames();
        m_session.announceCreated(request.database, r.tableCreated ? request.table : std::string());
    }
    if (!r.focus.empty())
        m_names.focusBox(r.focus);
    closeWhenIdle(*this, m_busy);
}

// --- configuration files ----------------------------------------------------

void CreateTableWindow::exportConfig()
{
    {
        BusyScope busy(m_busy);
        exportWindowConfig(this, ConfigWindow::CreateTable, *m_form);
    }
    closeWhenIdle(*this, m_busy);
}

void CreateTableWindow::importConfig()
{
    {
        BusyScope busy(m_busy);
        const QString path = askConfigToImport(this, *m_form);
        if (!path.isEmpty()) {
            PromptHost prompts(this);
            m_suppressRowLoad = true;
            importConfigFrom(ConfigWindow::CreateTable, *m_form, u8(path), prompts);
            m_suppressRowLoad = false;
            if (m_types->currentIndex() < 0)
                m_types->setCurrentIndex(kDefaultFieldType);
        }
    }
    closeWhenIdle(*this, m_busy);
}

void CreateTableWindow::dropPaths(const QStringList &paths)
{
    if (paths.size() != 1 || QFileInfo(paths.front()).isDir() || !isConfigFileName(u8(paths.front())))
        return;
    {
        BusyScope busy(m_busy);
        PromptHost prompts(this);
        m_suppressRowLoad = true;
        importDroppedConfig(ConfigWindow::CreateTable, *m_form, u8(paths.front()), prompts);
        m_suppressRowLoad = false;
        if (m_types->currentIndex() < 0)
            m_types->setCurrentIndex(kDefaultFieldType);
    }
    closeWhenIdle(*this, m_busy);
}

// --- window events ----------------------------------------------------------

void CreateTableWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->ignore();
        return;
    }
    // A box or dialog of this window is open: the window closes when it has
    // returned.
    if (m_busy.busy()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    m_closing = true;
    saveTableConfig(m_settings, *m_form);
    saveWindowPlace(*this, m_settings, tableFormSpec().section);
    m_closing = false;
    event->accept();
}

void CreateTableWindow::dragEnterEvent(QDragEnterEvent *event)
{
    acceptLocalFiles(event);
}

void CreateTableWindow::dropEvent(QDropEvent *event)
{
    takeDroppedFiles(this, event, [this](const QStringList &paths) { dropPaths(paths); });
}

} // namespace varnel::gui
