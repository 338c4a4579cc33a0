// The main window's actions on the server and on files: connecting, the name
// pickers, reading a table's fields, configuration files, the folder button
// and help.
#include "gui/MainWindow.h"

#include "design/ConfigFile.h"
#include "form/MainControls.h"
#include "gui/FolderTools.h"
#include "gui/HelpTexts.h"
#include "gui/InfoDialogs.h"
#include "gui/ManagerWindow.h"
#include "gui/NamePicker.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "mysql/MySqlConnection.h"
#include "transfer/TableFields.h"
#include "util/ThrottledPump.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace varnel::gui {
namespace {

constexpr std::string_view kConnectButton = "按钮建立连接";
constexpr std::string_view kConnectIdle = "建立连接";
constexpr std::string_view kDatabaseList = "按钮库列表";
constexpr std::string_view kTableList = "按钮表列表";

const std::vector<FileFilter> &configFilters()
{
    static const std::vector<FileFilter> filters = {
        {QStringLiteral("ini配置文件(*.ini)"), QStringLiteral("*.ini")},
        {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")},
    };
    return filters;
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find("\r\n", start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return out;
}

} // namespace

void MainWindow::setConnectedButtons(bool enabled)
{
    for (std::string_view name : {kDatabaseList, kTableList, std::string_view("按钮读表字段"),
             std::string_view("按钮导入"), std::string_view("按钮导出")})
        m_form->control(name)->setEnabled(enabled);
}

void MainWindow::forgetNameLists()
{
    m_form->control(kDatabaseList)->setTag("");
    m_tableListKey.clear();
}

void MainWindow::connectAction()
{
    Control *button = m_form->control(kConnectButton);
    if (m_db.isOpen()) {
        // A run, or a name list being read, uses the connection until it
        // has ended.
        if (runActive() || m_busy.busy()) {
            m_disconnectPending = true;
            m_importer.requestStop();
            m_exporter.requestStop();
            return;
        }
        disconnectNow();
        return;
    }
    button->setEnabled(false);
    button->setText("正在连接..");
    repaint();
    const bool ok = m_db.connect(
        controlText(*m_form, ctl::kServer), controlText(*m_form, ctl::kUser), controlText(*m_form, ctl::kPassword));
    button->setEnabled(true);
    if (ok) {
        m_db.setReconnectOnLoss(true);
        m_db.setLostHandler([this](const std::string &reason) { serverLost(reason); });
        setConnectedButtons(true);
        button->setText("断开连接");
        // The lists of the last session or another server are not this
        // server's.
        forgetNameLists();
        emit connectionChanged(true);
        return;
    }
    button->setText(kConnectIdle);
    showInfoText(nullptr, QStringLiteral("连接到MySQL失败"),
        qs(m_db.connectError()) + QStringLiteral("\r\n") + connectionHelpText(),
        QStringLiteral(
            "请检查服务器地址、用户名、密码是否有误，或该服务器是否限制远程连接（也就是只能在服务器上连接）！"));
}

void MainWindow::disconnectNow()
{
    forgetNameLists();
    // The manager goes with the connection (saved, through its close); a
    // loop of its own still running closes it when it has returned.
    if (m_manager)
        m_manager->close();
    // So does the table creation window, saved as well.
    if (m_createTable)
        m_createTable->close();
    m_db.setReconnectOnLoss(false);
    m_db.setLostHandler({});
    m_db.disconnect();
    setConnectedButtons(false);
    m_form->control(kConnectButton)->setText(kConnectIdle);
    emit connectionChanged(false);
}

// A statement found the server gone and connecting again failed: the
// connection is closed already. What the action that sent it would still say
// is not shown; when it has returned, the window goes back to its
// disconnected state and says why.
void MainWindow::serverLost(const std::string &reason)
{
    Prompts::setMuted(true);
    QTimer::singleShot(0, this, [this, reason = qs(reason)] {
        Prompts::setMuted(false);
        if (runActive() || m_busy.busy())
            m_disconnectPending = true;
        else
            disconnectNow();
        Prompts::message(this, QStringLiteral("与 MySQL 服务器的连接已断开，重新连接失败：") + reason,
            qs(kDefaultCaption), MessageIcon::None);
    });
}

// Reads the database or table names into the button's tag, a row at a time
// with events handled between rows; false when the server refused.
bool MainWindow::readNameList(Control &button, bool tables)
{
    const std::string caption = button.text();
    button.setText("读取中");
    // Disabling the focused button would hand the focus on along the chain,
    // to the password box with its text selected; it waits here instead.
    QWidget *pressed = m_form->widget(tables ? kTableList : kDatabaseList);
    const bool hadFocus = pressed->hasFocus();
    if (hadFocus)
        pressed->clearFocus();
    button.setEnabled(false);
    BusyScope busy(m_busy);
    bool ok =
        tables ? m_db.selectDatabase(controlText(*m_form, ctl::kDatabase)) && m_db.showTables() : m_db.showDatabases();
    std::unique_ptr<ResultSet> result = ok ? m_db.storeResult() : nullptr;
    std::string list;
    if (result) {
        ThrottledPump pump([] { QCoreApplication::processEvents(); }, m_host.pumpInterval());
        for (std::uint64_t r = 0; r < result->rowCount(); ++r) {
            result->seekRow(r);
            std::string name;
            result->readField(0.0, name);
            list += name + "\r\n";
            pump();
        }
        button.setTag(list);
    }
    button.setText(caption);
    button.setEnabled(true);
    if (hadFocus && !QApplication::focusWidget())
        pressed->setFocus(Qt::OtherFocusReason);
    return result != nullptr;
}

bool MainWindow::listReadFinished()
{
    // A close or a disconnect asked for while the names were read is carried
    // out now, and then no list is offered.
    const bool closing = m_busy.closePending();
    afterRun();
    return !closing && m_db.isOpen() && !m_busy.closePending();
}

void MainWindow::tablePicker()
{
    if (!m_db.isOpen())
        return;
    Control &button = *m_form->control(kTableList);
    const std::string key = controlText(*m_form, ctl::kServer) + controlText(*m_form, ctl::kDatabase);
    if (key != m_tableListKey || m_tableListKey.empty()) {
        if (!readNameList(button, true)) {
            Prompts::message(this,
                QStringLiteral("获取表名列表失败！请检查设置的库名是否正确，或连接是否有效（重新连接试试）"),
                qs(kDefaultCaption), MessageIcon::None);
            afterRun();
            return;
        }
        m_tableListKey = key;
        if (!listReadFinished())
            return;
    }
    putPickedName(ctl::kTable, NamePicker::pick(this, splitLines(button.tag())));
}

void MainWindow::databasePicker()
{
    if (!m_db.isOpen())
        return;
    Control &button = *m_form->control(kDatabaseList);
    if (button.tag().empty()) {
        if (!readNameList(button, false)) {
            Prompts::message(this, QStringLiteral("获取库名列表失败！请检查连接是否有效（重新连接试试）"),
                qs(kDefaultCaption), MessageIcon::None);
            afterRun();
            return;
        }
        if (!listReadFinished())
            return;
    }
    putPickedName(ctl::kDatabase, NamePicker::pick(this, splitLines(button.tag())));
}

// The name goes into its box, and the typing goes on there, after the name.
void MainWindow::putPickedName(std::string_view boxName, const QString &name)
{
    if (name.isEmpty())
        return;
    m_form->control(boxName)->setText(u8(name));
    auto *box = m_form->widgetAs<QLineEdit>(boxName);
    box->setFocus(Qt::OtherFocusReason);
    box->deselect();
    box->end(false);
}

void MainWindow::readTableFields()
{
    PromptHost prompts(this);
    m_suppressRowLoad = true;
    const TableFieldsResult r = readTableFieldsIntoMapping(*m_form, m_db, prompts);
    m_suppressRowLoad = false;
    if (!r.focus.empty())
        focusControl(r.focus);
}

void MainWindow::exportConfig()
{
    const QString path = Prompts::saveFile(this, QStringLiteral("选择一个文件路径保存当前界面配置："),
        qs(m_form->control("按钮导出配置")->tag()), configFilters());
    if (path.isEmpty())
        return;
    PromptHost prompts(this);
    exportConfigTo(ConfigWindow::Main, *m_form, u8(path), prompts);
}

void MainWindow::importConfig()
{
    const QString path = Prompts::openFile(this, QStringLiteral("选择一个先前导出的ini配置文件导入："),
        qs(m_form->control("按钮导入配置")->tag()), configFilters(), false);
    if (path.isEmpty())
        return;
    PromptHost prompts(this);
    m_suppressRowLoad = true;
    importConfigFrom(ConfigWindow::Main, *m_form, u8(path), prompts);
    m_suppressRowLoad = false;
    showPage(m_form->control("组合框数据来源")->currentIndex());
}

void MainWindow::chooseFolder()
{
    const QString folder = gui::chooseFolder(this, qs(controlText(*m_form, ctl::kFolder)));
    if (!folder.isEmpty())
        m_form->control(ctl::kFolder)->setText(u8(folder));
}

void MainWindow::openFolder()
{
    openInFileManager(qs(controlText(*m_form, ctl::kFolder)));
}

void MainWindow::openManager()
{
    if (m_manager) {
        m_manager->show();
        m_manager->raise();
        m_manager->activateWindow();
        return;
    }
    // Decided before the window exists, so no half-made window shows.
    if (!m_db.isOpen())
        connectAction();
    if (!m_db.isOpen()) {
        Prompts::message(this, QStringLiteral("主界面尚未连接到MySQL，无法使用管理器功能！"), qs(kDefaultCaption),
            MessageIcon::None);
        return;
    }
    m_manager = new ManagerWindow(*this, m_settings, m_db);
    connect(m_manager, &ManagerWindow::namesChanged, this, &MainWindow::forgetNameLists);
    m_manager->show();
}

void MainWindow::openCreateTable()
{
    if (m_createTable) {
        m_createTable->show();
        m_createTable->raise();
        m_createTable->activateWindow();
        return;
    }
    // Decided before the window exists, so no half-made window shows.
    if (!m_db.isOpen())
        connectAction();
    if (!m_db.isOpen()) {
        Prompts::message(this, QStringLiteral("主界面尚未连接到MySQL，无法使用创建表功能！"), qs(kDefaultCaption),
            MessageIcon::None);
        return;
    }
    m_createTable = new CreateTableWindow(*this, m_settings, m_db);
    m_createTable->show();
}

void MainWindow::showHelp()
{
    gui::showHelp(this);
}

} // namespace varnel::gui
