#pragma once

#include <QTreeWidget>

namespace varnel::gui {

// The field mapping list. Focus arriving by Tab does not make a row current
// on its own: a current row is loaded into the editors, which would replace
// what the user was typing there.
class MappingList : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;

    int currentRow() const;
    void makeCurrent(int row);

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace varnel::gui
