#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <optional>
#include <string_view>

class QWidget;

namespace varnel {
class SettingsStore;
} // namespace varnel

namespace varnel::gui {

// Where a window was left, kept in its own section as "x,y,width,height".
// No control name looks like it (those begin with their kind).
inline constexpr std::string_view kWindowPlaceKey = "窗口位置";

// The place for a saved text on screens with these available areas (the
// primary one first), for a window whose frame (the window manager's border
// and title) has these margins. Nothing when the text is not a size the
// window can take: the window keeps its design size. A rectangle larger than
// its screen is cut to it, frame counted; one that reaches past the screen's
// edge is moved inside it, frame and all. A rectangle off every screen keeps
// its size but not its position (`positioned` false): the window is placed
// as a new one is.
struct WindowPlace {
    QRect rect;
    bool positioned = true;
};
std::optional<WindowPlace> windowPlaceFor(
    const QString &text, QSize minimum, const QList<QRect> &screens, const QMargins &frame = {});

// Where a window opened for the first time goes, as its inner rectangle:
// beside the window that opened it (its frame): right of it, else left,
// below or above it, wherever the whole frame fits the area first; else
// centred on it. A place that covers none of `keepClear` (the main window,
// when another window opens this one) comes before one that does. Always
// inside the area as far as its size allows.
QRect placeBeside(
    QSize size, const QMargins &frame, const QRect &anchorFrame, const QRect &area, const QRect &keepClear = {});

// Called when the window is made (after its design size is set) and when it
// closes.
void restoreWindowPlace(QWidget &window, SettingsStore &store, std::string_view section);
void saveWindowPlace(const QWidget &window, SettingsStore &store, std::string_view section);

} // namespace varnel::gui
