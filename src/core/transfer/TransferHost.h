#pragma once

#include "util/MessageHost.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class Control;

// A file that could not be imported or a row that could not be written, and
// why (the server's or the system's words).
struct TransferFailure {
    std::string item;
    std::string reason;
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
    // A start button's caption doubles as the run state and the progress.
    virtual void setButtonCaption(Control &button, std::string_view caption);
    virtual void setWindowCaption(std::string_view) { }
    virtual void restoreWindowCaption() { }
    virtual void focus(std::string_view /*controlName*/) { }
    // After the final message: the files or rows that failed, with reasons.
    virtual void reportFailures(std::string_view /*title*/, const std::vector<TransferFailure> &) { }
};

} // namespace varnel
