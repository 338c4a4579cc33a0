#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace varnel::gui {

// The sizes of the text dialog, worked out from numbers alone: the request's
// margin and body size, the font's line spacing and the width of one Chinese
// character, the height of a button. The dialog measures those and asks
// here; nothing here touches a widget or a font.
class PromptMetrics {
public:
    // The design: a 495 x 393 client area and a 5-pixel margin; a prompt
    // line 12 pixels high, 6 pixels a GBK byte.
    static constexpr QSize kDesignSize{495, 393};
    static constexpr int kDesignMargin = 5;
    static constexpr int kDesignLineHeight = 12;
    static constexpr int kDesignByteWidth = 6;

    // `margin` below 1 means the design margin; `textWidth` and `textHeight`
    // not 0 give the body that size.
    PromptMetrics(int margin, int textWidth, int textHeight);

    int margin() const { return m_margin; }
    // The dialog's width: the design width, or the body's plus a margin on
    // either side.
    int width() const;
    // The strip below the body: the buttons and three margins.
    int bottomHeight(int buttonHeight) const;
    // The dialog's height once the prompt's is known: the design height, or
    // the prompt, the body, the buttons and five margins.
    int height(int promptHeight, int buttonHeight) const;
    // The width the prompt is laid out in, in a dialog `dialogWidth` wide.
    int promptWidth(int dialogWidth) const;

    // The CR LF pieces of a prompt: an empty text has none, a final CR LF
    // adds none, an empty piece between two CR LF counts.
    static QStringList pieces(const QString &text);
    // How many display lines a prompt of `text` takes in a box `width`
    // pixels wide when every byte of its GBK form is `byteWidth` pixels wide:
    // each CR LF piece takes ceil(bytes / (width / byteWidth)) lines, at least
    // one; an empty text none, a final CR LF adds none.
    static int promptLines(const QString &text, int width, int byteWidth = kDesignByteWidth);
    // The prompt's height: lines of the font's spacing (at least the
    // design's 12) by the byte rule with the font's byte width (half a
    // Chinese character, at least the design's 6), never less than
    // `laidOutHeight`, the height the text takes as the widget lays it out.
    static int promptHeight(const QString &text, int width, int lineSpacing, int chineseCharWidth, int laidOutHeight);
    // Where a dialog of `size` goes on a screen of `area`: centred, a little
    // above the middle for the task bar.
    static QPoint placeOn(const QRect &area, const QSize &size);

private:
    int m_margin;
    int m_textWidth;
    int m_textHeight;
};

} // namespace varnel::gui
