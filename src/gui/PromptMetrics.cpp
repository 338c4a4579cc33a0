#include "gui/PromptMetrics.h"

#include "gui/QtText.h"
#include "text/Charset.h"

#include <algorithm>

namespace varnel::gui {

PromptMetrics::PromptMetrics(int margin, int textWidth, int textHeight)
    : m_margin(margin < 1 ? kDesignMargin : margin)
    , m_textWidth(textWidth)
    , m_textHeight(textHeight)
{
}

int PromptMetrics::width() const
{
    return m_textWidth != 0 ? m_textWidth + 2 * m_margin : kDesignSize.width();
}

int PromptMetrics::bottomHeight(int buttonHeight) const
{
    return buttonHeight + 3 * m_margin;
}

int PromptMetrics::height(int promptHeight, int buttonHeight) const
{
    if (m_textHeight == 0)
        return kDesignSize.height();
    return promptHeight + 5 * m_margin + m_textHeight + buttonHeight;
}

int PromptMetrics::promptWidth(int dialogWidth) const
{
    return std::max(1, dialogWidth - 2 * m_margin);
}

QStringList PromptMetrics::pieces(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList out = text.split(QStringLiteral("\r\n"));
    if (out.size() > 1 && out.back().isEmpty())
        out.removeLast();
    return out;
}

int PromptMetrics::promptLines(const QString &text, int width, int byteWidth)
{
    const int perLine = std::max(1, width / std::max(1, byteWidth));
    int lines = 0;
    for (const QString &piece : pieces(text)) {
        const auto bytes = static_cast<int>(toGb18030(u8(piece)).size());
        lines += bytes == 0 ? 1 : (bytes + perLine - 1) / perLine;
    }
    return lines;
}

int PromptMetrics::promptHeight(
    const QString &text, int width, int lineSpacing, int chineseCharWidth, int laidOutHeight)
{
    const int lineHeight = std::max(kDesignLineHeight, lineSpacing);
    const int byteWidth = std::max(kDesignByteWidth, (chineseCharWidth + 1) / 2);
    return std::max(promptLines(text, width, byteWidth) * lineHeight, laidOutHeight);
}

QPoint PromptMetrics::placeOn(const QRect &area, const QSize &size)
{
    const auto left = static_cast<int>(area.width() / 2.0 - size.width() / 2.0);
    const auto top = static_cast<int>((area.height() - 30) / 2.0 - size.height() / 2.0);
    return {area.x() + left, area.y() + top};
}

} // namespace varnel::gui
