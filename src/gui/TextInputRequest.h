#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace varnel::gui {

// Whether the body of the text dialog takes typing.
enum class BodyEdit { Editable, ReadOnly };

// The buttons of the text dialog's bar that append chosen files: their
// contents (内容), their paths (文件名), both or neither.
enum class FileButtons { None, Contents, Names, Both };

// What a caller asks of the text dialog. Texts break lines with CR LF.
struct TextInputRequest {
    QString initialText;
    // Absent: no prompt. Present but empty: the mode's own prompt.
    std::optional<QString> prompt;
    QString title; // empty: the mode's own caption
    QWidget *parent = nullptr;
    bool wantsResult = true; // true: input mode, false: info mode
    BodyEdit editMode = BodyEdit::Editable;
    bool maximised = false;
    int textWidth = 0; // not 0: the body is this wide
    int textHeight = 0; // not 0: the body is this high
    bool scrollBars = false; // the body always shows both scroll bars
    int margin = 0; // gap around and between the controls; below 1 means 5
    FileButtons fileButtons = FileButtons::None;
    bool singleLine = false; // Enter confirms instead of breaking the line
    // A button of the caller's own left of the dialog's buttons; its action
    // gets the dialog as the owner of what it shows.
    struct Extra {
        QString caption;
        std::function<void(QWidget *dialog)> action;
    };
    std::optional<Extra> extra = std::nullopt;
};

} // namespace varnel::gui
