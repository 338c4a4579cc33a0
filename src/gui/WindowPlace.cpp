#include "gui/WindowPlace.h"

#include "gui/QtText.h"
#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
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

std::optional<WindowPlace> windowPlaceFor(const QString &text, QSize minimum, const QList<QRect> &screens)
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
        if (const qint64 o = overlap(place.rect, s); o > best) {
            best = o;
            area = &s;
        }
    }
    const QSize fitted = place.rect.size().boundedTo(area->size()).expandedTo(minimum);
    // Off every screen, or cut to one: the window manager places it, frame
    // and all, where a new window goes.
    place.positioned = best > 0 && fitted == place.rect.size();
    place.rect.setSize(fitted);
    return place;
}

void restoreWindowPlace(QWidget &window, SettingsStore &store, std::string_view section)
{
    store.setSection(section);
    const QString text = qs(store.readText(kWindowPlaceKey));
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    const auto place = windowPlaceFor(text, minimum, availableAreas());
    if (!place)
        return;
    if (place->positioned)
        window.setGeometry(place->rect);
    else
        window.resize(place->rect.size());
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
