// The main window with what a user or a damaged settings file may give it:
// values out of range, radio groups with nothing ticked, mapping rows of an
// unknown source, a larger font, a window resized with the condition panel
// open or to any width under the banner.
#include "GuiSupport.h"

#include "gui/MainWindow.h"
#include "gui/MappingList.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class MainWindowOddInputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    MySqlConnection m_db;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("settings.ini")); }
    std::unique_ptr<MainWindow> open()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, m_db);
        w->show();
        return w;
    }
    void reopenStore()
    {
        m_settings = std::make_unique<SettingsStore>();
        m_settings->open(settingsPath().toStdString());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        reopenStore();
        test::scriptPrompts();
    }
    void cleanup()
    {
        m_settings.reset();
        m_dir.reset();
        test::verifyPromptsUsed();
    }

    void damagedSettingsKeepTheDesign()
    {
        m_settings->setSection("主界面");
        m_settings->writeNumber("组合框数据来源", 99);
        m_settings->writeNumber("组合框文件编码", -2);
        m_settings->writeText("组合框模式", "many");
        for (const char *radio : {"单选框现在时", "单选框文件时", "单选框随机时", "单选框相等", "单选框不相等",
                 "单选框包含", "单选框不包含"})
            m_settings->writeBool(radio, false);
        m_settings->writeNumber("字段数", 2);
        m_settings->writeText("字段名或位置(1)", "x");
        m_settings->writeText("数据来源(1)", "没有这个来源");
        m_settings->writeText("数据配置(1)", "a┊b┊c┊d┊e┊f┊g");
        m_settings->writeText("字段名或位置(2)", "a&b`c");
        m_settings->writeText("数据来源(2)", "固定文本");
        m_settings->writeText("数据配置(2)", "固定");

        auto w = open();
        QCOMPARE(w->form().control("组合框数据来源")->currentIndex(), 1);
        QCOMPARE(w->optionPages()->currentIndex(), 1);
        QCOMPARE(w->form().control("组合框文件编码")->currentIndex(), 0);
        QVERIFY(w->form().control("组合框模式")->currentIndex() >= 0);
        for (const char *radio : {"单选框现在时", "单选框文件时", "单选框随机时"})
            QVERIFY2(!w->form().control(radio)->isChecked(), radio);
        QCOMPARE(w->form().rowCount(), 2);

        // A row of an unknown source loads as the first source; the other
        // row as it is.
        auto *list = static_cast<MappingList *>(w->mappingList());
        list->makeCurrent(0);
        QCOMPARE(w->form().control("编辑框字段名")->text(), std::string("x"));
        QCOMPARE(w->optionPages()->currentIndex(), w->form().control("组合框数据来源")->currentIndex());
        list->makeCurrent(1);
        QCOMPARE(w->optionPages()->currentIndex(), 10);
        QCOMPARE(w->form().control("编辑框固定的文本")->text(), std::string("固定"));
        QCOMPARE(w->form().control("编辑框字段名")->text(), std::string("a&b`c"));

        // A radio group left with nothing ticked stays so across a restart;
        // ticking one of it then unticks the others.
        w->close();
        w.reset();
        reopenStore();
        w = open();
        QVERIFY(!w->form().control("单选框现在时")->isChecked());
        QVERIFY(!w->form().control("单选框相等")->isChecked());
        w->form().control("单选框文件时")->setChecked(true);
        w->form().control("单选框随机时")->setChecked(true);
        QVERIFY(!w->form().control("单选框文件时")->isChecked());
    }

    void theConditionPanelFollowsTheWindow()
    {
        auto w = open();
        w->form().widgetAs<QPushButton>("按钮导出条件")->click();
        QGroupBox *panel = w->conditionGroup();
        QWidget *toggle = w->form().widget("按钮导出条件");
        for (const QSize size : {QSize(900, 900), w->minimumSizeHint(), QSize(700, 760)}) {
            w->resize(size);
            QApplication::processEvents();
            QVERIFY2(w->rect().contains(panel->geometry()),
                qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
            // Right above the bottom row, its right edge on the row's.
            QVERIFY(panel->geometry().bottom() < toggle->mapTo(w.get(), QPoint(0, 0)).y());
            QCOMPARE(panel->geometry().right(),
                w->form().widget("按钮导出配置")->mapTo(w.get(), QPoint(0, 0)).x()
                    + w->form().widget("按钮导出配置")->width() - 1);
        }
        // Nothing behind the panel shows through it, its title included: on
        // the window it looks as it does alone.
        for (int i = 0; i < 30; ++i) {
            const int row = w->form().appendRow();
            w->form().setCell(row, 0, "行行行行行行行行行行行行行行行行行行行行行行行行行行行行行行行行行行");
            w->form().setCell(row, 2, "配置配置配置配置配置配置配置配置配置配置配置配置配置配置配置配置配置");
        }
        QApplication::processEvents();
        const QImage whole = w->grab().toImage();
        // At a fractional scale the two pictures differ in their rounding.
        if (whole.devicePixelRatio() != std::floor(whole.devicePixelRatio()))
            return;
        const QImage alone = panel->grab().toImage();
        const qreal ratio = whole.devicePixelRatio();
        const QPoint at = (QPointF(panel->pos()) * ratio).toPoint();
        int differing = 0;
        for (int y = 0; y < alone.height(); ++y) {
            for (int x = 0; x < alone.width(); ++x) {
                if (whole.pixel(at.x() + x, at.y() + y) != alone.pixel(x, y))
                    ++differing;
            }
        }
        QVERIFY2(differing * 100 < alone.width() * alone.height(), qPrintable(QString::number(differing)));
    }

    // The banner's picture keeps its size and stays left of the title, however
    // wide the window (and at any scale: run with QT_SCALE_FACTOR).
    void theBannerPictureLeavesTheTitleClear()
    {
        auto w = open();
        QWidget *banner = w->findChild<QWidget *>(QStringLiteral("图片框3"));
        QWidget *picture = w->findChild<QWidget *>(QStringLiteral("图片框标志"));
        auto *title = w->findChild<QLabel *>(QStringLiteral("标签标题"));
        QVERIFY(banner && picture && title);
        QCOMPARE(picture->parentWidget(), banner);
        QCOMPARE(title->parentWidget(), banner);
        QCOMPARE(title->text(), QStringLiteral("Varnel"));
        for (const int width : {644, 800, 1000, 1600}) {
            w->resize(width, w->height());
            QApplication::processEvents();
            const QString at = QString::number(w->width());
            QVERIFY2(picture->isVisible() && banner->rect().contains(picture->geometry()), qPrintable(at));
            QCOMPARE(picture->size(), QSize(74, 32));
            QVERIFY2(picture->geometry().right() < title->geometry().left(), qPrintable(at));
            QVERIFY2(title->width() >= title->sizeHint().width(), qPrintable(at));
            if (width == 1000)
                saveScreenshot(*w, QStringLiteral("main-1000"));
        }
    }

    void captionsFitWithALargerFont()
    {
        const QFont saved = QApplication::font();
        QFont large = saved;
        large.setPointSizeF(saved.pointSizeF() * 1.6);
        QApplication::setFont(large);
        auto w = open();
        w->form().widgetAs<QPushButton>("按钮导出条件")->click();
        QApplication::processEvents();
        saveScreenshot(*w, QStringLiteral("main-large-font"));
        QStringList clipped;
        for (QPushButton *b : w->findChildren<QPushButton *>()) {
            if (!b->isVisible() || b->text().isEmpty())
                continue;
            const QFontMetrics fm(b->font());
            const QStringList lines = b->text().split(QLatin1Char('\n'));
            int textWidth = 0;
            for (const QString &line : lines)
                textWidth = std::max(textWidth, fm.horizontalAdvance(line));
            if (b->width() < textWidth + 4 || b->height() < fm.height() * int(lines.size()))
                clipped << b->objectName();
        }
        QApplication::setFont(saved);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char(' '))));
    }
};

QTEST_MAIN(MainWindowOddInputTest)
#include "MainWindowOddInputTest.moc"
