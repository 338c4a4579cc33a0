#include "cli/CliHost.h"

#include "settings/Control.h"

#include <unistd.h>

#include <cstdio>

namespace varnel::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onSignal(int)
{
    g_interrupted = 1;
}

} // namespace

CliHost::CliHost(bool clear)
    : m_clear(clear)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

CliHost::~CliHost()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

void CliHost::showMessage(std::string_view text, std::string_view, MessageIcon)
{
    messages.emplace_back(text);
}

bool CliHost::askOkCancel(std::string_view, std::string_view, MessageIcon)
{
    return true; // the only question is the one --clear has answered
}

void CliHost::processEvents()
{
    if (g_interrupted && m_stop) {
        g_interrupted = 0;
        m_stop();
    }
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

void CliHost::reportFailures(std::string_view title, const std::vector<TransferFailure> &list)
{
    failureTitle = std::string(title);
    failures = list;
}

} // namespace varnel::cli
