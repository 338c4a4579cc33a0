#pragma once

#include "transfer/TransferHost.h"

#include <csignal>
#include <functional>
#include <string>
#include <vector>

namespace varnel::cli {

// The command line as the host of a run: messages are kept for the caller to
// print, progress goes to stderr, Ctrl is --clear and its question is
// answered yes, an interrupt (Ctrl+C) asks the run to stop.
class CliHost : public TransferHost {
public:
    explicit CliHost(bool clear);
    ~CliHost() override;

    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void processEvents() override;
    bool ctrlHeld() override { return m_clear; }
    void setButtonCaption(Control &button, std::string_view caption) override;
    void reportFailures(std::string_view title, const std::vector<TransferFailure> &failures) override;

    // Set once an interrupt arrived; the engine's stop hook is called then.
    void onInterrupt(std::function<void()> stop) { m_stop = std::move(stop); }
    void endProgress();

    std::vector<std::string> messages;
    std::vector<TransferFailure> failures;
    std::string failureTitle;

private:
    bool m_clear;
    bool m_terminal;
    bool m_progressShown = false;
    std::function<void()> m_stop;
};

} // namespace varnel::cli
