#include "gui/QtControl.h"

#include "gui/QtText.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVariant>

namespace varnel::gui {
namespace {

constexpr const char *kTagProperty = "varnelTag";
constexpr const char *kCaptionProperty = "varnelCaption";

} // namespace

QtControl::QtControl(QWidget *widget)
    : m_widget(widget)
{
}

std::string QtControl::name() const
{
    return m_widget ? u8(m_widget->objectName()) : std::string();
}

std::string QtControl::tag() const
{
    return m_widget ? u8(m_widget->property(kTagProperty).toString()) : std::string();
}

void QtControl::setTag(std::string_view tag)
{
    if (m_widget)
        m_widget->setProperty(kTagProperty, qs(tag));
}

bool QtControl::isEnabled() const
{
    return m_widget && m_widget->isEnabled();
}

void QtControl::setEnabled(bool enabled)
{
    if (m_widget)
        m_widget->setEnabled(enabled);
}

ButtonControl::ButtonControl(QPushButton *button)
    : QtControl(button)
{
    button->setProperty(kCaptionProperty, button->text());
}

std::string ButtonControl::text() const
{
    return m_widget ? u8(m_widget->property(kCaptionProperty).toString()) : std::string();
}

void ButtonControl::setText(std::string_view text)
{
    if (auto *b = qobject_cast<QPushButton *>(m_widget.data())) {
        b->setProperty(kCaptionProperty, qs(text));
        b->setText(displayCaption(text));
    }
}

LineEditControl::LineEditControl(QLineEdit *edit)
    : QtControl(edit)
{
}

std::string LineEditControl::text() const
{
    auto *e = qobject_cast<QLineEdit *>(m_widget.data());
    return e ? u8(e->text()) : std::string();
}

void LineEditControl::setText(std::string_view text)
{
    if (auto *e = qobject_cast<QLineEdit *>(m_widget.data()))
        e->setText(qs(text));
}

PlainTextControl::PlainTextControl(QPlainTextEdit *edit)
    : QtControl(edit)
{
}

std::string PlainTextControl::text() const
{
    auto *e = qobject_cast<QPlainTextEdit *>(m_widget.data());
    if (!e)
        return {};
    QString s = e->toPlainText();
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return u8(s);
}

void PlainTextControl::setText(std::string_view text)
{
    if (auto *e = qobject_cast<QPlainTextEdit *>(m_widget.data())) {
        QString s = qs(text);
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        e->setPlainText(s);
    }
}

CheckControl::CheckControl(QAbstractButton *button, QButtonGroup *group)
    : QtControl(button)
    , m_group(group)
{
}

std::string CheckControl::text() const
{
    auto *b = qobject_cast<QAbstractButton *>(m_widget.data());
    return b ? u8(b->text()) : std::string();
}

void CheckControl::setText(std::string_view text)
{
    if (auto *b = qobject_cast<QAbstractButton *>(m_widget.data()))
        b->setText(qs(text));
}

bool CheckControl::isChecked() const
{
    auto *b = qobject_cast<QAbstractButton *>(m_widget.data());
    return b && b->isChecked();
}

void CheckControl::setChecked(bool checked)
{
    auto *b = qobject_cast<QAbstractButton *>(m_widget.data());
    if (!b)
        return;
    if (checked || !m_group || !m_group->exclusive()) {
        b->setChecked(checked);
        return;
    }
    // An exclusive group refuses to clear its checked button.
    m_group->setExclusive(false);
    b->setChecked(false);
    m_group->setExclusive(true);
}

ComboControl::ComboControl(QComboBox *combo)
    : QtControl(combo)
{
}

int ComboControl::currentIndex() const
{
    auto *c = qobject_cast<QComboBox *>(m_widget.data());
    return c ? c->currentIndex() : -1;
}

void ComboControl::setCurrentIndex(int index)
{
    if (auto *c = qobject_cast<QComboBox *>(m_widget.data()))
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

std::vector<std::string> ComboControl::items() const
{
    std::vector<std::string> out;
    if (auto *c = qobject_cast<QComboBox *>(m_widget.data())) {
        out.reserve(static_cast<std::size_t>(c->count()));
        for (int i = 0; i < c->count(); ++i)
            out.push_back(u8(c->itemText(i)));
    }
    return out;
}

void ComboControl::setItems(const std::vector<std::string> &items)
{
    auto *c = qobject_cast<QComboBox *>(m_widget.data());
    if (!c)
        return;
    const int index = c->currentIndex();
    c->clear();
    for (const std::string &item : items)
        c->addItem(qs(item));
    c->setCurrentIndex(index < c->count() ? index : -1);
}

std::string ComboControl::editText() const
{
    auto *c = qobject_cast<QComboBox *>(m_widget.data());
    return c ? u8(c->currentText()) : std::string();
}

void ComboControl::setEditText(std::string_view text)
{
    auto *c = qobject_cast<QComboBox *>(m_widget.data());
    if (c && c->isEditable())
        c->setEditText(qs(text));
}

} // namespace varnel::gui
