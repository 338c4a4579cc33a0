#include "gui/ExportConditionPanel.h"

#include "design/ConfigFile.h"
#include "form/MainControls.h"
#include "gui/LayoutParts.h"
#include "gui/QtForm.h"
#include "mapping/RuleEditor.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace varnel::gui {

ExportConditionPanel::ExportConditionPanel(QtForm &form, QWidget &window, QWidget &anchor)
    : QGroupBox(&window)
    , m_form(form)
    , m_anchor(anchor)
{

    auto W = [&form](std::string_view name) { return form.widget(name); };
    setTitle(QStringLiteral("导出条件设置"));
    setObjectName(QStringLiteral("分组框导出条件"));
    setAutoFillBackground(true);
    // It opens over other controls: a frame of its own sets it apart, and
    // its title sits inside the frame, on the panel's own background, so
    // that nothing under the panel shows around the title.
    setStyleSheet(
        QStringLiteral("QGroupBox#分组框导出条件 { border: 1px solid palette(dark); border-radius: 3px; margin-top: 0;"
                       " padding-top: 1.6em; background: palette(window); }"
                       "QGroupBox#分组框导出条件::title { subcontrol-origin: padding; subcontrol-position: top left;"
                       " left: 8px; top: 5px; padding: 0 4px; }"));
    auto *grid = new QGridLayout(this);
    grid->setVerticalSpacing(6);
    grid->addWidget(W(ctl::kConditionsOn), 0, 0, 1, 3);
    grid->addWidget(label("字段名："), 1, 0);
    grid->addWidget(W(ctl::kConditionNames), 1, 1, 1, 2);
    grid->addWidget(label("字段值："), 2, 0);
    grid->addWidget(W(ctl::kConditionValues), 2, 1, 1, 2);
    grid->addWidget(label("值比较："), 3, 0);
    auto *compare = new QGridLayout;
    compare->addWidget(W(ctl::kEqual), 0, 0);
    compare->addWidget(W(ctl::kNotEqual), 0, 1);
    compare->addWidget(W(ctl::kContains), 1, 0);
    compare->addWidget(W(ctl::kNotContains), 1, 1);
    grid->addLayout(compare, 3, 1, 1, 2);
    grid->addWidget(label("多字段："), 4, 0);
    auto *logic = new QFrame;
    logic->setFrameShape(QFrame::StyledPanel);
    auto *logicRow = new QHBoxLayout(logic);
    logicRow->setContentsMargins(6, 2, 6, 2);
    logicRow->addWidget(W("单选框或逻辑"));
    logicRow->addWidget(W(ctl::kAndLogic));
    logicRow->addWidget(label("分隔符"));
    logicRow->addWidget(narrow(W(ctl::kConditionSeparator), 40));
    grid->addWidget(logic, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    hide();

    connect(
        form.widgetAs<QPushButton>(ctl::kConditionButton), &QPushButton::clicked, this, &ExportConditionPanel::toggle);
    connect(form.widgetAs<QCheckBox>(ctl::kConditionsOn), &QCheckBox::clicked, this,
        [this] { applyExportConditionEnabling(m_form); });
    // It stays above the anchor wherever the window's layout moves it.
    anchor.installEventFilter(this);

    // The boxes hold the design's conditions even while 启用 is off: shown
    // as filled, in the usual text colour within a disabled frame, so they
    // never read as a grey placeholder. Once enabled, a box entered selects
    // its whole text, and typing replaces the condition instead of adding
    // to it.
    for (std::string_view name : {ctl::kConditionNames, ctl::kConditionValues, ctl::kConditionSeparator}) {
        auto *edit = form.widgetAs<QLineEdit>(name);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
        edit->setPalette(palette);
        edit->installEventFilter(this);
        m_filledBoxes.push_back(edit);
    }
}

void ExportConditionPanel::toggle()
{
    const bool show = toggleExportConditionPanel(m_form);
    setVisible(show);
    if (show)
        place();
}

void ExportConditionPanel::place()
{
    const QSize hint = sizeHint();
    const int width = std::max(hint.width(), 330);
    const int height = hint.height();
    const QPoint bottomRight = m_anchor.geometry().topRight();
    setGeometry(bottomRight.x() - width + 1, bottomRight.y() - height - 6, width, height);
    raise();
}

bool ExportConditionPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        for (QLineEdit *edit : m_filledBoxes) {
            // After the click that gave the focus, which would place the
            // cursor and drop a selection made now.
            if (watched == edit)
                QTimer::singleShot(0, edit, [edit] {
                    if (edit->hasFocus())
                        edit->selectAll();
                });
        }
    }
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) && isVisible())
        place();
    return QGroupBox::eventFilter(watched, event);
}

} // namespace varnel::gui
