#pragma once

#include "transfer/TransferHost.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace varnel::gui {

class QtForm;

// The engines' host on a window: messages and questions as boxes owned by
// it, progress on the start button and in the window caption, events pumped
// through the application, Ctrl read from the keyboard when asked (through
// Prompts, which tests script).
class QtTransferHost : public TransferHost {
public:
    QtTransferHost(QWidget *window, QtForm &form, QString title);

    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void processEvents() override;
    bool ctrlHeld() override;
    void setButtonCaption(Control &button, std::string_view caption) override;
    void setWindowCaption(std::string_view caption) override;
    void restoreWindowCaption() override;
    void focus(std::string_view controlName) override;
    void reportFailures(std::string_view title, const std::vector<TransferFailure> &failures) override;
    void showDetail(std::string_view reason) override;
    // Kept for the report after the run, under its own heading.
    void notice(std::string_view text) override;

    // The failure lists of the last run and its notices, as one text under
    // the title of its first list (both empty when none), taken once.
    std::pair<QString, QString> takeFailureReport();

    // Tests see every caption a run gives its button.
    static void setCaptionObserver(std::function<void(const std::string &)> observer);

    // How often the window caption may follow a run.
    static constexpr std::chrono::milliseconds kCaptionInterval{250};

private:
    void showPendingCaption();

    QPointer<QWidget> m_window;
    QtForm &m_form;
    QString m_title;
    QString m_failureTitle;
    QString m_failures;
    QStringList m_notices;
    QString m_pendingCaption;
    QElapsedTimer m_captionClock;
    QTimer m_captionTimer;
};

} // namespace varnel::gui
