// varnel-testbed: varnel with what the checkout's scripts and tests need and
// a user never does. It is built beside varnel and never installed.
//   --demo-import [--screenshot FILE]  the headless demo of scripts/run and
//                                      the main window's picture of
//                                      scripts/screenshots
//   VARNEL_TEST_PROBE=FOLDER           the probe the desktop tests read
#include "app/Program.h"

#include "gui/MainWindow.h"
#include "gui/Prompts.h"
#include "gui/TestProbe.h"
#include "mysql/MySqlConnection.h"

#include <QCommandLineParser>

#include <cstdio>

using namespace varnel;

namespace {

// Connects, imports the article folder into the emptied table (Ctrl held,
// the question answered OK), prints what the window said, saves a picture of
// the window.
int demoImport(gui::MainWindow &window, const QString &screenshot)
{
    gui::Prompts::setScripted(true);
    gui::Prompts::queueCtrl(true);
    gui::Prompts::queueAnswer(true);
    window.connectAction();
    if (window.runActive() || !MySqlConnection::shared().isOpen()) {
        std::fprintf(
            stderr, "varnel-testbed: could not connect: %s\n", MySqlConnection::shared().connectError().c_str());
        return 1;
    }
    window.importPressed(false);
    for (const QString &text : gui::Prompts::messages())
        std::printf("%s\n", text.toUtf8().constData());
    if (!screenshot.isEmpty() && !window.grab().save(screenshot)) {
        std::fprintf(stderr, "varnel-testbed: could not save %s\n", screenshot.toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QCommandLineOption demo{QStringLiteral("demo-import"),
        QStringLiteral("Connect, import the article folder into the emptied table, print the messages and quit.")};
    const QCommandLineOption screenshot{QStringLiteral("screenshot"),
        QStringLiteral("With --demo-import: save a picture of the window to FILE."), QStringLiteral("FILE")};
    app::ProgramExtras extras;
    extras.options = {demo, screenshot};
    extras.beforeWindow = [] { gui::TestProbe::installFromEnvironment(); };
    extras.afterShow = [&](const QCommandLineParser &parser, gui::MainWindow &window) -> std::optional<int> {
        if (!parser.isSet(demo))
            return std::nullopt;
        return demoImport(window, parser.value(screenshot));
    };
    return app::runProgram(argc, argv, extras);
}
