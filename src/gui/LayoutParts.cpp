#include "gui/LayoutParts.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {

QLabel *label(const char *text)
{
    auto *l = new QLabel(QString::fromUtf8(text));
    l->setTextFormat(Qt::PlainText);
    return l;
}

QWidget *row(std::initializer_list<QWidget *> widgets, bool stretch)
{
    auto *w = new QWidget;
    auto *h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    for (QWidget *x : widgets)
        h->addWidget(x);
    if (stretch)
        h->addStretch(1);
    return w;
}

QWidget *narrow(QWidget *w, int width)
{
    w->setFixedWidth(width);
    return w;
}

QSize captionRoom(const QWidget *button)
{
    const auto *b = qobject_cast<const QPushButton *>(button);
    const QFontMetrics fm(button->font());
    const QStringList lines = b ? b->text().split(QLatin1Char('\n')) : QStringList();
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    return {width + 2 * fm.averageCharWidth() + 4, static_cast<int>(lines.size()) * fm.lineSpacing() + 8};
}

QWidget *buttonWidth(QWidget *button, int width)
{
    button->setFixedWidth(std::max(width, captionRoom(button).width()));
    return button;
}

QWidget *minimumButtonWidth(QWidget *button, int width)
{
    button->setMinimumWidth(std::max(width, captionRoom(button).width()));
    return button;
}

void embedButton(QLineEdit *edit, QPushButton *button)
{
    button->setParent(edit);
    button->setCursor(Qt::ArrowCursor);
    button->setFocusPolicy(Qt::NoFocus);
    const int width = button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 14;
    edit->setTextMargins(0, 0, width, 0);
    button->setFixedWidth(width);
    class Placer : public QObject {
    public:
        Placer(QLineEdit *e, QPushButton *b)
            : QObject(e)
            , m_edit(e)
            , m_button(b)
        {
        }
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
                const int h = m_edit->height() - 4;
                m_button->setFixedHeight(h);
                m_button->move(m_edit->width() - m_button->width() - 2, 2);
            }
            return false;
        }

    private:
        QLineEdit *m_edit;
        QPushButton *m_button;
    };
    edit->installEventFilter(new Placer(edit, button));
}

QWidget *page(std::initializer_list<QWidget *> rows)
{
    auto *w = new QWidget;
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(10, 8, 10, 8);
    v->setSpacing(6);
    for (QWidget *r : rows)
        v->addWidget(r);
    v->addStretch(1);
    return w;
}

// A button as wide as its caption needs, not the style's wide default, so
// that the bar and the two dialog buttons fit the design width.
QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

void fitWidth(QPushButton *button, int minimum)
{
    const QFontMetrics fm(button->font());
    QString shown = button->text();
    shown.remove(QLatin1Char('&'));
    button->setFixedWidth(std::max(minimum, fm.horizontalAdvance(shown) + 2 * fm.height()));
}

} // namespace varnel::gui
