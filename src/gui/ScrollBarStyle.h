#pragma once

#include <QProxyStyle>

namespace varnel::gui {

// Where the desktop names no style (a bare window manager, a remote X
// display, the offscreen platform) Qt falls back on Fusion, which draws a
// scroll bar's handle lighter than its groove and nearly as white as the list
// beside it: users read the grey groove as the handle, at the bottom of a list
// that shows its first rows, moving up as they scroll down. This style keeps
// Fusion and, on a light palette, draws the handle as the darkest part of the
// bar. Every other style is left as the desktop has it.
class ScrollBarStyle : public QProxyStyle {
public:
    ScrollBarStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
        const QWidget *widget) const override;
};

// Sets ScrollBarStyle as the application's style when the style in use is
// Fusion; true when it did.
bool useReadableScrollBars();

} // namespace varnel::gui
