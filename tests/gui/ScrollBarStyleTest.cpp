// Scroll bars whose handle a user can find: on a light palette the handle is
// the darkest part of the bar, where the rows shown are, vertical and
// horizontal; a dark palette and other styles are left as they are.
#include "gui/ScrollBarStyle.h"
#include "gui/TestProbe.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>

#include <cstdlib>
#include <optional>

using namespace varnel::gui;

namespace {

// Where the window's own drawing shows the bar's handle.
std::optional<TestProbe::SeenHandle> handleDrawn(QScrollBar *bar)
{
    return TestProbe::handleSeen(bar->grab().toImage(), bar->orientation());
}

// A bar's travel between its arrows, in pixels.
int travel(const QScrollBar *bar)
{
    return bar->orientation() == Qt::Vertical ? bar->height() - 2 * bar->width() : bar->width() - 2 * bar->height();
}

} // namespace

class ScrollBarStyleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The offscreen platform names no style: Fusion, as on a bare
        // window manager.
        QVERIFY(useReadableScrollBars());
        QVERIFY(dynamic_cast<ScrollBarStyle *>(QApplication::style()));
    }

    void theHandleIsWhereTheRowsAre()
    {
        QListWidget list;
        for (int i = 0; i < 60; ++i)
            list.addItem(QStringLiteral("库_%1").arg(i));
        list.resize(220, 240);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QScrollBar *bar = list.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);

        auto top = handleDrawn(bar);
        QVERIFY2(top, "no handle darker than the groove");
        QCOMPARE(top->start, 0);
        QVERIFY(top->length >= 10);

        bar->setValue(bar->maximum() / 2);
        auto middle = handleDrawn(bar);
        QVERIFY(middle && middle->start > top->start + 10);

        bar->setValue(bar->maximum());
        auto bottom = handleDrawn(bar);
        QVERIFY(bottom);
        QVERIFY2(std::abs(bottom->start + bottom->length - travel(bar)) <= 1,
            qPrintable(QStringLiteral("handle ends at %1 of %2").arg(bottom->start + bottom->length).arg(travel(bar))));

        // A bar pressed on its handle is still seen there.
        bar->setValue(0);
        bar->setSliderDown(true);
        auto pressed = handleDrawn(bar);
        bar->setSliderDown(false);
        QVERIFY(pressed && pressed->start == 0);
    }

    void aLongLineScrollsSideways()
    {
        QPlainTextEdit editor;
        editor.setLineWrapMode(QPlainTextEdit::NoWrap);
        editor.setPlainText(QStringLiteral("select '") + QString(400, QLatin1Char('x')) + QStringLiteral("'"));
        editor.resize(360, 140);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QScrollBar *bar = editor.horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        auto left = handleDrawn(bar);
        QVERIFY(left && left->start == 0 && left->length >= 10);
        bar->setValue(bar->maximum());
        auto right = handleDrawn(bar);
        QVERIFY(right && std::abs(right->start + right->length - travel(bar)) <= 1);
    }

    void aDarkPaletteKeepsItsLightHandle()
    {
        QListWidget list;
        for (int i = 0; i < 60; ++i)
            list.addItem(QString::number(i));
        QPalette dark = list.palette();
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            dark.setColor(role, QColor(0x30, 0x30, 0x30));
        dark.setColor(QPalette::Mid, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Dark, QColor(0x10, 0x10, 0x10));
        list.setPalette(dark);
        list.resize(220, 240);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // Fusion's own handle, lighter than its groove: where the handle is,
        // nothing darker than the groove is drawn.
        const QImage image = list.verticalScrollBar()->grab().toImage();
        const QColor groove = image.pixel(image.width() / 2, image.height() - image.width() - 4);
        const QColor handle = image.pixel(image.width() / 2, image.width() + 6);
        QVERIFY2(handle.lightness() > groove.lightness(),
            qPrintable(QStringLiteral("handle %1, groove %2").arg(handle.name(), groove.name())));
    }
};

QTEST_MAIN(ScrollBarStyleTest)
#include "ScrollBarStyleTest.moc"
