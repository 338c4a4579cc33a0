// The main window's encrypted connections against the sandbox server: the
// mode and files set in the 加密连接 dialog are what the next connect uses,
// a verified connect with the sandbox's CA, and a CA that did not sign the
// server's certificate.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

using namespace varnel;
using namespace varnel::gui;

// scripts/test makes the sandbox's TLS account: without it a test skips
// outside CI, and fails in CI, as every test that misses its server does.
#define VARNEL_TLS_MISSING(why)                                                                                        \
    do {                                                                                                               \
        if (::varnel::test::guiInCi())                                                                                 \
            QFAIL(why);                                                                                                \
        QSKIP(why);                                                                                                    \
    } while (0)

namespace {

// The sandbox's account that may log in over TLS only, and the CA files:
// the one that signed the server's certificate and one that did not.
struct TlsAccount {
    std::string user, password;
    QString ca, otherCa, cert, key;
};

std::optional<TlsAccount> tlsAccount()
{
    auto env = [](const char *name) {
        const char *v = std::getenv(name);
        return std::string(v ? v : "");
    };
    TlsAccount a{env("VARNEL_DB_TLS_USER"), env("VARNEL_DB_TLS_PASSWORD"), qs(env("VARNEL_DB_SSL_CA")),
        qs(env("VARNEL_DB_SSL_OTHER_CA")), qs(env("VARNEL_DB_SSL_CERT")), qs(env("VARNEL_DB_SSL_KEY"))};
    if (a.user.empty() || a.ca.isEmpty())
        return std::nullopt;
    return a;
}

} // namespace

class MainWindowTlsTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;

    std::unique_ptr<MainWindow> open(const std::string &user, const std::string &password)
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_db);
        w->form().control("编辑框服务器")->setText(m_sandbox.server);
        w->form().control("编辑框用户名")->setText(user);
        w->form().control("编辑框密码")->setText(password);
        w->show();
        return w;
    }
    std::string text(MainWindow &w, const char *name) { return w.form().control(name)->text(); }
    // Through the 加密.. button, as a user sets it.
    static void setEncryption(
        MainWindow &w, const char *mode, const QString &ca, const QString &cert = {}, const QString &key = {})
    {
        Prompts::queueDialog([&](QDialog &d) {
            auto *box = d.findChild<QComboBox *>(QStringLiteral("组合框加密方式"));
            box->setCurrentIndex(box->findData(QString::fromUtf8(mode)));
            d.findChild<QLineEdit *>(QStringLiteral("编辑框CA证书文件"))->setText(ca);
            d.findChild<QLineEdit *>(QStringLiteral("编辑框客户端证书文件"))->setText(cert);
            d.findChild<QLineEdit *>(QStringLiteral("编辑框客户端私钥文件"))->setText(key);
            d.findChild<QPushButton *>(QStringLiteral("按钮确定"))->click();
        });
        w.findChild<QPushButton *>(QStringLiteral("按钮加密"))->click();
        QCOMPARE(w.form().control("编辑框加密方式")->text(), std::string(mode));
    }

private slots:
    void init()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        test::openTestFiles(m_dir, m_settings, m_db);
        test::scriptPrompts();
    }
    void cleanup()
    {
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    // Set while connected, REQUIRED leaves the open connection alone (the
    // dialog says so) and is what the next connect asks of the server: an
    // encrypted connection, or a refusal that says why.
    void aChangeWhileConnectedWaitsForTheNextConnect()
    {
        MySqlConnection admin;
        QVERIFY(admin.connect(m_sandbox.server, m_sandbox.user, m_sandbox.password));
        QVERIFY(admin.execute("select @@have_ssl"));
        auto result = admin.storeResult();
        QVERIFY(result && result->rowCount() == 1);
        result->seekRow(0);
        std::string haveSsl;
        result->readField(0.0, haveSsl);

        auto w = open(m_sandbox.user, m_sandbox.password);
        w->connectAction();
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        Prompts::queueDialog([&](QDialog &d) {
            QCOMPARE(d.findChild<QLabel *>(QStringLiteral("标签加密生效"))->text(),
                QStringLiteral("现在的连接不受影响：修改在下次建立连接时生效。"));
            auto *box = d.findChild<QComboBox *>(QStringLiteral("组合框加密方式"));
            box->setCurrentIndex(box->findData(QStringLiteral("REQUIRED")));
            d.findChild<QPushButton *>(QStringLiteral("按钮确定"))->click();
        });
        w->findChild<QPushButton *>(QStringLiteral("按钮加密"))->click();
        QCOMPARE(text(*w, "编辑框加密方式"), std::string("REQUIRED"));
        QVERIFY(m_db->isOpen());
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));

        w->connectAction();
        QVERIFY(!m_db->isOpen());
        w->connectAction();
        if (haveSsl == "YES") {
            QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
            QVERIFY(!m_db->sslCipher().empty());
        } else {
            QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
            const Prompts::Record shown = test::lastRecorded(Prompts::Kind::Info);
            QCOMPARE(shown.title, QStringLiteral("连接到MySQL失败"));
            QVERIFY2(shown.text.contains(QStringLiteral("加密")), qPrintable(shown.text));
        }
    }

    void connectsWithTheServersIdentityVerified()
    {
        const auto account = tlsAccount();
        if (!account)
            VARNEL_TLS_MISSING("no TLS account in the sandbox (VARNEL_DB_TLS_USER, VARNEL_DB_SSL_CA)");
        auto w = open(account->user, account->password);
        setEncryption(*w, "VERIFY_IDENTITY", account->ca);
        QCOMPARE(w->findChild<QPushButton *>(QStringLiteral("按钮加密"))->text(), QStringLiteral("加密✓"));
        w->connectAction();
        QVERIFY2(
            test::recordedCount(Prompts::Kind::Info) == 0, qPrintable(test::lastRecorded(Prompts::Kind::Info).text));
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        QVERIFY(!m_db->sslCipher().empty());
        if (account->cert.isEmpty() || account->key.isEmpty())
            return;
        // With the client's own certificate and key as well.
        w->connectAction();
        setEncryption(*w, "VERIFY_IDENTITY", account->ca, account->cert, account->key);
        w->connectAction();
        QVERIFY2(
            test::recordedCount(Prompts::Kind::Info) == 0, qPrintable(test::lastRecorded(Prompts::Kind::Info).text));
        QCOMPARE(text(*w, "按钮建立连接"), std::string("断开连接"));
        QVERIFY(!m_db->sslCipher().empty());
    }

    void aCaThatDidNotSignTheServerIsRefused()
    {
        const auto account = tlsAccount();
        if (!account || account->otherCa.isEmpty())
            VARNEL_TLS_MISSING("no TLS account in the sandbox (VARNEL_DB_TLS_USER, VARNEL_DB_SSL_OTHER_CA)");
        auto w = open(account->user, account->password);
        for (const char *mode : {"VERIFY_CA", "VERIFY_IDENTITY"}) {
            setEncryption(*w, mode, account->otherCa);
            const int shownBefore = test::recordedCount(Prompts::Kind::Info);
            w->connectAction();
            QCOMPARE(test::recordedCount(Prompts::Kind::Info), shownBefore + 1);
            const Prompts::Record shown = test::lastRecorded(Prompts::Kind::Info);
            QCOMPARE(shown.title, QStringLiteral("连接到MySQL失败"));
            QVERIFY2(shown.text.startsWith(QStringLiteral("加密连接失败（")), qPrintable(shown.text));
            QVERIFY2(
                shown.text.contains(QStringLiteral("请检查服务器证书是否由所给的 CA 签发")), qPrintable(shown.text));
            // The line above the text points at the encryption settings, and
            // the advice is about encryption, not ports and accounts.
            QVERIFY2(shown.prompt.contains(QStringLiteral("加密连接设置")), qPrintable(shown.prompt));
            QVERIFY2(shown.text.contains(QStringLiteral("have_ssl")), qPrintable(shown.text));
            QVERIFY2(!shown.text.contains(QStringLiteral("3306")), qPrintable(shown.text));
            QVERIFY2(!shown.text.contains(QStringLiteral("CREATE USER")), qPrintable(shown.text));
            QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
            QVERIFY(!m_db->isOpen());
        }
        test::saveScreenshot(test::lastRecorded(Prompts::Kind::Info), QStringLiteral("connect-failed-tls"));
    }
};

QTEST_MAIN(MainWindowTlsTest)
#include "MainWindowTlsTest.moc"
