#pragma once

#include "support/TestSupport.h"
#include "util/MessageHost.h"

#include <deque>
#include <string>
#include <vector>

namespace varnel::test {

// Records every message and answers questions from a script (OK when the
// script is used up).
class RecordingHost : public MessageHost {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    using MessageHost::askOkCancel;
    using MessageHost::showMessage;
    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override
    {
        messages.push_back({std::string(text), std::string(caption), icon});
    }

    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override
    {
        questions.push_back({std::string(text), std::string(caption), icon});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const Message &m : messages)
            out.push_back(m.text);
        return out;
    }

    // The last message's text, and the last question; a test that expects one
    // fails where it asked when there is none.
    std::string lastText(CallSite where = CallSite::current()) const { return lastOf(texts(), where); }
    Message lastQuestion(CallSite where = CallSite::current()) const { return lastOf(questions, where); }

    std::vector<Message> messages;
    std::vector<Message> questions;
    std::deque<bool> answers;
};

} // namespace varnel::test
