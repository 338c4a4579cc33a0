#pragma once

#include <QSize>

#include <initializer_list>

class QLabel;
class QString;
class QLineEdit;
class QPushButton;
class QWidget;

namespace varnel::gui {

// The pieces the main window's groups and panels are laid out with.

// A plain-text label.
QLabel *label(const char *text);
// The widgets side by side, then (stretch) the rest of the row empty.
QWidget *row(std::initializer_list<QWidget *> widgets, bool stretch = true);
// A short edit box for a number.
QWidget *narrow(QWidget *w, int width = 64);
// The room a button's caption needs, its widest line and all its lines,
// with the frame around them.
QSize captionRoom(const QWidget *button);
// A button of the design's width, wider where its caption needs more room
// (a larger font).
QWidget *buttonWidth(QWidget *button, int width);
// A button at least as wide as the design has it, wider where its caption
// needs more room.
QWidget *minimumButtonWidth(QWidget *button, int width);
// A button inside the right end of an edit box.
void embedButton(QLineEdit *edit, QPushButton *button);
// One page of the option tabs: its rows from the top.
QWidget *page(std::initializer_list<QWidget *> rows);
// A dialog button as wide as its caption needs, not the style's wide
// default, never the default button by itself.
QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent);
// Its width for its caption now, at least `minimum`.
void fitWidth(QPushButton *button, int minimum);

} // namespace varnel::gui
