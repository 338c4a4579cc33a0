#pragma once

#include "gui/PasswordKeyring.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/ScrollBarStyle.h"
#include "gui/TextInputDialog.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"
#include "support/TestDatabases.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace varnel::test {

// The sandbox server, from scripts/mysql-sandbox env; empty server when none.
struct GuiSandbox {
    std::string server, user, password;
    bool available = false;
};

inline GuiSandbox guiSandbox()
{
    auto env = [](const char *name) {
        const char *v = std::getenv(name);
        return std::string(v ? v : "");
    };
    GuiSandbox s;
    const std::string host = env("VARNEL_DB_HOST");
    s.available = !host.empty();
    s.server = host + ":" + (env("VARNEL_DB_PORT").empty() ? std::string("3406") : env("VARNEL_DB_PORT"));
    s.user = env("VARNEL_DB_USER").empty() ? "root" : env("VARNEL_DB_USER");
    s.password = env("VARNEL_DB_PASSWORD");
    return s;
}

inline bool guiInCi()
{
    const char *ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Outside CI a test that needs the server skips without one; in CI that is a
// failure.
#define VARNEL_GUI_REQUIRE_SANDBOX(s)                                                                                  \
    do {                                                                                                               \
        if (!(s).available) {                                                                                          \
            if (::varnel::test::guiInCi())                                                                             \
                QFAIL("no sandbox database: run the tests through scripts/test");                                      \
            QSKIP("no sandbox database; run through scripts/test");                                                    \
        }                                                                                                              \
    } while (0)

// Drops a window test's database and those named after it, also when the
// test's connection was closed or killed.
inline bool dropGuiTestDatabases(MySqlConnection &admin, const GuiSandbox &s, const std::string &name)
{
    return !s.available || dropTestDatabases(admin, s.server, s.user, s.password, name);
}

// What a window test works on: a settings file of its own in a fresh
// folder, and a connection of its own.
inline void openTestFiles(
    std::unique_ptr<QTemporaryDir> &dir, std::unique_ptr<SettingsStore> &settings, std::unique_ptr<MySqlConnection> &db)
{
    dir = std::make_unique<QTemporaryDir>();
    settings = std::make_unique<SettingsStore>();
    settings->open(dir->filePath(QStringLiteral("settings.ini")).toStdString());
    db = std::make_unique<MySqlConnection>();
}

// Closes them again, the connection first and the folder last.
inline void closeTestFiles(
    std::unique_ptr<QTemporaryDir> &dir, std::unique_ptr<SettingsStore> &settings, std::unique_ptr<MySqlConnection> &db)
{
    db.reset();
    settings.reset();
    dir.reset();
}

// Every window test talks to the user through scripted prompts: its init()
// starts with this, and its cleanup() ends with verifyPromptsUsed().
inline void scriptPrompts()
{
    // A keyring the tests meet is never the user's own entries.
    gui::PasswordKeyring::setServiceName(QStringLiteral("Varnel tests"));
    gui::Prompts::clear();
    gui::Prompts::setScripted(true);
}

// An answer the test scripted and the window never asked for means the
// window did not ask what the test thought: the test fails. (A test that
// failed already has more to say than its leftovers.)
inline void verifyPromptsUsed()
{
    const QStringList unused = gui::Prompts::takeUnused();
    gui::Prompts::clear();
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(unused.isEmpty(), qPrintable(QStringLiteral("scripted answers never asked for: ") + unused.join(u'|')));
}

// The prompts of one kind recorded so far, and the last of them (a record
// of no kind's texts when there is none).
inline int recordedCount(gui::Prompts::Kind kind)
{
    const auto &records = gui::Prompts::records();
    return static_cast<int>(std::count_if(
        records.begin(), records.end(), [kind](const gui::Prompts::Record &r) { return r.kind == kind; }));
}

inline gui::Prompts::Record lastRecorded(gui::Prompts::Kind kind)
{
    const auto &records = gui::Prompts::records();
    const auto found = std::find_if(
        records.rbegin(), records.rend(), [kind](const gui::Prompts::Record &r) { return r.kind == kind; });
    return found == records.rend() ? gui::Prompts::Record{.kind = kind} : *found;
}

// Saves a picture of the widget when VARNEL_SCREENSHOT_DIR is set.
inline void saveScreenshot(QWidget &w, const QString &name)
{
    const char *dir = std::getenv("VARNEL_SCREENSHOT_DIR");
    if (!dir || !*dir)
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    // Drawn as the program draws itself.
    if (!dynamic_cast<gui::ScrollBarStyle *>(QApplication::style()))
        gui::useReadableScrollBars();
    const char *scale = std::getenv("QT_SCALE_FACTOR");
    const QString suffix =
        QStringLiteral("-x") + (scale && *scale ? QString::fromLocal8Bit(scale) : QStringLiteral("1"));
    w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + suffix + QStringLiteral(".png"));
}

// Saves a picture of the text dialog a window asked for (a scripted Text or
// Info record), as it shows it, when VARNEL_SCREENSHOT_DIR is set; the
// window that asked (the dialog's owner) must still be there.
inline void saveScreenshot(const gui::Prompts::Record &shown, const QString &name)
{
    const char *dir = std::getenv("VARNEL_SCREENSHOT_DIR");
    if (!dir || !*dir)
        return;
    gui::TextInputDialog d(shown.dialog);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    saveScreenshot(d, name);
}

} // namespace varnel::test
