#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace varnel::gui {

// Program text is UTF-8 in std::string; Qt strings are made at the widget
// boundary, on purpose, here and nowhere else.
inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string u8(const QString &text)
{
    return text.toStdString();
}

// A caption as a button shows it: the program's captions break lines with
// CR LF, a Qt button with LF.
inline QString displayCaption(std::string_view caption)
{
    QString s = qs(caption);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

// A name shown as a menu item or group caption: "&" would be taken for a
// mnemonic marker.
inline QString escapeMnemonics(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace varnel::gui
