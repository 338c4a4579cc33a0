#include "gui/WindowPlace.h"

#include "gui/QtText.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace varnel::gui {
namespace {

// Farther than any desktop reaches: such a number is damage, and keeping it
// out also keeps QRect's arithmetic in range.
constexpr int kFarthest = 1 << 20;

qint64 overlap(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    }
    return areas;
}

} // namespace

namespace {

// The inner rectangle moved so that its frame is inside the area; a frame
// larger than the area keeps its top left corner there.
QRect movedInside(QRect inner, const QMargins &frame, const QRect &area)
{
    const QRect outer = inner.marginsAdded(frame);
    const int dx = outer.right() > area.right() ? area.right() - outer.right() : 0;
    const int dy = outer.bottom() > area.bottom() ? area.bottom() - outer.bottom() : 0;
    inner.translate(dx, dy);
    inner.translate(std::max(0, area.left() - (inner.left() - frame.left())),
        std::max(0, area.top() - (inner.top() - frame.top())));
    return inner;
}

// No part of the rectangle is off the screens (which do not overlap).
bool whollyShown(const QRect &outer, const QList<QRect> &screens)
{
    qint64 shown = 0;
    for (const QRect &s : screens)
        shown += overlap(outer, s);
    return shown >= qint64(outer.width()) * outer.height();
}

// The frame's room: the area less the margins.
QSize innerRoom(const QRect &area, const QMargins &frame)
{
    return area.marginsRemoved(frame).size();
}

} // namespace

std::optional<WindowPlace> windowPlaceFor(
    const QString &text, QSize minimum, const QList<QRect> &screens, const QMargins &frame)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4 || screens.isEmpty())
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[i] < -kFarthest || v[i] > kFarthest)
            return std::nullopt;
    }
    // Smaller than the window can be: not a size of ours.
    if (v[2] <= 0 || v[3] <= 0 || v[2] < minimum.width() || v[3] < minimum.height())
        return std::nullopt;
    WindowPlace place{QRect(v[0], v[1], v[2], v[3])};

    // The screen that shows most of it; none: the primary one.
    const QRect *area = &screens.front();
    qint64 best = 0;
    for (const QRect &s : screens) {
        if (const qint64 o = overlap(place.rect.marginsAdded(frame), s); o > best) {
            best = o;
            area = &s;
        }
    }
    // Off every screen: the window manager places it where a new window
    // goes. Wholly on the screens (across two, say) it stays as it was.
    // Otherwise it is cut to its screen and moved in so that no part of its
    // frame is off it.
    place.positioned = best > 0;
    if (whollyShown(place.rect.marginsAdded(frame), screens))
        return place;
    place.rect.setSize(place.rect.size().boundedTo(innerRoom(*area, frame)).expandedTo(minimum));
    if (place.positioned)
        place.rect = movedInside(place.rect, frame, *area);
    return place;
}

QRect placeBeside(
    QSize size, const QMargins &frame, const QRect &anchorFrame, const QRect &area, const QRect &keepClear)
{
    constexpr int kGap = 8;
    size = size.boundedTo(innerRoom(area, frame));
    const QSize outer = size.grownBy(frame);
    // Right of it, left of it, below it, above it: the first where the
    // whole frame fits, level with the anchor's edge, and covers nothing of
    // `keepClear`; else the first where it fits.
    const QPoint tries[] = {
        {anchorFrame.right() + 1 + kGap, anchorFrame.top()},
        {anchorFrame.left() - kGap - outer.width(), anchorFrame.top()},
        {anchorFrame.left(), anchorFrame.bottom() + 1 + kGap},
        {anchorFrame.left(), anchorFrame.top() - kGap - outer.height()},
    };
    std::optional<QRect> firstFit;
    for (const QPoint &at : tries) {
        QRect candidate(at, outer);
        // Level with the anchor, but sliding along it to stay on the screen.
        const bool sideways = at.y() == anchorFrame.top();
        if (sideways ? candidate.left() < area.left() || candidate.right() > area.right()
                     : candidate.top() < area.top() || candidate.bottom() > area.bottom())
            continue;
        const QRect placed = movedInside(candidate.marginsRemoved(frame), frame, area);
        if (keepClear.isNull() || !placed.marginsAdded(frame).intersects(keepClear))
            return placed;
        if (!firstFit)
            firstFit = placed;
    }
    if (firstFit)
        return *firstFit;
    QRect inner(QPoint(), size);
    inner.moveCenter(anchorFrame.center());
    return movedInside(inner, frame, area);
}

namespace {

// What the window manager adds around a window that is shown: its border
// and title. None before it is shown, and none offscreen.
QMargins frameMarginsOf(const QWidget &w)
{
    const QRect f = w.frameGeometry(), g = w.geometry();
    const QMargins m(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    return m.left() < 0 || m.top() < 0 || m.right() < 0 || m.bottom() < 0 ? QMargins() : m;
}

// The main window on the screen, when the window is another one.
const QWidget *visibleMainWindow(const QWidget &window)
{
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        if (w != &window && w->objectName() == QLatin1String("MainWindow") && w->isVisible())
            return w;
    }
    return nullptr;
}

QRect areaOf(const QWidget &w)
{
    const QScreen *screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Once the window manager has framed the window, its frame is known for
// sure (before, only guessed from the main window's): a frame reaching past
// the screen's edge moves the window in. Once, after the first show.
class FrameKeeper : public QObject {
public:
    explicit FrameKeeper(QWidget &window)
        : QObject(&window)
        , m_window(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && event->type() == QEvent::Show && !m_scheduled) {
            m_scheduled = true;
            // The frame's size reaches the program a moment after the map.
            QTimer::singleShot(kFramedAfterMs, this, [this] { keep(); });
        }
        return false;
    }

private:
    static constexpr int kFramedAfterMs = 300;

    void keep()
    {
        const QMargins frame = frameMarginsOf(m_window);
        const QRect area = areaOf(m_window);
        if (!frame.isNull() && !area.isEmpty() && !m_window.isMaximized() && !m_window.isFullScreen()
            && !whollyShown(m_window.frameGeometry(), availableAreas())) {
            const QSize least = m_window.minimumSizeHint().expandedTo(m_window.minimumSize());
            QRect inner = m_window.geometry();
            inner.setSize(inner.size().boundedTo(innerRoom(area, frame)).expandedTo(least));
            m_window.setGeometry(movedInside(inner, frame, area));
        }
        m_window.removeEventFilter(this);
        deleteLater();
    }

    QWidget &m_window;
    bool m_scheduled = false;
};

} // namespace

void restoreWindowPlace(QWidget &window, SettingsStore &store, std::string_view section)
{
    store.setSection(section);
    const QString text = qs(store.readText(kWindowPlaceKey));
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    // The other windows get the frame the main window has, and a first
    // opening goes beside the window that opened it (or the main window).
    const QWidget *main = visibleMainWindow(window);
    const QMargins frame = main ? frameMarginsOf(*main) : QMargins();
    const QWidget *opener = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    if (!opener || !opener->isVisible())
        opener = main;
    const auto place = windowPlaceFor(text, minimum, availableAreas(), frame);
    if (place && place->positioned) {
        window.setGeometry(place->rect);
    } else {
        if (place)
            window.resize(place->rect.size());
        if (opener)
            // A window opened from another one leaves the main window clear
            // where it can.
            window.setGeometry(placeBeside(window.size(), frame, opener->frameGeometry(), areaOf(*opener),
                main && main != opener ? main->frameGeometry() : QRect()));
    }
    new FrameKeeper(window);
}

void saveWindowPlace(const QWidget &window, SettingsStore &store, std::string_view section)
{
    // A window never shown has no place of its own.
    if (!window.isVisible())
        return;
    // A maximized window keeps the place it returns to.
    const QRect r = window.normalGeometry();
    store.setSection(section);
    store.writeText(
        kWindowPlaceKey, u8(QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
}

} // namespace varnel::gui
