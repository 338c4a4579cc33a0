#pragma once

#include <QLabel>
#include <QPushButton>

namespace varnel::gui {

// A push button that also reports the right mouse button: several buttons
// act on its press (clear all) or its release (another way of doing their
// job). A right press or release never clicks the button.
class RightButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

signals:
    void rightPressed();
    void rightReleased();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// A label that acts like a link on the left button's press.
class PressLabel : public QLabel {
    Q_OBJECT
public:
    explicit PressLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void pressed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace varnel::gui
