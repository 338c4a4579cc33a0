#include "gui/TestProbe.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace varnel::gui {
namespace {

TestProbe *g_probe = nullptr;

} // namespace

QString TestProbe::oneLine(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return text;
}

namespace {

// The name a test knows a widget by: its object name, or for an unnamed
// button (a message box's) its caption.
QString widgetName(const QWidget *w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    if (const auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty())
        return QStringLiteral("button:") + QString(b->text()).remove(QLatin1Char('&'));
    return {};
}

// The nearest widget with a name, from the one an event reached.
QString namedAncestor(const QWidget *w)
{
    for (; w; w = w->parentWidget()) {
        const QString name = widgetName(w);
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("-");
}

QString shownText(const QWidget *w)
{
    if (const auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (const auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    // A password is listed as the screen shows it, never as typed.
    if (const auto *e = qobject_cast<const QLineEdit *>(w))
        return e->displayText();
    return {};
}

QString handleOnScreen(const QScrollBar *bar)
{
    const QWidget *window = bar->window();
    const QPoint at = bar->mapTo(window, QPoint(0, 0));
    const QImage image =
        window->screen()->grabWindow(window->winId(), at.x(), at.y(), bar->width(), bar->height()).toImage();
    const auto seen = TestProbe::handleSeen(image, bar->orientation());
    return seen ? QString::number(seen->start) + QLatin1Char(' ') + QString::number(seen->length)
                : QStringLiteral("- -");
}

// A scroll bar of a named list or text, as "<name>/垂直滚动条" or
// "<name>/水平滚动条", with "value minimum maximum" and where the screen shows
// its handle in the text field.
QString scrollBarLine(const QString &owner, const QScrollBar *bar)
{
    const QWidget *area = bar->parentWidget();
    while (area && !qobject_cast<const QAbstractScrollArea *>(area))
        area = area->parentWidget();
    if (!area || area->objectName().isEmpty())
        return {};
    const QPoint at = bar->mapToGlobal(QPoint(0, 0));
    return owner + QLatin1Char('\t') + area->objectName()
        + (bar->orientation() == Qt::Vertical ? QStringLiteral("/垂直滚动条") : QStringLiteral("/水平滚动条"))
        + QLatin1Char('\t') + QString::number(at.x()) + QLatin1Char('\t') + QString::number(at.y()) + QLatin1Char('\t')
        + QString::number(bar->width()) + QLatin1Char('\t') + QString::number(bar->height()) + QLatin1Char('\t')
        + (bar->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled")) + QLatin1Char('\t')
        + QString::number(bar->value()) + QLatin1Char(' ') + QString::number(bar->minimum()) + QLatin1Char(' ')
        + QString::number(bar->maximum()) + QLatin1Char(' ') + handleOnScreen(bar) + QLatin1Char('\n');
}

QString windowName(const QWidget *window)
{
    const QString name = window->objectName().isEmpty()
        ? QString::fromLatin1(window->metaObject()->className()).section(QStringLiteral("::"), -1)
        : window->objectName();
    return name + QLatin1Char('\t') + TestProbe::oneLine(window->windowTitle());
}

} // namespace

std::optional<TestProbe::SeenHandle> TestProbe::handleSeen(const QImage &bar, Qt::Orientation orientation)
{
    const bool vertical = orientation == Qt::Vertical;
    const int length = vertical ? bar.height() : bar.width();
    const int arrow = vertical ? bar.width() : bar.height();
    if (bar.isNull() || length <= 2 * arrow)
        return std::nullopt;
    auto lightness = [&](int i) {
        return QColor(vertical ? bar.pixel(bar.width() / 2, i) : bar.pixel(i, bar.height() / 2)).lightness();
    };
    int lightest = 0;
    for (int i = arrow; i < length - arrow; ++i)
        lightest = std::max(lightest, lightness(i));
    SeenHandle best{-1, 0};
    int runStart = -1;
    for (int i = arrow; i <= length - arrow; ++i) {
        const bool dark = i < length - arrow && lightness(i) < lightest - 25;
        if (dark && runStart < 0)
            runStart = i;
        if (!dark && runStart >= 0) {
            if (i - runStart > best.length)
                best = {runStart - arrow, i - runStart};
            runStart = -1;
        }
    }
    if (best.start < 0)
        return std::nullopt;
    return best;
}

TestProbe::TestProbe(QString folder)
    : m_folder(std::move(folder))
{
}

void TestProbe::installFromEnvironment()
{
    const QString folder = qEnvironmentVariable("VARNEL_TEST_PROBE");
    if (folder.isEmpty() || g_probe)
        return;
    QDir().mkpath(folder);
    g_probe = new TestProbe(folder);
    g_probe->setParent(qApp);
    qApp->installEventFilter(g_probe);
    note(QStringLiteral("started\t") + QString::number(QCoreApplication::applicationPid()));
}

void TestProbe::note(const QString &line)
{
    if (!g_probe)
        return;
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    QFile log(g_probe->m_folder + QStringLiteral("/events.log"));
    if (!log.open(QIODevice::Append | QIODevice::Text))
        return;
    log.write(QString::number(clock.elapsed()).toUtf8() + '\t' + line.toUtf8() + '\n');
}

bool TestProbe::eventFilter(QObject *watched, QEvent *event)
{
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w)
        return false;
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
        if (w->isWindow()) {
            note((event->type() == QEvent::Show ? QStringLiteral("shown\t") : QStringLiteral("hidden\t"))
                + windowName(w));
            scheduleWidgetList();
        }
        break;
    case QEvent::WindowActivate:
        if (w->isWindow())
            note(QStringLiteral("activated\t") + windowName(w));
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (w->isWindow())
            scheduleWidgetList();
        break;
    case QEvent::EnabledChange:
        // Connecting and disconnecting show here.
        if (!w->objectName().isEmpty())
            scheduleWidgetList();
        break;
    case QEvent::Wheel:
        // What a wheel or a click scrolled is listed after it.
        scheduleWidgetList();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        // An ignored event travels on to the parents: one line per event.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        static std::pair<int, quint64> last;
        if (last == std::pair<int, quint64>(event->type(), mouse->timestamp()))
            break;
        last = {event->type(), mouse->timestamp()};
        note((event->type() == QEvent::MouseButtonPress ? QStringLiteral("press\t") : QStringLiteral("release\t"))
            + namedAncestor(w) + QLatin1Char('\t') + QString::number(int(mouse->button())));
        if (event->type() == QEvent::MouseButtonRelease)
            scheduleWidgetList();
        break;
    }
    case QEvent::KeyPress: {
        static quint64 last = 0;
        if (static_cast<QKeyEvent *>(event)->timestamp() == last)
            break;
        last = static_cast<QKeyEvent *>(event)->timestamp();
        note(QStringLiteral("key\t") + namedAncestor(w) + QLatin1Char('\t')
            + QString::number(static_cast<QKeyEvent *>(event)->key(), 16));
        // What the key changed (a choice in a list fills the boxes) is
        // listed after it.
        scheduleWidgetList();
        break;
    }
    default:
        break;
    }
    return false;
}

void TestProbe::scheduleWidgetList()
{
    if (m_listPending)
        return;
    m_listPending = true;
    // After the event: a window being shown has its place only then.
    QTimer::singleShot(50, this, [this] {
        m_listPending = false;
        writeWidgetList();
    });
}

void TestProbe::writeWidgetList()
{
    QString text;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        const QString owner = windowName(window).section(QLatin1Char('\t'), 0, 0);
        // The window with the window manager's frame, as "窗口边框".
        const QRect frame = window->frameGeometry();
        text += owner + QStringLiteral("\t窗口边框\t") + QString::number(frame.x()) + QLatin1Char('\t')
            + QString::number(frame.y()) + QLatin1Char('\t') + QString::number(frame.width()) + QLatin1Char('\t')
            + QString::number(frame.height()) + QStringLiteral("\tenabled\t\n");
        QList<QWidget *> widgets{window};
        widgets += window->findChildren<QWidget *>();
        for (QWidget *w : widgets) {
            if (const auto *bar = qobject_cast<const QScrollBar *>(w); bar && bar->isVisible()) {
                text += scrollBarLine(owner, bar);
                continue;
            }
            const QString name = widgetName(w);
            if (name.isEmpty() || !w->isVisible())
                continue;
            const QPoint at = w->mapToGlobal(QPoint(0, 0));
            text += owner + QLatin1Char('\t') + TestProbe::oneLine(name) + QLatin1Char('\t') + QString::number(at.x())
                + QLatin1Char('\t') + QString::number(at.y()) + QLatin1Char('\t') + QString::number(w->width())
                + QLatin1Char('\t') + QString::number(w->height()) + QLatin1Char('\t')
                + (w->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled")) + QLatin1Char('\t')
                + TestProbe::oneLine(shownText(w)) + QLatin1Char('\n');
        }
    }
    QSaveFile file(m_folder + QStringLiteral("/widgets.txt"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        file.commit();
    }
    note(QStringLiteral("widgets"));
}

} // namespace varnel::gui
