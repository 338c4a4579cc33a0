#pragma once

#include <QString>

class QWidget;

namespace varnel::gui {

// The program's help text ("疑点说明"), lines broken with CR LF.
QString helpText();

// What the connect action shows when the server cannot be reached: causes,
// remedies and some background, lines broken with CR LF.
QString connectionHelpText();

// Shows helpText() in the text dialog's info mode, titled "疑点说明", owned by
// `owner`. Returns when the dialog has closed.
void showHelp(QWidget *owner);

} // namespace varnel::gui
