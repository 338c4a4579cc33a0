#include "gui/QtTransferHost.h"

#include "form/Control.h"
#include "gui/Prompts.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"
#include "text/TextUtil.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace varnel::gui {
namespace {

std::function<void(const std::string &)> &captionObserver()
{
    static std::function<void(const std::string &)> observer;
    return observer;
}

} // namespace

QtTransferHost::QtTransferHost(QWidget *window, QtForm &form, QString title)
    : m_window(window)
    , m_form(form)
    , m_title(std::move(title))
{
    m_captionTimer.setSingleShot(true);
    QObject::connect(&m_captionTimer, &QTimer::timeout, [this] { showPendingCaption(); });
}

void QtTransferHost::showMessage(std::string_view text, std::string_view caption, MessageIcon icon)
{
    Prompts::message(m_window, qs(text), qs(caption), icon);
}

bool QtTransferHost::askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon)
{
    return Prompts::okCancel(m_window, qs(text), qs(caption), icon);
}

void QtTransferHost::processEvents()
{
    QCoreApplication::processEvents();
}

bool QtTransferHost::ctrlHeld()
{
    return Prompts::ctrlHeld();
}

void QtTransferHost::setButtonCaption(Control &button, std::string_view caption)
{
    button.setText(caption);
    if (captionObserver())
        captionObserver()(std::string(caption));
}

// The caption names the file in hand, which changes thousands of times a
// second. Every change is a property the window manager reads and draws: a
// manager flooded so falls seconds behind, and while it works through the
// backlog it holds back the clicks it grabs (a stop never arrives) and the
// windows it maps (the final message stays hidden). So the caption follows
// the run a few times a second, the last one shown when the pause is over.
void QtTransferHost::setWindowCaption(std::string_view caption)
{
    if (!m_window)
        return;
    m_pendingCaption = qs(caption);
    if (m_captionTimer.isActive())
        return;
    if (!m_captionClock.isValid() || m_captionClock.elapsed() >= kCaptionInterval.count()) {
        showPendingCaption();
        return;
    }
    m_captionTimer.start(std::chrono::milliseconds(kCaptionInterval.count() - m_captionClock.elapsed()));
}

void QtTransferHost::showPendingCaption()
{
    if (m_window && !m_pendingCaption.isNull())
        m_window->setWindowTitle(m_pendingCaption);
    m_pendingCaption = QString();
    m_captionClock.start();
}

void QtTransferHost::restoreWindowCaption()
{
    m_captionTimer.stop();
    m_pendingCaption = QString();
    if (m_window)
        m_window->setWindowTitle(m_title);
}

void QtTransferHost::focus(std::string_view controlName)
{
    // An action that lost its server points at nothing the user typed.
    if (Prompts::muted())
        return;
    QWidget *w = m_form.widget(controlName);
    if (!w)
        return;
    if (QWidget *top = w->window()) {
        top->activateWindow();
        top->raise();
    }
    w->setFocus(Qt::OtherFocusReason);
}

void QtTransferHost::reportFailures(std::string_view title, const std::vector<TransferFailure> &failures)
{
    if (failures.empty())
        return;
    if (m_failures.isEmpty())
        m_failureTitle = qs(title);
    else
        m_failures += QStringLiteral("\r\n");
    m_failures += qs(title) + QStringLiteral("：\r\n");
    for (const TransferFailure &f : failures)
        m_failures += qs(escapedName(f.item)) + QStringLiteral("\r\n    ") + qs(f.reason) + QStringLiteral("\r\n");
}

void QtTransferHost::showDetail(std::string_view reason)
{
    if (!reason.empty())
        Prompts::message(m_window, qs(reason), qs(kDefaultCaption), MessageIcon::None);
}

void QtTransferHost::notice(std::string_view text)
{
    if (!text.empty())
        m_notices << qs(text);
}

std::pair<QString, QString> QtTransferHost::takeFailureReport()
{
    // What the run wanted known (a move to another server, a key without a
    // unique index) follows the lists, or stands alone after a run without
    // failures.
    QString title = std::exchange(m_failureTitle, QString()), text = std::exchange(m_failures, QString());
    const QStringList notices = std::exchange(m_notices, QStringList());
    if (!notices.isEmpty()) {
        if (title.isEmpty())
            title = QStringLiteral("运行中的提示");
        else
            text += QStringLiteral("\r\n");
        text += QStringLiteral("运行中的提示：\r\n") + notices.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    }
    return {title, text};
}

void QtTransferHost::setCaptionObserver(std::function<void(const std::string &)> observer)
{
    captionObserver() = std::move(observer);
}

} // namespace varnel::gui
