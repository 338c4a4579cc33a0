#include "app/Program.h"

#include "design/ConfigFile.h"
#include "design/ControlValues.h"
#include "gui/MainWindow.h"
#include "gui/QtText.h"
#include "gui/ScrollBarStyle.h"
#include "gui/Translations.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"
#include "util/RegularFile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <string_view>

namespace varnel::app {
namespace {

// The program's options, for the window and for --help and --version, which
// work without a display.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption settings{QStringLiteral("settings"),
        QStringLiteral("Use FILE for the program's settings instead of the usual place."), QStringLiteral("FILE")};
    QCommandLineOption set{QStringLiteral("set"),
        QStringLiteral("Set a control of the main window by its name after the settings are loaded."),
        QStringLiteral("NAME=VALUE")};

    explicit Options(const QList<QCommandLineOption> &extra)
    {
        parser.setApplicationDescription(gui::qs(kApplicationTitle));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({settings, set});
        parser.addOptions(extra);
        parser.addPositionalArgument(
            QStringLiteral("file"), QStringLiteral("A configuration (.ini) to load, as if dropped on the window."));
    }
};

bool asksOnlyForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--")
            break;
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v" || a == "--version")
            return true;
    }
    return false;
}

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("varnel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));
}

} // namespace

int runProgram(int argc, char *argv[], const ProgramExtras &extras)
{
    if (asksOnlyForText(argc, argv)) {
        // No window is made, so no display is needed.
        QCoreApplication app(argc, argv);
        describeApplication();
        Options options(extras.options);
        options.parser.process(app);
        return 0;
    }

    QApplication app(argc, argv);
    describeApplication();
    gui::loadChineseTranslations(app);
    gui::useReadableScrollBars();
    // The desktop entry and the icon an installed program has: the window
    // manager matches the window to its entry, and the window shows the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VARNEL_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("varnel")));

    Options options(extras.options);
    QCommandLineParser &parser = options.parser;
    const QCommandLineOption &settingsOption = options.settings;
    const QCommandLineOption &setOption = options.set;
    parser.process(app);

    // A configuration given here whose mapping rows cannot be read is refused
    // before a window opens: loaded, it would run on the default rows.
    const QStringList files = parser.positionalArguments();
    const bool configGiven =
        !files.isEmpty() && QFileInfo(files.front()).isFile() && isConfigFileName(gui::u8(files.front()));
    if (configGiven) {
        SettingsStore config;
        config.openReadOnly(gui::u8(files.front()));
        if (const auto problem = unreadableMainRows(config)) {
            std::fprintf(stderr, "varnel: cannot read the configuration %s: %s\n", files.front().toUtf8().constData(),
                problem->c_str());
            return 2;
        }
    }

    const std::filesystem::path settingsPath = parser.isSet(settingsOption)
        ? std::filesystem::path(gui::u8(parser.value(settingsOption)))
        : settingsFilePath(gui::u8(QCoreApplication::applicationDirPath()));
    // A FIFO or a device would leave the window on defaults it cannot keep.
    if (isSpecialFile(settingsPath)) {
        std::fprintf(stderr, "varnel: %s\n", notRegularFileText(settingsPath).c_str());
        return 2;
    }
    SettingsStore settings;
    settings.open(settingsPath);

    if (extras.beforeWindow)
        extras.beforeWindow();
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

    if (const std::optional<int> status = extras.afterShow ? extras.afterShow(parser, window) : std::nullopt) {
        window.close();
        MySqlConnection::shared().disconnect();
        settings.close();
        return *status;
    }

    // A configuration given on the command line loads as a dropped one;
    // anything else there is ignored.
    if (configGiven)
        QTimer::singleShot(0, &window, [&window, f = files.front()] { window.dropPaths({f}); });

    const int status = app.exec();
    MySqlConnection::shared().disconnect();
    settings.close();
    return status;
}

} // namespace varnel::app
