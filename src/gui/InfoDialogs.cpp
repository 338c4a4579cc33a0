#include "gui/InfoDialogs.h"

#include "gui/TextInputDialog.h"

namespace varnel::gui {

bool showTextInput(QWidget *owner, const QString &prompt, const QString &initial, QString *result, int textHeight)
{
    TextInputRequest request;
    request.initialText = initial;
    request.prompt = prompt;
    request.parent = owner;
    request.wantsResult = true;
    request.textHeight = textHeight;
    return TextInputDialog::run(request, result);
}

void showInfoText(QWidget *owner, const QString &title, const QString &text, const QString &prompt,
    std::optional<TextInputRequest::Extra> extra)
{
    TextInputRequest request;
    request.initialText = text;
    if (!prompt.isEmpty())
        request.prompt = prompt;
    request.title = title;
    request.parent = owner;
    request.wantsResult = false;
    request.extra = std::move(extra);
    TextInputDialog::run(request, nullptr);
}

} // namespace varnel::gui
