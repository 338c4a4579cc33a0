// varnel: the desktop program.
#include "design/ConfigFile.h"
#include "gui/MainWindow.h"
#include "gui/QtText.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace varnel;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(gui::qs(kApplicationTitle));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
        QStringLiteral("Use FILE for the program's settings instead of the usual place."), QStringLiteral("FILE"));
    parser.addOption(settingsOption);
    parser.addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("A configuration (.ini) to load, as if dropped."));
    parser.process(app);

    std::filesystem::path settingsPath = parser.isSet(settingsOption)
        ? std::filesystem::path(gui::u8(parser.value(settingsOption)))
        : settingsFilePath(gui::u8(QCoreApplication::applicationDirPath()));
    SettingsStore settings;
    settings.open(settingsPath);

    gui::MainWindow window(settings, MySqlConnection::shared());
    window.show();

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
