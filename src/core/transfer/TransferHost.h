#pragma once

#include "transfer/Progress.h"
#include "util/MessageHost.h"

#include <chrono>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnel {

class Control;

// A file that could not be imported or a row that could not be written, and
// why (the server's or the system's words).
struct TransferFailure {
    TransferFailure() = default;
    TransferFailure(std::string failed, std::string why, std::string itsKey = {})
        : item(std::move(failed))
        , reason(std::move(why))
        , key(std::move(itsKey))
    {
    }

    std::string item;
    std::string reason;
    std::string key; // the file's key, when the run has a key column
};

// A file stored by a run or found in the table already, with its key when the
// run has a key column.
struct KeyedFile {
    std::string item;
    std::string key;
};

// Why a file a stopped run did not come to is not stored.
inline constexpr std::string_view kStoppedReason = "运行已停止";

// How a run ended, for callers that must tell (the command line's exit code).
enum class TransferOutcome {
    Completed, // the final message was shown
    Invalid, // a validation message ended it before anything was written
    Cancelled, // the clearing question was answered with Cancel
    Busy, // a run was going on: this press asked it to stop
    Interrupted, // a server or fetch error ended the run; its final message was shown
};

// What an import or export did: files imported or written, the table's rows
// (after an import; read for an export), and what failed.
struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Invalid;
    std::int64_t transferred = 0;
    std::int64_t tableRows = -1; // -1: not counted
    std::vector<TransferFailure> failures;
    // Files whose statement was in flight when the connection was lost: they
    // may or may not be stored.
    std::vector<TransferFailure> unknown;
    // Files stored with only part of their text (damaged gzip data).
    std::vector<TransferFailure> incomplete;
    // An import's files the server confirmed stored (the incomplete ones
    // among them), and those whose key the table held already.
    std::vector<KeyedFile> stored;
    std::vector<KeyedFile> exists;
    // Files an import did not come to (it was stopped, the folder went).
    std::vector<TransferFailure> skipped;
    // The server's or the system's reason behind a message that ended the
    // run (shown below the message: next line of stderr, failure details).
    std::string detail;
    // The run was ended by a stop request (Ctrl-C, the stop button).
    bool stopped = false;

    // What the run says when it ends (RunPresenter shows it): the message
    // that ended it, whether `detail` goes right under it, and the box the
    // user is sent to. Empty: it says nothing (a stop press, a Cancel).
    TransferKind kind = TransferKind::Import;
    std::string message;
    bool detailShown = false;
    std::string focus;

    static TransferResult ended(TransferOutcome outcome)
    {
        TransferResult r;
        r.outcome = outcome;
        return r;
    }
    // A run refused or ended before its files, with the message that says
    // why, the server's or the system's reason under it when there is one,
    // and the box to put right.
    static TransferResult refused(
        TransferOutcome outcome, std::string message, std::string_view focus = {}, std::string detail = {})
    {
        TransferResult r = ended(outcome);
        r.message = std::move(message);
        r.focus = std::string(focus);
        r.detailShown = !detail.empty();
        r.detail = std::move(detail);
        return r;
    }
};

// What a running import or export needs from the window that started it.
// The Qt window, varnel-cli and tests implement it; the engines read the
// window's values through its Form at the moments they need them.
class TransferHost : public MessageHost {
public:
    // Lets the user interface handle pending events (a stop click, repaint).
    virtual void processEvents() { }
    // Whether the Ctrl key is held at this moment.
    virtual bool ctrlHeld() { return false; }
    // How often a run lets the host handle events at most (a stop request
    // is looked at then); zero: at every chance, as tests want.
    virtual std::chrono::milliseconds pumpInterval() const { return std::chrono::milliseconds(30); }
    // Where a run is. By default the start button's caption shows it
    // (progressCaption), the window's caption the last file done, and Idle
    // gives the window its own caption back.
    virtual void progress(Control *button, const ProgressEvent &event);
    virtual void setButtonCaption(Control &button, std::string_view caption);
    virtual void setWindowCaption(std::string_view) { }
    virtual void restoreWindowCaption() { }
    virtual void focus(std::string_view /*controlName*/) { }
    // After the final message: the files or rows that failed, with reasons.
    // Called once per list (failed files, files not known to be stored).
    virtual void reportFailures(std::string_view /*title*/, const std::vector<TransferFailure> &) { }
    // The reason behind a message that ended the run, right after it.
    virtual void showDetail(std::string_view /*reason*/) { }
    // Something the run wants known that is no failure (it goes on).
    virtual void notice(std::string_view /*text*/) { }
    // The user wants the run to end without waiting for anything more
    // (varnel-cli's second signal): a lost connection is not restored.
    virtual bool endAtOnce() const { return false; }
};

} // namespace varnel
