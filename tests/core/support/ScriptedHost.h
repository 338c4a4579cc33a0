#pragma once

#include "support/RecordingHost.h"
#include "transfer/TransferHost.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varnel::test {

// A transfer host for tests: records messages, captions and failures, and
// runs a hook each time events are processed (to press stop, for example).
class ScriptedHost : public TransferHost {
public:
    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override
    {
        recorder.showMessage(text, caption, icon);
    }
    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override
    {
        return recorder.askOkCancel(text, caption, icon);
    }
    void processEvents() override
    {
        ++pumps;
        if (onEvents)
            onEvents();
    }
    bool ctrlHeld() override { return ctrl; }
    // Every chance to pump is taken, so hooks run at predictable points.
    std::chrono::milliseconds pumpInterval() const override { return std::chrono::milliseconds(0); }
    void setButtonCaption(Control &button, std::string_view caption) override
    {
        TransferHost::setButtonCaption(button, caption);
        captions.emplace_back(caption);
    }
    void setWindowCaption(std::string_view caption) override { windowCaption = std::string(caption); }
    void restoreWindowCaption() override { windowCaption = "restored"; }
    void focus(std::string_view control) override { focused = std::string(control); }
    void reportFailures(std::string_view title, const std::vector<TransferFailure> &list) override
    {
        lists[std::string(title)] = list;
        if (title == "未能导入的文件" || title == "未能写出的行")
            failures = list;
    }
    void showDetail(std::string_view reason) override { details.emplace_back(reason); }

    std::vector<std::string> texts() const { return recorder.texts(); }

    RecordingHost recorder;
    std::function<void()> onEvents;
    bool ctrl = false;
    int pumps = 0;
    std::vector<std::string> captions;
    std::string windowCaption;
    std::string focused;
    std::vector<TransferFailure> failures; // the failed files or rows
    std::map<std::string, std::vector<TransferFailure>> lists; // every list, by its heading
    std::vector<std::string> details;
};

} // namespace varnel::test
