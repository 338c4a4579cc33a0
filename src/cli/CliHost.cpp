#include "cli/CliHost.h"

#include "cli/CliOptions.h"
#include "form/Control.h"
#include "text/TextUtil.h"
#include "transfer/RunReport.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace varnel::cli {
namespace {

// How many stop signals came.
volatile std::sig_atomic_t g_interrupted = 0;
// The server connection's socket, as the last event pump saw it.
volatile std::sig_atomic_t g_socket = -1;

extern "C" void onSignal(int)
{
    if (g_interrupted >= 2) {
        // A third: the user wants nothing more, not even the report. The
        // exit status of a stop (130) whichever signal it was: killed by
        // SIGTERM the shell would see 143, which the status list lacks.
        ::_exit(kStopped);
    }
    g_interrupted = g_interrupted + 1;
    // A second: the statement in flight is not waited for. Cutting the
    // socket ends any read or write on it at once, also one that does not
    // come back to the event pump; the run then reports what it knows.
    if (g_interrupted == 2 && g_socket >= 0)
        ::shutdown(g_socket, SHUT_RDWR);
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

CliHost::CliHost(bool clear, bool quiet)
    : m_clear(clear)
    , m_quiet(quiet)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    g_interrupted = 0;
    g_socket = -1;
    setHandler(SIGINT, onSignal);
    setHandler(SIGTERM, onSignal);
    // A write to a socket cut by a signal fails instead of ending the program.
    setHandler(SIGPIPE, SIG_IGN);
}

CliHost::~CliHost()
{
    g_socket = -1;
    setHandler(SIGINT, SIG_DFL);
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGPIPE, SIG_DFL);
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

void CliHost::notice(std::string_view text)
{
    endProgress();
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

bool CliHost::askOkCancel(std::string_view, std::string_view, MessageIcon)
{
    return true; // the only question is the one --clear has answered
}

void CliHost::processEvents()
{
    if (m_socket)
        g_socket = m_socket();
    // Again at every pump: an engine may clear its stop flag when it starts.
    if (g_interrupted >= 2 && m_abort)
        m_abort();
    else if (g_interrupted && m_stop)
        m_stop();
}

bool CliHost::aborted() const
{
    return g_interrupted >= 2;
}

void CliHost::progress(Control *button, const ProgressEvent &event)
{
    // The form's button keeps the caption a window would show.
    if (button)
        TransferHost::setButtonCaption(*button, progressCaption(event));
    if (m_quiet)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (event.phase == RunPhase::Starting || event.phase == RunPhase::Listing) {
        m_started = now;
        m_lastLine = {};
    }
    if (event.phase == RunPhase::Idle)
        return;
    // On a terminal one line, updated in place a few times a second;
    // elsewhere (a log) at most a line a second.
    const auto every = m_terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
    const bool last = event.phase == RunPhase::Transferring && event.total > 0 && event.done >= event.total;
    if (event.phase == RunPhase::Transferring) {
        if (!last && now - m_lastLine < every)
            return;
        m_lastLine = now;
    }
    const std::string line = progressLine(event, now - m_started);
    if (m_terminal) {
        std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
        m_progressShown = true;
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stderr);
}

std::string progressLine(const ProgressEvent &event, std::chrono::steady_clock::duration elapsed)
{
    if (event.phase != RunPhase::Transferring)
        return progressCaption(event);
    const bool import = event.kind == TransferKind::Import;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::string line = std::to_string(event.done) + "/" + std::to_string(event.total);
    if (event.total > 0)
        line += " (" + std::to_string(event.done * 100 / event.total) + "%)";
    if (seconds >= 0.5 && event.done > 0) {
        const double rate = static_cast<double>(event.done) / seconds;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, " %.0f 篇/秒", rate);
        line += buffer;
        if (event.total > event.done) {
            const auto left = static_cast<long long>(static_cast<double>(event.total - event.done) / rate + 0.5);
            std::snprintf(buffer, sizeof buffer, " 剩余 %lld:%02lld", left / 60, left % 60);
            line += buffer;
        }
    }
    line += import ? " 已导入" : " 已导出";
    if (!event.current.empty())
        line += " " + event.current;
    return line;
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
    for (const FailureList &list : failureLists) {
        if (list.items.empty())
            continue;
        std::fprintf(err, "%s (%zu):\n", list.title.c_str(), list.items.size());
        for (const TransferFailure &f : list.items)
            std::fprintf(err, "  %s: %s\n", escapedName(f.item).c_str(), f.reason.c_str());
    }
    std::fflush(err);
    return runExitStatus(result);
}

void CliHost::reportFailures(std::string_view title, const std::vector<TransferFailure> &list)
{
    failureLists.push_back({std::string(title), list});
}

} // namespace varnel::cli
