#pragma once

#include <QList>
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
// primary one first). Nothing when the text is not a size the window can
// take: the window keeps its design size. A rectangle off every screen, or
// larger than its screen and cut to it, keeps its size but not its position
// (`positioned` false): the window is placed as a new one is.
struct WindowPlace {
    QRect rect;
    bool positioned = true;
};
std::optional<WindowPlace> windowPlaceFor(const QString &text, QSize minimum, const QList<QRect> &screens);

// Called when the window is made (after its design size is set) and when it
// closes.
void restoreWindowPlace(QWidget &window, SettingsStore &store, std::string_view section);
void saveWindowPlace(const QWidget &window, SettingsStore &store, std::string_view section);

} // namespace varnel::gui
