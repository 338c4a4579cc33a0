#pragma once

#include <string_view>

namespace varnel {

// Caption of message boxes that are given only a text.
inline constexpr std::string_view kDefaultCaption = "信息：";

enum class MessageIcon { None, Information, Warning, Error };

// How core code talks to the person in front of the program. The Qt windows
// show message boxes; varnel-cli prints; tests script the answers.
class MessageHost {
public:
    virtual ~MessageHost() = default;

    // A message with an OK button.
    virtual void showMessage(
        std::string_view text, std::string_view caption = kDefaultCaption, MessageIcon icon = MessageIcon::None) = 0;

    // An OK/Cancel question; true for OK.
    virtual bool askOkCancel(
        std::string_view text, std::string_view caption = kDefaultCaption, MessageIcon icon = MessageIcon::None) = 0;
};

} // namespace varnel
