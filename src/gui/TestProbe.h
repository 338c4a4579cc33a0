#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QImage;
class QWidget;

namespace varnel::gui {

// What a test driving the real program from outside (an X server, a window
// manager, synthetic input) needs to see of it, switched on by the
// environment variable VARNEL_TEST_PROBE naming a folder:
// - events.log: one line per event, appended as it happens: windows shown
//   and hidden, mouse presses and releases with the named widget they reached,
//   message boxes with their title and text, the answers given, the end of a
//   run;
// - widgets.txt: every visible named widget of every shown window with its
//   place on the screen, whether it is enabled and its text, rewritten when
//   a window is shown, moved or resized, a named widget is enabled or
//   disabled, or after a key, a mouse release or a wheel turn. The scroll
//   bars of named lists and texts are listed too, with their value, range
//   and where the screen shows their handle.
// The probe only reads; it never acts on the program.
class TestProbe : public QObject {
    Q_OBJECT
public:
    // Installs the probe on the application when the variable is set.
    static void installFromEnvironment();
    // Appends one line to events.log (nothing when no probe is installed).
    static void note(const QString &line);
    // A text as one field of a line: backslash, CR, LF and TAB escaped.
    static QString oneLine(QString text);

    // Where a picture of a scroll bar, as the screen shows it, has the handle:
    // along its middle line, between the arrows, the longest run of pixels
    // clearly darker than the lightest there, from the end of the first
    // arrow. None where no such run shows.
    struct SeenHandle {
        int start = 0;
        int length = 0;
    };
    static std::optional<SeenHandle> handleSeen(const QImage &bar, Qt::Orientation orientation);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TestProbe(QString folder);
    void scheduleWidgetList();
    void writeWidgetList();

    QString m_folder;
    bool m_listPending = false;
};

} // namespace varnel::gui
