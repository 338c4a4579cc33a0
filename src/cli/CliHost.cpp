#include "cli/CliHost.h"

#include "cli/CliOptions.h"
#include "settings/Control.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace varnel::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onSignal(int signal)
{
    if (g_interrupted) {
        // Asked twice: the user does not want to wait for the statement.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_interrupted = 1;
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Reads and writes of the statement in flight go on.
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

CliHost::CliHost(bool clear)
    : m_clear(clear)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    g_interrupted = 0;
    setHandler(SIGINT, onSignal);
    setHandler(SIGTERM, onSignal);
}

CliHost::~CliHost()
{
    setHandler(SIGINT, SIG_DFL);
    setHandler(SIGTERM, SIG_DFL);
}

bool CliHost::interrupted() const
{
    return g_interrupted != 0;
}

void CliHost::showMessage(std::string_view text, std::string_view, MessageIcon)
{
    messages.push_back({std::string(text), {}});
}

void CliHost::showDetail(std::string_view reason)
{
    if (messages.empty())
        messages.emplace_back();
    Message &last = messages.back();
    if (!last.detail.empty())
        last.detail += '\n';
    last.detail += reason;
}

bool CliHost::askOkCancel(std::string_view, std::string_view, MessageIcon)
{
    return true; // the only question is the one --clear has answered
}

void CliHost::processEvents()
{
    // Again at every pump: an engine may clear its stop flag when it starts.
    if (g_interrupted && m_stop)
        m_stop();
}

void CliHost::setButtonCaption(Control &button, std::string_view caption)
{
    TransferHost::setButtonCaption(button, caption);
    const std::string line(caption);
    if (m_terminal) {
        std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
        m_progressShown = true;
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stderr);
}

void CliHost::endProgress()
{
    if (m_progressShown) {
        std::fputc('\n', stderr);
        m_progressShown = false;
    }
}

int CliHost::finish(const TransferResult &result, std::FILE *out, std::FILE *err)
{
    endProgress();
    const bool finalShown =
        result.outcome == TransferOutcome::Completed || result.outcome == TransferOutcome::Interrupted;
    for (const Message &m : messages) {
        std::fprintf(finalShown ? out : err, "%s\n", m.text.c_str());
        std::fflush(out); // stays in order with err on one terminal
        if (!m.detail.empty())
            std::fprintf(err, "%s\n", m.detail.c_str());
    }
    bool listed = !result.failures.empty() || !result.unknown.empty() || !result.incomplete.empty();
    for (const FailureList &list : failureLists) {
        if (list.items.empty())
            continue;
        listed = true;
        std::fprintf(err, "%s (%zu):\n", list.title.c_str(), list.items.size());
        for (const TransferFailure &f : list.items)
            std::fprintf(err, "  %s: %s\n", f.item.c_str(), f.reason.c_str());
    }
    std::fflush(err);
    if (interrupted() || result.stopped)
        return kStopped;
    switch (result.outcome) {
    case TransferOutcome::Completed:
        return listed ? kPartial : kOk;
    case TransferOutcome::Invalid:
        return kInvalid;
    default:
        return kOther;
    }
}

void CliHost::reportFailures(std::string_view title, const std::vector<TransferFailure> &list)
{
    failureLists.push_back({std::string(title), list});
}

} // namespace varnel::cli
