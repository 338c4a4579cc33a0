#include "gui/MainWindow.h"

#include "design/ConfigFile.h"
#include "design/DropPlan.h"
#include "design/FormTable.h"
#include "form/MainControls.h"
#include "gui/ConfigFileActions.h"
#include "gui/ConnectionController.h"
#include "gui/CreateTableWindow.h"
#include "gui/ExportConditionPanel.h"
#include "gui/InfoDialogs.h"
#include "gui/ManagerWindow.h"
#include "gui/MappingEditorPanel.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/RunController.h"
#include "gui/WindowPlace.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace varnel::gui {
namespace {

constexpr int kDesignWidth = 644;
constexpr int kDesignHeight = 730;

} // namespace

MainWindow::MainWindow(SettingsStore &settings, MySqlConnection &db, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_session(db)
    , m_form(std::make_unique<QtForm>(mainFormSpec(), this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(qs(kApplicationTitle));
    const MainParts parts{*this, *m_form, m_session, m_busy};
    m_runs = new RunController(parts);
    m_connection = new ConnectionController(parts);
    buildLayout();
    wireActions();
    // The design size is where the window starts; it grows where its text
    // needs more room (a larger font or screen scale).
    resize(std::max(kDesignWidth, minimumSizeHint().width()), std::max(kDesignHeight, minimumSizeHint().height()));
    restoreWindowPlace(*this, m_settings, mainFormSpec().section);

    // Created: restore every control and the mapping rows, show the page of
    // the chosen source, then accept drops.
    {
        const QSignalBlocker block(m_mapping->list());
        m_mapping->changeRowsQuietly([this] { restoreMainConfig(m_settings, *m_form); });
    }
    m_mapping->showChosenPage();
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // The manager (which has no owner) and every part of this window hold
    // the session or the form, which go before the window's children would.
    delete m_manager.data();
    delete m_createTable.data();
    delete m_conditions;
    delete m_mapping;
    delete m_connection;
    delete m_runs;
    m_conditions = nullptr;
    m_mapping = nullptr;
    m_connection = nullptr;
    m_runs = nullptr;
}

ArticleImporter &MainWindow::importer()
{
    return m_runs->importer();
}

ArticleExporter &MainWindow::exporter()
{
    return m_runs->exporter();
}

QTreeWidget *MainWindow::mappingList() const
{
    return m_mapping->list();
}

QTabWidget *MainWindow::optionPages() const
{
    return m_mapping->pages();
}

QGroupBox *MainWindow::conditionGroup() const
{
    return m_conditions;
}

bool MainWindow::runActive() const
{
    return m_runs->active();
}

ManagerWindow *MainWindow::manager() const
{
    return m_manager;
}

CreateTableWindow *MainWindow::createTableWindow() const
{
    return m_createTable;
}

void MainWindow::wireActions()
{
    auto button = [this](std::string_view name) { return m_form->widgetAs<RightButton>(name); };
    connect(button(ctl::kConnectButton), &QPushButton::clicked, this, &MainWindow::connectAction);
    // Enter in the password box connects; it never disconnects.
    connect(m_form->widgetAs<QLineEdit>(ctl::kPassword), &QLineEdit::returnPressed, this, [this] {
        if (!m_session.isOpen())
            connectAction();
    });
    connect(button(ctl::kDatabaseListButton), &QPushButton::clicked, this, &MainWindow::databasePicker);
    connect(button(ctl::kTableListButton), &QPushButton::clicked, this, &MainWindow::tablePicker);
    connect(button(ctl::kReadFieldsButton), &QPushButton::clicked, this, &MainWindow::readTableFields);
    connect(button(ctl::kImportButton), &QPushButton::clicked, this, [this] { importPressed(false); });
    connect(button(ctl::kImportButton), &RightButton::rightReleased, this, [this] { importPressed(true); });
    connect(button(ctl::kExportButton), &QPushButton::clicked, this, &MainWindow::exportPressed);
    connect(button("按钮导入配置"), &QPushButton::clicked, this, &MainWindow::importConfig);
    connect(button("按钮导出配置"), &QPushButton::clicked, this, &MainWindow::exportConfig);
    connect(button("按钮选择目录"), &QPushButton::clicked, this, &MainWindow::chooseFolder);
    connect(button("按钮选择目录"), &RightButton::rightReleased, this, &MainWindow::openFolder);
    connect(m_encryptionButton, &QPushButton::clicked, this, &MainWindow::editEncryption);
    // Asked to keep no password: one stored before leaves the settings file
    // now, not only when the window closes.
    connect(m_form->widgetAs<QCheckBox>(ctl::kPasswordNotStored), &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            return;
        m_settings.setSection(mainFormSpec().section);
        m_settings.writeText(ctl::kPassword, "");
    });
    // However the boxes change (the dialog, a restore, a configuration
    // file), the button says what the next connect will do.
    for (std::string_view name : {ctl::kSslMode, ctl::kSslCa, ctl::kSslCert, ctl::kSslKey})
        connect(m_form->widgetAs<QLineEdit>(name), &QLineEdit::textChanged, this, &MainWindow::showEncryptionState);
    showEncryptionState();

    connect(m_runs, &RunController::runEnded, this, &MainWindow::afterRun);
    connect(m_runs, &RunController::tablesMayHaveChanged, &m_session, &ConnectionSession::forgetNames);
    connect(m_connection, &ConnectionController::listReadEnded, this, &MainWindow::afterRun);
    connect(m_connection, &ConnectionController::runStopRequested, m_runs, &RunController::requestStop);
    connect(m_connection, &ConnectionController::disconnecting, this, &MainWindow::closeOwnedWindows);
}

// --- what the other windows may ask -------------------------------------------

std::string MainWindow::databaseName() const
{
    return controlText(*m_form, ctl::kDatabase);
}

std::string MainWindow::tableName() const
{
    return controlText(*m_form, ctl::kTable);
}

std::string MainWindow::userName() const
{
    return controlText(*m_form, ctl::kUser);
}

void MainWindow::setDatabaseAndTable(std::string_view database, std::string_view table)
{
    m_form->control(ctl::kDatabase)->setText(database);
    m_form->control(ctl::kTable)->setText(table);
    activateWindow();
    raise();
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::focusBox(std::string_view controlName)
{
    m_runs->host().focus(controlName);
}

// --- the parts' actions -------------------------------------------------------

void MainWindow::connectAction()
{
    m_connection->connectAction();
}

void MainWindow::databasePicker()
{
    m_connection->databasePicker();
}

void MainWindow::tablePicker()
{
    m_connection->tablePicker();
}

void MainWindow::importPressed(bool alternativeLister)
{
    m_runs->importPressed(alternativeLister);
}

void MainWindow::exportPressed()
{
    m_runs->exportPressed();
}

// --- window events ------------------------------------------------------------

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
        m_runs->requestStop();
        event->ignore();
        return;
    }
    // The other windows end with this one, through their own close, so
    // what they keep is saved too.
    if ((m_manager && !m_manager->close()) || (m_createTable && !m_createTable->close())) {
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

void MainWindow::closeOwnedWindows()
{
    if (m_manager)
        m_manager->close();
    if (m_createTable)
        m_createTable->close();
}

void MainWindow::afterRun()
{
    if (m_busy.busy())
        return;
    const auto [title, failures] = m_runs->host().takeFailureReport();
    if (!failures.isEmpty()) {
        showInfoText(this, title, failures, QString(),
            TextInputRequest::Extra{QStringLiteral("保存报告"), [this](QWidget *dialog) { saveRunReport(dialog); }});
    }
    m_connection->disconnectIfAsked();
    closeWhenIdle(*this, m_busy);
}

// The last run's report, JSON Lines as varnel-cli --report writes it.
void MainWindow::saveRunReport(QWidget *owner)
{
    const auto &last = m_runs->lastRun();
    if (!last)
        return;
    const QString path = Prompts::saveFile(owner, QStringLiteral("保存报告"), QString(),
        {{QStringLiteral("运行报告"), QStringLiteral("*.jsonl")}}, QStringLiteral("jsonl"));
    if (path.isEmpty())
        return;
    if (const Result<void> written = writeRunReport(QFile::encodeName(path).toStdString(), last->result, last->head);
        !written) {
        Prompts::message(owner, QStringLiteral("运行报告未写入：") + qs(written.error().message), qs(kDefaultCaption),
            MessageIcon::None);
        return;
    }
    Prompts::message(owner, QStringLiteral("运行报告已保存：") + path, qs(kDefaultCaption), MessageIcon::None);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    acceptLocalFiles(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    takeDroppedFiles(this, event, [this](const QStringList &paths) { dropPaths(paths); });
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
        m_mapping->changeRowsQuietly([&] { importDroppedConfig(ConfigWindow::Main, *m_form, plan.path, prompts); });
        m_mapping->showChosenPage();
        return;
    }
    case DropAction::ImportFiles: {
        std::vector<std::string> files;
        for (const auto &f : plan.files)
            files.push_back(f.string());
        m_runs->importDropped(std::move(files));
        return;
    }
    }
}

} // namespace varnel::gui
