// The text dialog's sizes as numbers: the byte rule of the prompt, the font
// that outgrows the design, the body sizes a caller asks for, the place on
// the screen.
#include "GuiSupport.h"

#include "gui/PromptMetrics.h"

using namespace varnel;
using namespace varnel::gui;

class PromptMetricsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { test::scriptPrompts(); }
    void cleanup() { test::verifyPromptsUsed(); }

    void promptLinesFollowTheByteRule()
    {
        QCOMPARE(PromptMetrics::promptLines(QString(), 485), 0);
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("一行"), 485), 1);
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("第一行\r\n第二行"), 485), 2); // 24 pixels at 12 a line
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("末尾\r\n"), 485), 1);
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("a\r\n\r\nb"), 485), 3);
        // 300 pixels hold 50 bytes: 60 bytes of Chinese take two lines, 50 one.
        QCOMPARE(PromptMetrics::promptLines(QString(30, QChar(0x4e2d)), 300), 2);
        QCOMPARE(PromptMetrics::promptLines(QString(50, QLatin1Char('a')), 300), 1);
        QCOMPARE(PromptMetrics::promptLines(QString(51, QLatin1Char('a')), 300), 2);
        // A box narrower than a byte still holds one a line.
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("abc"), 2), 3);
        // Only CR LF starts a new piece; a lone LF is counted as a byte.
        QCOMPARE(PromptMetrics::promptLines(QStringLiteral("a\nb"), 485), 1);
    }

    // The design font: 12-pixel lines, 6 pixels a byte. A bigger font takes
    // its own spacing and byte width; the text as laid out is never cut.
    void promptHeightFollowsTheFont()
    {
        const QString twoLines = QStringLiteral("第一行\r\n第二行");
        QCOMPARE(PromptMetrics::promptHeight(twoLines, 485, 10, 10, 0), 24);
        QCOMPARE(PromptMetrics::promptHeight(twoLines, 485, 20, 12, 0), 40);
        QCOMPARE(PromptMetrics::promptHeight(twoLines, 485, 12, 12, 70), 70);
        // 60 bytes of Chinese: two lines at 6 pixels a byte in 300 pixels,
        // three at 11 (a 22-pixel character is two bytes of 11).
        const QString chinese(30, QChar(0x4e2d));
        QCOMPARE(PromptMetrics::promptHeight(chinese, 300, 12, 12, 0), 24);
        QCOMPARE(PromptMetrics::promptHeight(chinese, 300, 12, 22, 0), 36);
        QCOMPARE(PromptMetrics::promptHeight(QString(), 300, 12, 12, 0), 0);
    }

    void sizesFollowTheRequest()
    {
        const PromptMetrics design(0, 0, 0);
        QCOMPARE(design.margin(), 5);
        QCOMPARE(PromptMetrics(-2, 0, 0).margin(), 5);
        QCOMPARE(PromptMetrics(8, 0, 0).margin(), 8);
        QCOMPARE(design.width(), 495);
        QCOMPARE(design.height(100, 30), 393);
        QCOMPARE(design.promptWidth(495), 485);
        QCOMPARE(design.bottomHeight(30), 45);

        // A body 400 x 50: the margins around it, the prompt, a margin under
        // it and the button strip below.
        const PromptMetrics sized(0, 400, 50);
        QCOMPARE(sized.width(), 410);
        QCOMPARE(sized.height(24, 30), 24 + 5 * 5 + 50 + 30);
        QCOMPARE(PromptMetrics(10, 400, 50).width(), 420);
        QCOMPARE(PromptMetrics(1, 0, 0).promptWidth(1), 1);
    }

    void placedAboveTheMiddleOfTheScreen()
    {
        QCOMPARE(PromptMetrics::placeOn(QRect(0, 0, 1600, 1200), QSize(495, 393)), QPoint(552, 388));
        QCOMPARE(PromptMetrics::placeOn(QRect(1600, 0, 1000, 800), QSize(400, 200)), QPoint(1900, 285));
    }
};

QTEST_MAIN(PromptMetricsTest)
#include "PromptMetricsTest.moc"
