#pragma once

#include "transfer/TransferHost.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace varnel::cli {

// The command line as the host of a run: messages are kept for the caller to
// print, progress goes to stderr, Ctrl is --clear and its question is
// answered yes. An interrupt (Ctrl+C) or SIGTERM asks the run to stop: the
// statement in flight completes and the run ends with its final message. A
// second one cuts the statement in flight short and the run ends at once,
// still with its message and report; a third ends the program.
// The progress line of a run: done/total, percent, files per second, time
// left and the current file; before the first file, the phase's caption.
std::string progressLine(const ProgressEvent &event, std::chrono::steady_clock::duration elapsed);

class CliHost : public TransferHost {
public:
    // quiet: no progress on stderr.
    explicit CliHost(bool clear, bool quiet = false);
    ~CliHost() override;

    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void processEvents() override;
    bool ctrlHeld() override { return m_clear; }
    void progress(Control *button, const ProgressEvent &event) override;
    void reportFailures(std::string_view title, const std::vector<TransferFailure> &failures) override;
    void showDetail(std::string_view reason) override;
    // At once, on stderr, on a line of its own.
    void notice(std::string_view text) override;

    // The engine's stop hook, called at every event pump once a signal came.
    void onInterrupt(std::function<void()> stop) { m_stop = std::move(stop); }
    // Called instead once a second signal came.
    void onAbort(std::function<void()> abort) { m_abort = std::move(abort); }
    // The socket a second signal cuts (the server connection's), asked at
    // every event pump.
    void watchSocket(std::function<int()> socket) { m_socket = std::move(socket); }
    bool quiet() const { return m_quiet; }
    // Whether SIGINT or SIGTERM arrived since the host was made.
    bool interrupted() const;
    // Whether a second one came.
    bool aborted() const;
    bool endAtOnce() const override { return aborted(); }
    void endProgress();

    // After the run: prints what it said and gives the exit status. A run
    // that showed its final message (completed or interrupted) prints it on
    // `out`, one that ended before on `err`; the reason behind a message
    // follows it on `err`, then every failure list under its heading.
    int finish(const TransferResult &result, std::FILE *out, std::FILE *err);

    struct Message {
        std::string text;
        std::string detail; // the reason behind it, when it ended the run
    };
    struct FailureList {
        std::string title;
        std::vector<TransferFailure> items;
    };
    std::vector<Message> messages;
    // Every list reported, in order (failed files, files of unknown outcome).
    std::vector<FailureList> failureLists;

private:
    bool m_clear;
    bool m_quiet;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_started{};
    std::chrono::steady_clock::time_point m_lastLine{};
    bool m_progressShown = false;
    std::function<void()> m_stop;
    std::function<void()> m_abort;
    std::function<int()> m_socket;
};

} // namespace varnel::cli
