#include "gui/TestProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

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

QString windowName(const QWidget *window)
{
    const QString name = window->objectName().isEmpty()
        ? QString::fromLatin1(window->metaObject()->className()).section(QStringLiteral("::"), -1)
        : window->objectName();
    return name + QLatin1Char('\t') + TestProbe::oneLine(window->windowTitle());
}

} // namespace

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
