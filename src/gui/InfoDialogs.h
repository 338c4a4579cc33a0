#pragma once

#include "gui/TextInputRequest.h"

#include <QString>

class QWidget;

namespace varnel::gui {

// The text input dialog in its two uses by the main window: editing a text
// (true and the result when confirmed) and showing one (read-only, with a
// close button). An absent prompt shows the mode's own default line.
bool showTextInput(QWidget *owner, const QString &prompt, const QString &initial, QString *result, int textHeight = 0);
void showInfoText(QWidget *owner, const QString &title, const QString &text, const QString &prompt = QString(),
    std::optional<TextInputRequest::Extra> extra = std::nullopt);

} // namespace varnel::gui
