// A login without a password of its own, refused by the server: the window
// asks once, keeps the answer for the session or, with 记住密码, in the
// keyring or (without one) in the settings file. Run twice by ctest: once
// with no keyring at all, once inside a private D-Bus session with a fresh
// gnome-keyring (VARNEL_TEST_KEYRING=1).
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "gui/PasswordKeyring.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"
#include "text/Charset.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <memory>

using namespace varnel;
using namespace varnel::gui;

class PasswordPromptTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;
    bool m_keyring = std::getenv("VARNEL_TEST_KEYRING") != nullptr;

    std::unique_ptr<MainWindow> open(const std::string &password = {})
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_db);
        w->form().control("编辑框服务器")->setText(m_sandbox.server);
        w->form().control("编辑框用户名")->setText(m_sandbox.user);
        w->form().control("编辑框密码")->setText(password);
        w->show();
        return w;
    }
    std::string text(MainWindow &w, const char *name) { return w.form().control(name)->text(); }
    // The next password dialog answered with `password`, 记住密码 as given;
    // what it said is kept in *said.
    static void answer(const QString &password, bool remember, QString *said = nullptr)
    {
        Prompts::queueDialog([=](QDialog &d) {
            if (said)
                *said = d.findChild<QLabel *>(QStringLiteral("标签输入密码"))->text() + QLatin1Char('|')
                    + d.findChild<QLabel *>(QStringLiteral("标签记住密码说明"))->text();
            QCOMPARE(d.findChild<QLineEdit *>(QStringLiteral("编辑框输入密码"))->echoMode(), QLineEdit::Password);
            d.findChild<QLineEdit *>(QStringLiteral("编辑框输入密码"))->setText(password);
            d.findChild<QCheckBox *>(QStringLiteral("选择框记住密码"))->setChecked(remember);
            d.adjustSize();
            test::saveScreenshot(d,
                std::getenv("VARNEL_TEST_KEYRING") ? QStringLiteral("password-dialog-keyring")
                                                   : QStringLiteral("password-dialog"));
            d.findChild<QPushButton *>(QStringLiteral("按钮确定"))->click();
        });
    }
    static int dialogsShown() { return test::recordedCount(Prompts::Kind::Dialog); }
    QByteArray settingsBytes()
    {
        QFile f(m_dir->filePath(QStringLiteral("settings.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        // Without a keyring the session bus is one that is not there, so a
        // desktop's own keyring is never reached.
        if (!m_keyring)
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/varnel-no-bus");
    }
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        if (m_sandbox.password.empty())
            QSKIP("the sandbox account has no password");
        test::openTestFiles(m_dir, m_settings, m_db);
        test::scriptPrompts();
        PasswordKeyring::remove(qs(m_sandbox.user), qs(m_sandbox.server));
    }
    void cleanup()
    {
        PasswordKeyring::remove(qs(m_sandbox.user), qs(m_sandbox.server));
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void keyringRoundTrip()
    {
        if (!m_keyring) {
            QCOMPARE(PasswordKeyring::read(QStringLiteral("u"), QStringLiteral("s")).outcome,
                PasswordKeyring::Outcome::NoKeyring);
            return;
        }
        const QString odd = QStringLiteral("密码 with spaces=;'\"");
        QCOMPARE(PasswordKeyring::write(QStringLiteral("u"), QStringLiteral("db1:3306"), odd),
            PasswordKeyring::Outcome::Done);
        QCOMPARE(PasswordKeyring::write(QStringLiteral("u"), QStringLiteral("db2:3306"), QStringLiteral("other")),
            PasswordKeyring::Outcome::Done);
        const PasswordKeyring::Lookup found = PasswordKeyring::read(QStringLiteral("u"), QStringLiteral("db1:3306"));
        QCOMPARE(found.outcome, PasswordKeyring::Outcome::Done);
        QCOMPARE(found.password, odd);
        QCOMPARE(
            PasswordKeyring::read(QStringLiteral("u"), QStringLiteral("db2:3306")).password, QStringLiteral("other"));
        QCOMPARE(PasswordKeyring::read(QStringLiteral("v"), QStringLiteral("db1:3306")).outcome,
            PasswordKeyring::Outcome::NotFound);
        QCOMPARE(
            PasswordKeyring::remove(QStringLiteral("u"), QStringLiteral("db1:3306")), PasswordKeyring::Outcome::Done);
        QCOMPARE(PasswordKeyring::read(QStringLiteral("u"), QStringLiteral("db1:3306")).outcome,
            PasswordKeyring::Outcome::NotFound);
        PasswordKeyring::remove(QStringLiteral("u"), QStringLiteral("db2:3306"));
    }

    // Not remembered: the session keeps it, no file ever holds it, and the
    // next start asks again.
    void askedOnceAndKeptForTheSession()
    {
        auto w = open();
        QString said;
        answer(qs(m_sandbox.password), false, &said);
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        QCOMPARE(dialogsShown(), 1);
        QVERIFY2(said.startsWith(QStringLiteral("请输入 ") + qs(m_sandbox.user) + QLatin1Char('@')
                     + qs(m_sandbox.server) + QStringLiteral(" 的密码：")),
            qPrintable(said));
        QVERIFY2(said.contains(m_keyring ? QStringLiteral("密钥环") : QStringLiteral("设置文件")), qPrintable(said));
        QCOMPARE(text(*w, "编辑框密码"), std::string());
        w->connectAction();
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        QCOMPARE(dialogsShown(), 1);
        w->close();
        w.reset();
        m_db->disconnect(); // as the program's end does
        QVERIFY(!settingsBytes().contains(QByteArray::fromStdString(m_sandbox.password)));
        QVERIFY(settingsBytes().contains(toGb18030("编辑框密码=\r\n").c_str()));
        if (m_keyring)
            QCOMPARE(PasswordKeyring::read(qs(m_sandbox.user), qs(m_sandbox.server)).outcome,
                PasswordKeyring::Outcome::NotFound);

        // After a restart the box is empty, not the design's password.
        auto again = std::make_unique<MainWindow>(*m_settings, *m_db);
        QCOMPARE(text(*again, "编辑框密码"), std::string());
        Prompts::queueDialog([](QDialog &d) { d.reject(); });
        again->connectAction();
        QCOMPARE(text(*again, "按钮建立连接"), std::string("建立连接"));
        QCOMPARE(dialogsShown(), 2);
        QVERIFY(Prompts::records().back().kind == Prompts::Kind::Info); // the failure, as without a dialog
    }

    // Remembered: in the keyring where there is one, and then the settings
    // file holds no password and the next start connects unasked; without a
    // keyring in the password box, saved as before, said once.
    void rememberedWhereTheUserWasTold()
    {
        auto w = open();
        answer(qs(m_sandbox.password), true);
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        if (m_keyring) {
            QCOMPARE(PasswordKeyring::read(qs(m_sandbox.user), qs(m_sandbox.server)).password, qs(m_sandbox.password));
            QCOMPARE(text(*w, "编辑框密码"), std::string());
        } else {
            QCOMPARE(Prompts::messages().size(), 1);
            QVERIFY(Prompts::messages().front().contains(QStringLiteral("保存在设置文件中")));
            QCOMPARE(text(*w, "编辑框密码"), m_sandbox.password);
        }
        w->close();
        w.reset();
        m_db->disconnect(); // as the program's end does
        QCOMPARE(settingsBytes().contains(QByteArray::fromStdString(m_sandbox.password)), !m_keyring);

        auto again = std::make_unique<MainWindow>(*m_settings, *m_db);
        again->connectAction();
        QCOMPARE(text(*again, "按钮建立连接"), std::string("断开连接"));
        QCOMPARE(dialogsShown(), 1);
    }

    // A password the user typed is refused as it is, and a wrong answer in
    // the dialog is not asked for again.
    void askedOnlyForALoginWithoutAPassword()
    {
        auto w = open("wrong" + m_sandbox.password);
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        QCOMPARE(dialogsShown(), 0);

        w->form().control("编辑框密码")->setText("");
        answer(QStringLiteral("still wrong"), true);
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        QCOMPARE(dialogsShown(), 1);
        QCOMPARE(test::lastRecorded(Prompts::Kind::Info).title, QStringLiteral("连接到MySQL失败"));
        QCOMPARE(text(*w, "编辑框密码"), std::string());
        if (m_keyring)
            QCOMPARE(PasswordKeyring::read(qs(m_sandbox.user), qs(m_sandbox.server)).outcome,
                PasswordKeyring::Outcome::NotFound);

        // A server that is not there is no question of a password.
        w->form().control("编辑框服务器")->setText("127.0.0.1:1");
        w->connectAction();
        QCOMPARE(dialogsShown(), 1);
    }
};

QTEST_MAIN(PasswordPromptTest)
#include "PasswordPromptTest.moc"
