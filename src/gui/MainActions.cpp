// The main window's actions on files and the windows it opens: reading a
// table's fields, configuration files, the folder button, the manager, the
// table creation window and help.
#include "gui/MainWindow.h"

#include "design/ConfigFile.h"
#include "form/MainControls.h"
#include "gui/ConfigFileActions.h"
#include "gui/CreateTableWindow.h"
#include "gui/EncryptionDialog.h"
#include "gui/FolderTools.h"
#include "gui/HelpTexts.h"
#include "gui/ManagerWindow.h"
#include "gui/MappingEditorPanel.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "transfer/TableFields.h"

#include <QPushButton>

namespace varnel::gui {
void MainWindow::readTableFields()
{
    PromptHost prompts(this);
    TableFieldsResult r;
    m_mapping->changeRowsQuietly([&] { r = readTableFieldsIntoMapping(*m_form, m_session.db(), prompts); });
    if (!r.focus.empty())
        m_mapping->focusControl(r.focus);
}

void MainWindow::exportConfig()
{
    exportWindowConfig(this, ConfigWindow::Main, *m_form);
}

void MainWindow::importConfig()
{
    const QString path = askConfigToImport(this, *m_form);
    if (path.isEmpty())
        return;
    PromptHost prompts(this);
    const std::string typed = controlText(*m_form, ctl::kPassword);
    m_mapping->changeRowsQuietly([&] { importConfigFrom(ConfigWindow::Main, *m_form, u8(path), prompts); });
    // A configuration that keeps no password leaves the one typed in this
    // session.
    if (controlChecked(*m_form, ctl::kPasswordNotStored) && controlText(*m_form, ctl::kPassword).empty())
        m_form->control(ctl::kPassword)->setText(typed);
    m_mapping->showChosenPage();
}

void MainWindow::editEncryption()
{
    if (const auto chosen = EncryptionDialog::ask(this, encryptionSettingsOf(*m_form), m_session.isOpen()))
        putEncryptionSettings(*m_form, *chosen);
}

void MainWindow::showEncryptionState()
{
    const EncryptionSettings settings = encryptionSettingsOf(*m_form);
    m_encryptionButton->setText(encryptionButtonCaption(settings));
    m_encryptionButton->setToolTip(encryptionButtonToolTip(settings));
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
    if (!m_session.isOpen())
        connectAction();
    if (!m_session.isOpen()) {
        Prompts::message(this, QStringLiteral("主界面尚未连接到MySQL，无法使用管理器功能！"), qs(kDefaultCaption),
            MessageIcon::None);
        return;
    }
    m_manager = new ManagerWindow(*this, m_session, m_settings);
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
    if (!m_session.isOpen())
        connectAction();
    if (!m_session.isOpen()) {
        Prompts::message(this, QStringLiteral("主界面尚未连接到MySQL，无法使用创建表功能！"), qs(kDefaultCaption),
            MessageIcon::None);
        return;
    }
    m_createTable = new CreateTableWindow(this, *this, m_session, m_settings);
    m_createTable->show();
}

void MainWindow::showHelp()
{
    gui::showHelp(this);
}

} // namespace varnel::gui
