#pragma once

#include <QCommandLineOption>
#include <QList>

#include <functional>
#include <optional>

class QCommandLineParser;

namespace varnel::gui {
class MainWindow;
}

namespace varnel::app {

// What a program built on varnel's startup adds to it: options of its own,
// something done before the main window is made, and an end of its own once
// the window is shown. varnel itself adds nothing.
struct ProgramExtras {
    QList<QCommandLineOption> options;
    std::function<void()> beforeWindow;
    // A status ends the program there (the window closed and the settings
    // saved as at any end); none runs the window's loop as usual.
    std::function<std::optional<int>(const QCommandLineParser &, gui::MainWindow &)> afterShow;
};

// varnel's startup: --help and --version (answered without a display), the
// configuration given on the command line, the settings, the main window
// with the --set values, and the window's loop.
int runProgram(int argc, char *argv[], const ProgramExtras &extras = {});

} // namespace varnel::app
