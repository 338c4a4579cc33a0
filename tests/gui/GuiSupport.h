#pragma once

#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "mysql/MySqlConnection.h"
#include "support/TestDatabases.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTest>
#include <QWidget>

#include <cstdlib>
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

// Saves a picture of the widget when VARNEL_SCREENSHOT_DIR is set.
inline void saveScreenshot(QWidget &w, const QString &name)
{
    const char *dir = std::getenv("VARNEL_SCREENSHOT_DIR");
    if (!dir || !*dir)
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    const char *scale = std::getenv("QT_SCALE_FACTOR");
    const QString suffix = QStringLiteral("-x") + (scale && *scale ? QString::fromLocal8Bit(scale) : QStringLiteral("1"));
    w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + suffix + QStringLiteral(".png"));
}

} // namespace varnel::test
