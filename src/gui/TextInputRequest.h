#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace varnel::gui {

// What a caller asks of the text dialog. Texts break lines with CR LF.
struct TextInputRequest {
    QString initialText;
    // Absent: no prompt. Present but empty: the mode's own prompt.
    std::optional<QString> prompt;
    QString title; // empty: the mode's own caption
    QWidget *parent = nullptr;
    bool wantsResult = true; // true: input mode, false: info mode
    int editMode = 0; // 0: the body can be edited, 1: read-only
    bool maximised = false;
    int textWidth = 0; // not 0: the body is this wide
    int textHeight = 0; // not 0: the body is this high
    bool scrollBars = false; // the body always shows both scroll bars
    int margin = 0; // gap around and between the controls; below 1 means 5
    int fileButtons = 0; // 1: 内容, 2: 文件名, 3: both
    bool singleLine = false; // Enter confirms instead of breaking the line
};

} // namespace varnel::gui
