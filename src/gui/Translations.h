#pragma once

class QCoreApplication;

namespace varnel::gui {

// Qt's own texts (the buttons of message boxes, the file and folder dialogs)
// in Chinese whatever the locale, as everything else the program shows.
// False when Qt's Chinese catalog is not installed.
bool loadChineseTranslations(QCoreApplication &app);

} // namespace varnel::gui
