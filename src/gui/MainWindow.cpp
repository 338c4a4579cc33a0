#include "gui/MainWindow.h"

#include "design/ConfigFile.h"
#include "design/DropPlan.h"
#include "design/FormTable.h"
#include "form/MainControls.h"
#include "gui/InfoDialogs.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/TestProbe.h"
#include "gui/WindowPlace.h"
#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QUrl>

#include <algorithm>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>

namespace varnel::gui {
namespace {

constexpr std::string_view kConnectButton = "按钮建立连接";
constexpr std::string_view kDatabaseList = "按钮库列表";
constexpr std::string_view kTableList = "按钮表列表";
constexpr std::string_view kReadFields = "按钮读表字段";
constexpr std::string_view kImportButton = "按钮导入";
constexpr std::string_view kExportButton = "按钮导出";

constexpr int kDesignWidth = 644;
constexpr int kDesignHeight = 730;

} // namespace

MainWindow::MainWindow(SettingsStore &settings, MySqlConnection &db, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_db(db)
    , m_form(std::make_unique<QtForm>(mainFormSpec(), this))
    , m_host(this, *m_form, qs(kApplicationTitle))
    , m_importer(*m_form, db, m_host)
    , m_exporter(*m_form, db, m_host)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(qs(kApplicationTitle));
    buildLayout();
    wireActions();
    // The design size is where the window starts; it grows where its text
    // needs more room (a larger font or screen scale).
    resize(std::max(kDesignWidth, minimumSizeHint().width()), std::max(kDesignHeight, minimumSizeHint().height()));
    restoreWindowPlace(*this, m_settings, mainFormSpec().section);

    // Created: restore every control and the mapping rows, show the page of
    // the chosen source, then accept drops.
    {
        const QSignalBlocker block(m_list);
        m_suppressRowLoad = true;
        restoreMainConfig(m_settings, *m_form);
        m_suppressRowLoad = false;
    }
    showPage(m_form->control("组合框数据来源")->currentIndex());
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

QTreeWidget *MainWindow::mappingList() const
{
    return m_list;
}

void MainWindow::wireActions()
{
    auto button = [this](std::string_view name) { return m_form->widgetAs<RightButton>(name); };
    connect(button(kConnectButton), &QPushButton::clicked, this, &MainWindow::connectAction);
    // Enter in the password box connects; it never disconnects.
    connect(m_form->widgetAs<QLineEdit>(ctl::kPassword), &QLineEdit::returnPressed, this, [this] {
        if (!m_db.isOpen())
            connectAction();
    });
    connect(button(kDatabaseList), &QPushButton::clicked, this, &MainWindow::databasePicker);
    connect(button(kTableList), &QPushButton::clicked, this, &MainWindow::tablePicker);
    connect(button(kReadFields), &QPushButton::clicked, this, &MainWindow::readTableFields);
    connect(button(kImportButton), &QPushButton::clicked, this, [this] { importPressed(false); });
    connect(button(kImportButton), &RightButton::rightReleased, this, [this] { importPressed(true); });
    connect(button(kExportButton), &QPushButton::clicked, this, &MainWindow::exportPressed);
    connect(button("按钮导入配置"), &QPushButton::clicked, this, &MainWindow::importConfig);
    connect(button("按钮导出配置"), &QPushButton::clicked, this, &MainWindow::exportConfig);
    connect(button("按钮选择目录"), &QPushButton::clicked, this, &MainWindow::chooseFolder);
    connect(button("按钮选择目录"), &RightButton::rightReleased, this, &MainWindow::openFolder);
    connect(button("按钮添加"), &QPushButton::clicked, this, [this] { addOrModify(false); });
    connect(button("按钮修改"), &QPushButton::clicked, this, [this] { addOrModify(true); });
    connect(button("按钮删除"), &QPushButton::clicked, this, &MainWindow::deleteCurrent);
    connect(button("按钮删除"), &RightButton::rightPressed, this, &MainWindow::clearAll);
    connect(button("按钮问号1"), &QPushButton::clicked, this, [this] {
        Prompts::message(this, QStringLiteral("表达式可以插入 <年><月><日><时><分><秒> 6个项目，自由引用！"),
            qs(kDefaultCaption), MessageIcon::None);
    });
    connect(button("按钮输入词组"), &QPushButton::clicked, this, &MainWindow::editPhrases);
    connect(button("按钮导出条件"), &QPushButton::clicked, this, [this] {
        const bool show = toggleExportConditionPanel(*m_form);
        m_conditionGroup->setVisible(show);
        if (show)
            placeConditionGroup();
    });
    connect(m_form->widgetAs<QCheckBox>("选择框启用导出条件"), &QCheckBox::clicked, this,
        [this] { applyExportConditionEnabling(*m_form); });
    connect(m_form->widgetAs<QComboBox>("组合框数据来源"), &QComboBox::activated, this, &MainWindow::showPage);
    // A tab chosen by the user keeps the source box in step.
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        auto *combo = m_form->widgetAs<QComboBox>("组合框数据来源");
        if (combo->currentIndex() != index && index >= 0)
            combo->setCurrentIndex(index);
    });
    connect(m_list, &QTreeWidget::currentItemChanged, this, &MainWindow::rowChanged);
}

// --- mapping editor ---------------------------------------------------------

void MainWindow::showPage(int index)
{
    if (index >= 0 && index < m_pages->count())
        m_pages->setCurrentIndex(index);
}

void MainWindow::rowChanged()
{
    if (m_suppressRowLoad)
        return;
    showCurrentRule();
}

// The editors always hold the current row, or nothing: 修改 writes them over
// the current row, so a deleted row left in them would overwrite its
// neighbour.
void MainWindow::showCurrentRule()
{
    const int row = m_list->currentRow();
    if (row < 0) {
        clearRuleEditors(*m_form);
        return;
    }
    showPage(loadRuleIntoEditors(*m_form, row));
}

void MainWindow::applyRuleResult(int currentRow, const std::string &focusName)
{
    if (currentRow >= 0)
        m_list->makeCurrent(currentRow);
    if (!focusName.empty())
        focusControl(focusName);
}

void MainWindow::focusControl(std::string_view name)
{
    if (name == kMappingList) {
        m_list->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_host.focus(name);
}

void MainWindow::addOrModify(bool modify)
{
    PromptHost prompts(this);
    const RuleEditResult r = addOrModifyRule(*m_form, modify ? m_list->currentRow() : -1, modify, prompts);
    applyRuleResult(r.currentRow, r.focus);
}

void MainWindow::deleteCurrent()
{
    PromptHost prompts(this);
    RuleEditResult r;
    {
        // Rows moving up under the removed one are not "chosen" by the user.
        m_suppressRowLoad = true;
        r = deleteRule(*m_form, m_list->currentRow(), prompts);
        m_suppressRowLoad = false;
    }
    applyRuleResult(r.currentRow, r.focus);
    if (r.changed)
        showCurrentRule();
}

void MainWindow::clearAll()
{
    PromptHost prompts(this);
    m_suppressRowLoad = true;
    const RuleEditResult r = clearAllRules(*m_form, prompts);
    m_suppressRowLoad = false;
    applyRuleResult(r.currentRow, r.focus);
    if (r.changed)
        showCurrentRule();
}

void MainWindow::editPhrases()
{
    QString result;
    if (showTextInput(this, QStringLiteral("请输入将被随机调用的词组列表，可以使用|隔开多个词组，也可以一行一个："),
            qs(m_form->control("编辑框词组")->text()), &result))
        m_form->control("编辑框词组")->setText(u8(result));
}

// --- window events ----------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->ignore();
        return;
    }
    // A run reads this window's controls: it ends first, and the window
    // closes when it has returned.
    if (runActive() || m_busy.busy()) {
        m_busy.requestClose();
        m_importer.requestStop();
        m_exporter.requestStop();
        event->ignore();
        return;
    }
    // The other windows end with this one, through their own close, so
    // what they keep is saved too.
    if (m_manager && !m_manager->close()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    if (m_createTable && !m_createTable->close()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    m_closing = true;
    saveMainConfig(m_settings, *m_form);
    saveWindowPlace(*this, m_settings, mainFormSpec().section);
    m_closing = false;
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_conditionGroup && m_conditionGroup->isVisible())
        placeConditionGroup();
}

void MainWindow::afterRun()
{
    if (m_busy.busy())
        return;
    const auto [title, failures] = m_host.takeFailureReport();
    if (!failures.isEmpty())
        showInfoText(this, title, failures);
    if (m_disconnectPending) {
        m_disconnectPending = false;
        disconnectNow();
    }
    if (m_busy.closePending()) {
        m_busy.clearClose();
        // After the event that ran the loop has been handled.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

// --- runs -------------------------------------------------------------------

void MainWindow::importPressed(bool alternativeLister)
{
    if (m_importer.isRunning()) {
        TestProbe::note(QStringLiteral("run\timport\tstop requested"));
        m_importer.startImport(alternativeLister); // asks the run to stop
        return;
    }
    if (m_exporter.isRunning())
        return;
    if (refuseInTransaction() || !m_db.reconnectIfClosed())
        return;
    {
        BusyScope busy(m_busy);
        const MySqlConnection::ReconnectPause pause(m_db);
        TestProbe::note(QStringLiteral("run\timport\tstarted"));
        m_importer.startImport(alternativeLister);
        TestProbe::note(QStringLiteral("run\timport\tended"));
    }
    // The import may have created the database or the table.
    forgetNameLists();
    afterRun();
}

void MainWindow::exportPressed()
{
    if (m_exporter.isRunning()) {
        m_exporter.pressExport();
        return;
    }
    if (m_importer.isRunning())
        return;
    if (refuseInTransaction() || !m_db.reconnectIfClosed())
        return;
    {
        BusyScope busy(m_busy);
        const MySqlConnection::ReconnectPause pause(m_db);
        m_exporter.pressExport();
    }
    afterRun();
}

bool MainWindow::transactionOpen() const
{
    return m_db.inTransaction();
}

// Rows written inside a transaction the user began would be reported as
// stored and then go with a rollback or a disconnect.
bool MainWindow::refuseInTransaction()
{
    if (!transactionOpen())
        return false;
    Prompts::message(this, QStringLiteral("请先提交或回滚事务！"), qs(kDefaultCaption), MessageIcon::None);
    return true;
}

void MainWindow::importDropped(std::vector<std::string> files)
{
    if (!Prompts::okCancel(this, qs(dropImportQuestion(files.size(), controlText(*m_form, ctl::kTable))),
            qs(kDefaultCaption), MessageIcon::None))
        return;
    if (runActive()) {
        Prompts::message(this, QStringLiteral("已经有导入在执行，请稍后！"), qs(kDefaultCaption), MessageIcon::None);
        return;
    }
    if (refuseInTransaction() || !m_db.reconnectIfClosed())
        return;
    {
        BusyScope busy(m_busy);
        const MySqlConnection::ReconnectPause pause(m_db);
        m_importer.clearStop();
        m_importer.runImport(files);
    }
    forgetNameLists();
    afterRun();
}

// Only files of this machine can be imported or loaded: a link dragged from
// a browser is refused at the door, not asked about as "0 个文件".
static bool holdsLocalFile(const QMimeData *data)
{
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (holdsLocalFile(event->mimeData()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (!holdsLocalFile(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    // The drop is finished before anything is asked or imported, so the
    // program the files came from is not kept waiting.
    QTimer::singleShot(0, this, [this, paths] { dropPaths(paths); });
}

void MainWindow::dropPaths(const QStringList &paths)
{
    std::vector<DroppedItem> items;
    for (const QString &p : paths)
        items.push_back({std::filesystem::path(u8(p)), QFileInfo(p).isDir()});
    const DropPlan plan = planDrop(items);
    switch (plan.action) {
    case DropAction::SetFolder:
        m_form->control(ctl::kFolder)->setText(plan.path.string());
        return;
    case DropAction::SetServer:
        m_form->control(ctl::kServer)->setText(plan.path.string());
        return;
    case DropAction::LoadConfig: {
        PromptHost prompts(this);
        m_suppressRowLoad = true;
        importDroppedConfig(ConfigWindow::Main, *m_form, plan.path, prompts);
        m_suppressRowLoad = false;
        showPage(m_form->control("组合框数据来源")->currentIndex());
        return;
    }
    case DropAction::ImportFiles: {
        std::vector<std::string> files;
        for (const auto &f : plan.files)
            files.push_back(f.string());
        importDropped(std::move(files));
        return;
    }
    }
}

} // namespace varnel::gui
