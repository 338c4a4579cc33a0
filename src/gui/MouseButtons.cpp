#include "gui/MouseButtons.h"

#include <QMouseEvent>

namespace varnel::gui {

void RightButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightPressed();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void RightButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightReleased();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

PressLabel::PressLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    setPalette(p);
}

void PressLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        event->accept();
        emit pressed();
        return;
    }
    QLabel::mousePressEvent(event);
}

} // namespace varnel::gui
