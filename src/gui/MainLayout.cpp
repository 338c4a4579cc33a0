// The main window's layout: the banner, the article and database groups, the
// field mapping, the bottom row of buttons and the export-condition panel
// that opens over the lower right.
#include "gui/MainWindow.h"

#include "form/MainControls.h"
#include "gui/EncryptionDialog.h"
#include "gui/ExportConditionPanel.h"
#include "gui/LayoutParts.h"
#include "gui/MappingEditorPanel.h"
#include "gui/MouseButtons.h"
#include "gui/QtText.h"
#include "gui/RunController.h"
#include "gui/SvgPicture.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {
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
    m_mapping = new MappingEditorPanel(*m_form, [this](std::string_view name) { m_runs->host().focus(name); });
    body->addWidget(m_mapping, 1);
    QWidget *bottomRow = buildBottomRow();
    body->addWidget(bottomRow);
    outer->addLayout(body, 1);
    m_conditions = new ExportConditionPanel(*m_form, *this, *bottomRow);
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
    auto *folder = m_form->widgetAs<QLineEdit>(ctl::kFolder);
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
    // The encryption button ends the server's row: it belongs to the
    // server, and its mark is seen beside the address.
    auto *server = new QHBoxLayout;
    server->setSpacing(4);
    server->addWidget(m_form->widget(ctl::kServer), 1);
    m_encryptionButton = new QPushButton;
    m_encryptionButton->setObjectName(QStringLiteral("按钮加密"));
    m_encryptionButton->setAutoDefault(false);
    int widest = 0;
    for (const QString &caption : encryptionButtonCaptions()) {
        m_encryptionButton->setText(caption);
        widest = std::max(widest, captionRoom(m_encryptionButton).width());
    }
    m_encryptionButton->setFixedWidth(std::max(52, widest));
    server->addWidget(m_encryptionButton);
    grid->addLayout(server, 0, 1, 1, 4);
    grid->addWidget(m_form->widget(ctl::kConnectButton), 0, 5);
    grid->addWidget(label("库名："), 1, 0);
    grid->addWidget(m_form->widget(ctl::kDatabase), 1, 1);
    grid->addWidget(m_form->widget(ctl::kDatabaseListButton), 1, 2);
    grid->addWidget(label("用户名："), 1, 3);
    grid->addWidget(m_form->widget(ctl::kUser), 1, 4, 1, 2);
    grid->addWidget(label("表名："), 2, 0);
    grid->addWidget(m_form->widget(ctl::kTable), 2, 1);
    grid->addWidget(m_form->widget(ctl::kTableListButton), 2, 2);
    grid->addWidget(label("密码："), 2, 3);
    grid->addWidget(m_form->widget(ctl::kPassword), 2, 4);
    QWidget *notStored = m_form->widget(ctl::kPasswordNotStored);
    notStored->setToolTip(QStringLiteral("勾选后，设置文件和导出的配置文件中不保存密码（每次启动后需重新输入，"
                                         "或在命令行使用 --password-file、MYSQL_PWD 或选项文件）"));
    grid->addWidget(notStored, 2, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    for (std::string_view name : {ctl::kDatabaseListButton, ctl::kTableListButton})
        buttonWidth(m_form->widget(name), 52);
    // The encryption has no boxes on the window: the 加密.. dialog fills
    // them, and the settings file and configuration files keep them.
    for (std::string_view name : {ctl::kSslMode, ctl::kSslCa, ctl::kSslCert, ctl::kSslKey})
        m_form->widget(name)->hide();
    // Along the rows with Tab: the button after the server, the check box
    // after the password.
    setTabOrder(m_form->widget(ctl::kServer), m_encryptionButton);
    setTabOrder(m_form->widget(ctl::kPassword), notStored);
    return group;
}

QWidget *MainWindow::buildBottomRow()
{
    auto *w = new QWidget;
    auto *h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    auto *importButton = m_form->widget(ctl::kImportButton);
    auto *exportButton = m_form->widget(ctl::kExportButton);
    // The row is 44 pixels high, or as high as the stacked buttons' captions
    // need; every button fills it.
    for (QWidget *b : {importButton, exportButton}) {
        b->setMinimumHeight(44);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        h->addWidget(b, 1);
    }
    auto *toggle = m_form->widget(ctl::kConditionButton);
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

} // namespace varnel::gui
