#pragma once

#include "gui/BusyScope.h"

#include <QWidget>

#include "mysql/Accounts.h"

#include <memory>
#include <string>
#include <vector>

class QGridLayout;
class QLineEdit;
class QListWidget;

namespace varnel {
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

class ConnectionSession;
class ManagerWindow;
class RightButton;

// The server's accounts: one item per row of mysql.user, and creating an
// account with privileges, changing an account's privileges and deleting an
// account. Item k of the list always stands for row k of the last user list
// read; changes and deletions act on the account of the current item (a
// delete after a question), and a delete leaves no item current. Its place is
// kept in the section "用户管理".
class UserAdminWindow : public QWidget {
    Q_OBJECT
public:
    UserAdminWindow(ManagerWindow &manager, ConnectionSession &session, SettingsStore &settings);
    ~UserAdminWindow() override;

    QListWidget *list() const { return m_list; }
    QLineEdit *hostBox() const { return m_host; }
    QLineEdit *userBox() const { return m_user; }
    QLineEdit *passwordBox() const { return m_password; }
    QLineEdit *databaseBox() const { return m_database; }
    QLineEdit *tableBox() const { return m_table; }
    QLineEdit *privilegesBox() const { return m_privileges; }
    RightButton *findButton() const { return m_find; }
    // The account the boxes showed last: what 修改 and 删除 act on.
    std::string shownHost() const;
    std::string shownUser() const;

    // Reads the user list and shows it; a failure is reported.
    void readUserList();
    void showSelectedAccount();
    // The shown account's privileges at the level the boxes name, into
    // 编辑框权限.
    void showPrivileges();
    void createAccount();
    void modifyAccount();
    void deleteAccount();
    void findUser(bool next);
    void showHint(const QString &hint);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    QGridLayout *buildBoxes();
    // Reads the list again and shows it with the item of the account
    // (host, user) current, or the item at `fallback`; false when the list
    // could not be read.
    bool reloadUsers(const std::string &host, const std::string &user, int fallback);
    int rowOf(const std::string &host, const std::string &user) const;
    void setCurrentRow(int row);
    int privilegesTakenFromSelf(const std::string &user, const std::string &host, int mask);
    void message(const QString &text);
    // An OK/Cancel question; true for OK. `cancelIsDefault`: Return answers
    // 取消.
    bool ask(const QString &text, bool cancelIsDefault = false);
    // No current item and empty boxes: no account is shown.
    void showNoAccount();

    SettingsStore &m_settings;
    ConnectionSession &m_session;
    BusyCounter m_busy;
    std::vector<Account> m_accounts; // of the last list read, item k is account k
    QListWidget *m_list = nullptr;
    QLineEdit *m_host = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_database = nullptr;
    QLineEdit *m_table = nullptr;
    QLineEdit *m_privileges = nullptr;
    RightButton *m_find = nullptr;
};

} // namespace varnel::gui
