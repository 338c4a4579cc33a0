#pragma once

#include <QGroupBox>

#include <vector>

class QLineEdit;

namespace varnel::gui {

class QtForm;

// The export conditions: a panel that opens over the lower right of the main
// window, above the anchor (the row of run buttons), when 按钮导出条件 is
// pressed, and closes when it is pressed again.
class ExportConditionPanel : public QGroupBox {
    Q_OBJECT
public:
    ExportConditionPanel(QtForm &form, QWidget &window, QWidget &anchor);

    void toggle();
    void place();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QtForm &m_form;
    QWidget &m_anchor;
    std::vector<QLineEdit *> m_filledBoxes; // the condition texts
};

} // namespace varnel::gui
