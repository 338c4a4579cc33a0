// varnel: the desktop program.
#include "design/ConfigFile.h"
#include "design/ControlValues.h"
#include "gui/MainWindow.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "gui/QtTransferHost.h"
#include "gui/TestProbe.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>

using namespace varnel;

namespace {

// The demo run of scripts/run on a machine without a display: connect,
// import the article folder into an emptied table, print what the window
// would have said, save a picture of the window and quit.
int demoImport(gui::MainWindow &window, const QString &screenshot)
{
    gui::Prompts::setScripted(true);
    gui::Prompts::queueAnswer(true); // the clearing question
    gui::QtTransferHost::setCtrlHook([] { return true; });
    window.connectAction();
    if (window.runActive() || !MySqlConnection::shared().isOpen()) {
        std::fprintf(stderr, "varnel: could not connect: %s\n", MySqlConnection::shared().connectError().c_str());
        return 1;
    }
    window.importPressed(false);
    gui::QtTransferHost::setCtrlHook({});
    for (const QString &text : gui::Prompts::messages())
        std::printf("%s\n", text.toUtf8().constData());
    if (!screenshot.isEmpty() && !window.grab().save(screenshot)) {
        std::fprintf(stderr, "varnel: could not save %s\n", screenshot.toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));
    // The desktop entry and the icon an installed program has: the window
    // manager matches the window to its entry, and the window shows the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VARNEL_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("varnel")));

    QCommandLineParser parser;
    parser.setApplicationDescription(gui::qs(kApplicationTitle));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
        QStringLiteral("Use FILE for the program's settings instead of the usual place."), QStringLiteral("FILE"));
    const QCommandLineOption setOption(QStringLiteral("set"),
        QStringLiteral("Set a control of the main window by its name after the settings are loaded."),
        QStringLiteral("NAME=VALUE"));
    const QCommandLineOption demoOption(QStringLiteral("demo-import"),
        QStringLiteral("Connect, import the article folder into the emptied table, print the messages and quit."));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
        QStringLiteral("With --demo-import: save a picture of the window to FILE."), QStringLiteral("FILE"));
    parser.addOptions({settingsOption, setOption, demoOption, screenshotOption});
    parser.addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("A configuration (.ini) to load, as if dropped on the window."));
    parser.process(app);

    const std::filesystem::path settingsPath = parser.isSet(settingsOption)
        ? std::filesystem::path(gui::u8(parser.value(settingsOption)))
        : settingsFilePath(gui::u8(QCoreApplication::applicationDirPath()));
    SettingsStore settings;
    settings.open(settingsPath);

    gui::TestProbe::installFromEnvironment();
    gui::MainWindow window(settings, MySqlConnection::shared());
    for (const QString &assignment : parser.values(setOption)) {
        const auto eq = assignment.indexOf(QLatin1Char('='));
        std::string error;
        if (eq <= 0
            || !applySetting(window.form(), gui::u8(assignment.left(eq)), gui::u8(assignment.mid(eq + 1)), error)) {
            std::fprintf(stderr, "varnel: --set %s: %s\n", assignment.toUtf8().constData(),
                error.empty() ? "takes NAME=VALUE" : error.c_str());
            return 2;
        }
    }
    window.show();

    if (parser.isSet(demoOption)) {
        const int status = demoImport(window, parser.value(screenshotOption));
        window.close();
        MySqlConnection::shared().disconnect();
        settings.close();
        return status;
    }

    // A configuration given on the command line loads as a dropped one;
    // anything else there is ignored.
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty() && QFileInfo(files.front()).isFile() && isConfigFileName(gui::u8(files.front())))
        QTimer::singleShot(0, &window, [&window, f = files.front()] { window.dropPaths({f}); });

    const int status = app.exec();
    MySqlConnection::shared().disconnect();
    settings.close();
    return status;
}
