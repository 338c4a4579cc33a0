#pragma once

#include "form/Control.h"

#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace varnel::gui {

// A Control over a Qt widget. The tag lives in a dynamic property of the
// widget, so it goes with the widget wherever it is reached from.
class QtControl : public Control {
public:
    explicit QtControl(QWidget *widget);

    std::string name() const override;
    std::string tag() const override;
    void setTag(std::string_view tag) override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;

    QWidget *widget() const { return m_widget; }

protected:
    QPointer<QWidget> m_widget;
};

// A push button. Its caption is the program's text ("导出\r\n条件"), kept as
// given and shown with LF line breaks.
class ButtonControl : public QtControl {
public:
    explicit ButtonControl(QPushButton *button);
    std::string text() const override;
    void setText(std::string_view text) override;
};

// A one-line edit box; CR LF inside the text is kept as it is.
class LineEditControl : public QtControl {
public:
    explicit LineEditControl(QLineEdit *edit);
    std::string text() const override;
    void setText(std::string_view text) override;
};

// A multi-line edit box. Qt keeps line breaks as LF; the program's text has
// CR LF, converted both ways here.
class PlainTextControl : public QtControl {
public:
    explicit PlainTextControl(QPlainTextEdit *edit);
    std::string text() const override;
    void setText(std::string_view text) override;
};

// A check box, or a radio button of an exclusive group. A radio button can be
// cleared too (a restored group may have none ticked), which an exclusive
// group alone does not allow.
class CheckControl : public QtControl {
public:
    CheckControl(QAbstractButton *button, QButtonGroup *group = nullptr);
    std::string text() const override;
    void setText(std::string_view text) override;
    bool isChecked() const override;
    void setChecked(bool checked) override;

private:
    QPointer<QButtonGroup> m_group;
};

// A drop-down list. An index it does not have selects nothing.
class ComboControl : public QtControl {
public:
    explicit ComboControl(QComboBox *combo);
    int currentIndex() const override;
    void setCurrentIndex(int index) override;
    std::vector<std::string> items() const override;
    void setItems(const std::vector<std::string> &items) override;
    std::string editText() const override;
    void setEditText(std::string_view text) override;
};

} // namespace varnel::gui
