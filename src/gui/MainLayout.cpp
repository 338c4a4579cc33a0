// The main window's layout: the banner, the article and database groups, the
// field mapping with its thirteen option pages, the bottom row of buttons
// and the export-condition panel that opens over the lower right.
#include "gui/MainWindow.h"

#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/QtText.h"
#include "gui/SvgPicture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnel::gui {
namespace {

QLabel *label(const char *text)
{
    auto *l = new QLabel(QString::fromUtf8(text));
    l->setTextFormat(Qt::PlainText);
    return l;
}

QWidget *row(std::initializer_list<QWidget *> widgets, bool stretch = true)
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

// A short edit box for a number.
QWidget *narrow(QWidget *w, int width = 64)
{
    w->setFixedWidth(width);
    return w;
}

// The room a button's caption needs, its widest line and all its lines,
// with the frame around them.
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

// A button of the design's width, wider where its caption needs more room
// (a larger font).
QWidget *buttonWidth(QWidget *button, int width)
{
    button->setFixedWidth(std::max(width, captionRoom(button).width()));
    return button;
}

// A button inside the right end of an edit box.
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

} // namespace

void MainWindow::buildLayout()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);
    outer->setSpacing(6);
    outer->addWidget(buildBanner());
    auto *line = new QFrame;
    line->setObjectName(QStringLiteral("标签31"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 0, 10, 0);
    body->setSpacing(6);
    body->addWidget(buildArticleGroup());
    body->addWidget(buildDatabaseGroup());
    body->addWidget(buildMappingGroup(), 1);
    m_bottomRow = buildBottomRow();
    body->addWidget(m_bottomRow);
    outer->addLayout(body, 1);
    buildConditionGroup();
}

QWidget *MainWindow::buildBanner()
{
    // The background stretches with the window; the picture keeps its size
    // and its place in the row, so the title always starts after it.
    auto *banner = new SvgPicture(QStringLiteral(":/varnel/banner.svg"));
    banner->setObjectName(QStringLiteral("图片框3"));
    banner->setFixedHeight(64);
    auto *h = new QHBoxLayout(banner);
    h->setContentsMargins(18, 6, 14, 6);
    h->setSpacing(4);
    auto *mark = new SvgPicture(QStringLiteral(":/varnel/banner-mark.svg"));
    mark->setObjectName(QStringLiteral("图片框标志"));
    mark->setFixedSize(74, 32);
    h->addWidget(mark, 0, Qt::AlignVCenter);
    h->addSpacing(14);
    const auto title = new QLabel(QStringLiteral("Varnel"));
    title->setObjectName(QStringLiteral("标签标题"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    title->setFont(f);
    title->setStyleSheet(QStringLiteral("color: white;"));
    h->addWidget(title);
    h->addStretch(1);

    struct Entry {
        const char *picture, *link, *icon, *text;
        void (MainWindow::*action)();
    };
    const Entry entries[] = {
        {"图片管理器", "链接管理器", ":/varnel/manager.svg", "管理器", nullptr},
        {"图片新建表", "链接新建表", ":/varnel/newtable.svg", "新建表", nullptr},
        {"图片疑点说明", "链接疑点说明", ":/varnel/help.svg", "疑点说明", &MainWindow::showHelp},
    };
    int index = 0;
    for (const Entry &e : entries) {
        auto *box = new QWidget;
        auto *v = new QVBoxLayout(box);
        v->setContentsMargins(6, 0, 6, 0);
        v->setSpacing(0);
        auto *picture = new QToolButton;
        picture->setObjectName(QString::fromUtf8(e.picture));
        picture->setIcon(svgIcon(QString::fromUtf8(e.icon), 28));
        picture->setIconSize(QSize(28, 28));
        picture->setAutoRaise(true);
        picture->setCursor(Qt::PointingHandCursor);
        auto *link = new PressLabel(QString::fromUtf8(e.text));
        link->setObjectName(QString::fromUtf8(e.link));
        link->setStyleSheet(QStringLiteral("color: white;"));
        link->setAlignment(Qt::AlignHCenter);
        v->addWidget(picture, 0, Qt::AlignHCenter);
        v->addWidget(link, 0, Qt::AlignHCenter);
        h->addWidget(box);
        auto act = [this, index] {
            if (index == 0)
                openManager();
            else if (index == 1)
                openCreateTable();
            else
                showHelp();
        };
        connect(picture, &QToolButton::clicked, this, act);
        connect(link, &PressLabel::pressed, this, act);
        ++index;
    }
    return banner;
}

QWidget *MainWindow::buildArticleGroup()
{
    auto *group = new QGroupBox(QStringLiteral("文章设置(txt;html)"));
    group->setObjectName(QStringLiteral("分组框1"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(8);
    auto *folder = m_form->widgetAs<QLineEdit>("编辑框文章目录");
    embedButton(folder, m_form->widgetAs<QPushButton>("按钮选择目录"));
    grid->addWidget(label("文章目录："), 0, 0);
    grid->addWidget(folder, 0, 1, 1, 5);
    grid->addWidget(label("文件编码："), 1, 0);
    grid->addWidget(m_form->widget("组合框文件编码"), 1, 1);
    grid->addWidget(label("文件类型："), 1, 2);
    // Room for a few patterns whatever the font.
    auto *types = m_form->widget("编辑框文件类型");
    types->setMinimumWidth(types->fontMetrics().horizontalAdvance(QStringLiteral("*.txt|*.html")) + 12);
    grid->addWidget(types, 1, 3);
    grid->addWidget(m_form->widget("选择框乱序导入"), 1, 4);
    grid->addWidget(m_form->widget("选择框遍历子目录"), 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

QWidget *MainWindow::buildDatabaseGroup()
{
    auto *group = new QGroupBox(QStringLiteral("数据库设置(MySQL)"));
    group->setObjectName(QStringLiteral("分组框2"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(8);
    grid->addWidget(label("服务器："), 0, 0);
    grid->addWidget(m_form->widget("编辑框服务器"), 0, 1, 1, 4);
    grid->addWidget(m_form->widget("按钮建立连接"), 0, 5);
    grid->addWidget(label("库名："), 1, 0);
    grid->addWidget(m_form->widget("编辑框库名"), 1, 1);
    grid->addWidget(m_form->widget("按钮库列表"), 1, 2);
    grid->addWidget(label("用户名："), 1, 3);
    grid->addWidget(m_form->widget("编辑框用户名"), 1, 4, 1, 2);
    grid->addWidget(label("表名："), 2, 0);
    grid->addWidget(m_form->widget("编辑框表名"), 2, 1);
    grid->addWidget(m_form->widget("按钮表列表"), 2, 2);
    grid->addWidget(label("密码："), 2, 3);
    grid->addWidget(m_form->widget("编辑框密码"), 2, 4, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    for (const char *name : {"按钮库列表", "按钮表列表"})
        buttonWidth(m_form->widget(name), 52);
    return group;
}

QWidget *MainWindow::buildMappingGroup()
{
    auto *group = new QGroupBox(QStringLiteral("数据字段设置(MySQL.field)"));
    group->setObjectName(QStringLiteral("分组框3"));
    auto *v = new QVBoxLayout(group);
    v->setSpacing(6);
    v->addWidget(row({m_form->widget("按钮读表字段")}, false), 0, Qt::AlignRight);

    m_list = new MappingList(this);
    m_list->setObjectName(QStringLiteral("超级列表框"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("字段名或位置"), QStringLiteral("数据来源"), QStringLiteral("数据配置")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->resizeSection(0, 150);
    m_list->header()->resizeSection(1, 110);
    // A few rows at least, in the list's own font.
    m_list->setMinimumHeight(std::max(96, m_list->fontMetrics().lineSpacing() * 6 + 8));
    m_form->setList(m_list);
    v->addWidget(m_list, 1);

    auto *editor = new QHBoxLayout;
    editor->setSpacing(6);
    editor->addWidget(label("字段名："));
    editor->addWidget(m_form->widget("编辑框字段名"), 1);
    for (const char *name : {"按钮添加", "按钮修改", "按钮删除"})
        editor->addWidget(buttonWidth(m_form->widget(name), 56));
    editor->addSpacing(8);
    editor->addWidget(label("数据来源："));
    editor->addWidget(m_form->widget("组合框数据来源"));
    v->addLayout(editor);

    buildOptionPages();
    v->addWidget(m_pages);
    return group;
}

void MainWindow::buildOptionPages()
{
    auto W = [this](const char *name) { return m_form->widget(name); };
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("选择夹"));
    m_pages->setUsesScrollButtons(true);
    m_pages->setDocumentMode(false);

    auto *pageTitle = label("文件内容中的<title>网页标题</title>");
    auto *folderLabel = label("如“/1/2.txt”的父目录名部分如“1”");
    auto *origin = new QFrame;
    origin->setFrameShape(QFrame::StyledPanel);
    auto *originRow = new QHBoxLayout(origin);
    originRow->setContentsMargins(6, 2, 6, 2);
    for (const char *name : {"单选框现在时", "单选框文件时", "单选框随机时"})
        originRow->addWidget(W(name));

    const std::vector<QWidget *> pages = {
        page({label("文件名如“123.txt”的前缀部分如“123”")}),
        page({label("也就是文章内容，来自于文章目录中的文件")}),
        page({pageTitle, row({label("标签头："), W("编辑框标签头"), label("标签尾："), W("编辑框标签尾")})}),
        page({label("文件内容开头随机数量文字作为内容摘要"),
            row({label("摘要字数："), narrow(W("编辑框摘要字数1")), narrow(W("编辑框摘要字数2"))})}),
        page({label("文件的创建、修改、访问的日期时间"),
            row({W("单选框创建"), W("单选框修改"), W("单选框访问"), label("类型："), W("组合框类型")})}),
        page({row({label("类型："), W("单选框最常用"), W("单选框一般常用"), W("单选框次要常用"), W("选择框转为繁体")}),
            row({label("字数："), narrow(W("编辑框汉字字数1")), narrow(W("编辑框汉字字数2"))})}),
        page({row({label("类型："), W("选择框有数字"), W("选择框有小字母"), W("选择框有大字母"), W("选择框转为全角")}),
            row({label("字数："), narrow(W("编辑框数母字数1")), narrow(W("编辑框数母字数2"))})}),
        page({row({label("表达式："), W("编辑框时间表达式"), buttonWidth(W("按钮问号1"), 28)}, false),
            row({label("年幅度："), narrow(W("编辑框年1")), narrow(W("编辑框年2")), W("选择框当前时间")})}),
        page({row({label("词组："), W("编辑框词组"), buttonWidth(W("按钮输入词组"), 28)}, false),
            row({label("模式："), W("组合框模式"), label("数量："), narrow(W("编辑框数量1")),
                narrow(W("编辑框数量2"))})}),
        page({folderLabel}),
        page({row({label("固定的文本："), W("编辑框固定的文本")}, false)}),
        page({row({label("单位："), W("单选框秒"), W("单选框毫秒"), W("单选框默认")}), row({label("来源："), origin})}),
        page({row({label("起始值："), narrow(W("编辑框起始值"), 90), label("递进值："), narrow(W("编辑框递进值"), 90),
            W("选择框同步")})}),
    };
    const auto labels = m_form->control("组合框数据来源")->items();
    for (std::size_t i = 0; i < pages.size(); ++i)
        m_pages->addTab(pages[i], i < labels.size() ? qs(labels[i]) : QString());
}

QWidget *MainWindow::buildBottomRow()
{
    auto *w = new QWidget;
    auto *h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    auto *importButton = m_form->widget("按钮导入");
    auto *exportButton = m_form->widget("按钮导出");
    // The row is 44 pixels high, or as high as the stacked buttons' captions
    // need; every button fills it.
    for (QWidget *b : {importButton, exportButton}) {
        b->setMinimumHeight(44);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        h->addWidget(b, 1);
    }
    auto *toggle = m_form->widget("按钮导出条件");
    // Wide enough for its other caption too ("关闭\r\n设置").
    buttonWidth(toggle, 56);
    toggle->setMinimumHeight(std::max(44, captionRoom(toggle).height()));
    toggle->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    h->addWidget(toggle);
    auto *stack = new QVBoxLayout;
    stack->setSpacing(2);
    for (const char *name : {"按钮导入配置", "按钮导出配置"}) {
        QWidget *b = m_form->widget(name);
        // Half the row each: the height of the caption, not the style's
        // usual button height.
        b->setMinimumHeight(std::max(21, captionRoom(b).height() - 4));
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
        stack->addWidget(b);
    }
    h->addLayout(stack);
    return w;
}

void MainWindow::buildConditionGroup()
{
    auto W = [this](const char *name) { return m_form->widget(name); };
    m_conditionGroup = new QGroupBox(QStringLiteral("导出条件设置"), this);
    m_conditionGroup->setObjectName(QStringLiteral("分组框导出条件"));
    m_conditionGroup->setAutoFillBackground(true);
    // It opens over other controls: a frame of its own sets it apart, and
    // its title sits inside the frame, on the panel's own background, so
    // that nothing under the panel shows around the title.
    m_conditionGroup->setStyleSheet(
        QStringLiteral("QGroupBox#分组框导出条件 { border: 1px solid palette(dark); border-radius: 3px; margin-top: 0;"
                       " padding-top: 1.6em; background: palette(window); }"
                       "QGroupBox#分组框导出条件::title { subcontrol-origin: padding; subcontrol-position: top left;"
                       " left: 8px; top: 5px; padding: 0 4px; }"));
    auto *grid = new QGridLayout(m_conditionGroup);
    grid->setVerticalSpacing(6);
    grid->addWidget(W("选择框启用导出条件"), 0, 0, 1, 3);
    grid->addWidget(label("字段名："), 1, 0);
    grid->addWidget(W("编辑框条件字段名"), 1, 1, 1, 2);
    grid->addWidget(label("字段值："), 2, 0);
    grid->addWidget(W("编辑框条件字段值"), 2, 1, 1, 2);
    grid->addWidget(label("值比较："), 3, 0);
    auto *compare = new QGridLayout;
    compare->addWidget(W("单选框相等"), 0, 0);
    compare->addWidget(W("单选框不相等"), 0, 1);
    compare->addWidget(W("单选框包含"), 1, 0);
    compare->addWidget(W("单选框不包含"), 1, 1);
    grid->addLayout(compare, 3, 1, 1, 2);
    grid->addWidget(label("多字段："), 4, 0);
    auto *logic = new QFrame;
    logic->setFrameShape(QFrame::StyledPanel);
    auto *logicRow = new QHBoxLayout(logic);
    logicRow->setContentsMargins(6, 2, 6, 2);
    logicRow->addWidget(W("单选框或逻辑"));
    logicRow->addWidget(W("单选框且逻辑"));
    logicRow->addWidget(label("分隔符"));
    logicRow->addWidget(narrow(W("编辑框字段分隔符"), 40));
    grid->addWidget(logic, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    m_conditionGroup->hide();
}

void MainWindow::placeConditionGroup()
{
    if (!m_conditionGroup || !m_bottomRow)
        return;
    const QSize hint = m_conditionGroup->sizeHint();
    const int width = std::max(hint.width(), 330);
    const int height = hint.height();
    const QPoint bottomRight = m_bottomRow->geometry().topRight();
    m_conditionGroup->setGeometry(bottomRight.x() - width + 1, bottomRight.y() - height - 6, width, height);
    m_conditionGroup->raise();
}

} // namespace varnel::gui
