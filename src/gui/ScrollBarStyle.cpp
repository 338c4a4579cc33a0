#include "gui/ScrollBarStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionSlider>

namespace varnel::gui {

ScrollBarStyle::ScrollBarStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

void ScrollBarStyle::drawComplexControl(
    ComplexControl control, const QStyleOptionComplex *option, QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar || bar->maximum == bar->minimum)
        return;
    const QPalette &palette = bar->palette;
    // On a dark palette Fusion's light handle stands out already.
    if (palette.color(QPalette::Window).lightness() < 128)
        return;
    const QRect handle = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
    if (handle.width() < 3 || handle.height() < 3)
        return;
    const bool onHandle = bar->activeSubControls & SC_ScrollBarSlider;
    QColor fill = palette.color(QPalette::Mid);
    if (!(bar->state & State_Enabled))
        fill = palette.color(QPalette::Button).darker(112);
    else if (onHandle && (bar->state & State_Sunken))
        fill = palette.color(QPalette::Dark);
    else if (onHandle && (bar->state & State_MouseOver))
        fill = fill.darker(110);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(palette.color(QPalette::Dark));
    painter->setBrush(fill);
    // Inside the groove's border, so the groove still shows where the handle
    // can go.
    const bool vertical = bar->orientation == Qt::Vertical;
    const QRectF inner = QRectF(handle).adjusted(
        vertical ? 2.5 : 0.5, vertical ? 0.5 : 2.5, vertical ? -2.5 : -0.5, vertical ? -0.5 : -2.5);
    painter->drawRoundedRect(inner, 2, 2);
    painter->restore();
}

bool useReadableScrollBars()
{
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return false;
    QApplication::setStyle(new ScrollBarStyle);
    return true;
}

} // namespace varnel::gui
