// The text dialog: its two modes, its buttons, the question before an edit is
// dropped, its sizes, and what it answers when scripted.
#include "GuiSupport.h"

#include "gui/HelpTexts.h"
#include "gui/TextInputDialog.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace varnel;
using namespace varnel::gui;

namespace {

QPlainTextEdit *body(const TextInputDialog &d)
{
    return d.findChild<QPlainTextEdit *>(QStringLiteral("编辑框正文"));
}

QPlainTextEdit *prompt(const TextInputDialog &d)
{
    return d.findChild<QPlainTextEdit *>(QStringLiteral("编辑框提示"));
}

QPushButton *button(const TextInputDialog &d, const char16_t *name)
{
    return d.findChild<QPushButton *>(QString::fromUtf16(name));
}

TextInputRequest inputRequest(const QString &initial = {})
{
    TextInputRequest r;
    r.initialText = initial;
    r.wantsResult = true;
    return r;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TextInputDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void promptAndTitleDefaults();
    void infoModeShowsOnlyTheCloseButton();
    void infoModeNeverConfirms();
    void aTextOnlyReadIsGoneThroughByKeyboard();
    void restoreWithoutInitialTextSaysSo();
    void clearAndPasteReplaceTheBody();
    void fileContentsArriveAsText();
    void fileNamesAreAppendedLineByLine();
    void confirmKeepsCrLf();
    void enterConfirmsAOneLineAnswer();
    void cancelAsksNothing();
    void closingAnEditAsks_data();
    void closingAnEditAsks();
    void closingWithoutAnEditAsksNothing();
    void onlyOneAtATime();
    void scriptedRunsShowNothing();
    void promptHeightFollowsTheFont();
    void sizesFollowTheRequest();
    void screenshots();
};

void TextInputDialogTest::init()
{
    test::scriptPrompts();
}

void TextInputDialogTest::cleanup()
{
    test::verifyPromptsUsed();
}

void TextInputDialogTest::promptAndTitleDefaults()
{
    for (const bool input : {true, false}) {
        TextInputRequest r;
        r.wantsResult = input;
        {
            TextInputDialog d(r);
            QCOMPARE(prompt(d)->toPlainText(), QString());
            QCOMPARE(d.windowTitle(), input ? QStringLiteral("输入：") : QStringLiteral("信息："));
        }
        r.prompt = QString();
        r.title = QStringLiteral("标题");
        {
            TextInputDialog d(r);
            QCOMPARE(
                prompt(d)->toPlainText(), input ? QStringLiteral("请输入数据：") : QStringLiteral("以下为信息详情："));
            QCOMPARE(prompt(d)->font().bold(), !input);
            QCOMPARE(d.windowTitle(), QStringLiteral("标题"));
        }
    }
}

void TextInputDialogTest::infoModeShowsOnlyTheCloseButton()
{
    TextInputRequest r;
    r.initialText = QStringLiteral("详情");
    r.wantsResult = false;
    r.fileButtons = FileButtons::Both;
    TextInputDialog d(r);
    d.show();
    QVERIFY(body(d)->isReadOnly());
    QVERIFY(!d.findChild<QFrame *>(QStringLiteral("外形框"))->isVisible());
    QStringList visible;
    for (const QPushButton *b : d.findChildren<QPushButton *>())
        if (b->isVisible())
            visible << b->text();
    QCOMPARE(visible, QStringList{QStringLiteral("关闭(&G)")});
    QVERIFY(button(d, u"按钮取消")->isDefault());
    QCOMPARE(d.focusWidget(), body(d));
}

void TextInputDialogTest::infoModeNeverConfirms()
{
    TextInputRequest r;
    r.initialText = QStringLiteral("详情");
    r.wantsResult = false;
    QString result = QStringLiteral("不变");
    TextInputDialog d(r);
    d.show();
    d.confirm();
    button(d, u"按钮取消")->click();
    QVERIFY(!d.isVisible());
    QVERIFY(!d.answer(&result));
    QCOMPARE(result, QStringLiteral("不变"));
    QVERIFY(Prompts::records().empty());
}

void TextInputDialogTest::aTextOnlyReadIsGoneThroughByKeyboard()
{
    TextInputRequest r;
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("第 %1 行").arg(i);
    r.initialText = lines.join(QStringLiteral("\r\n"));
    r.wantsResult = false;
    TextInputDialog d(r);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QScrollBar *bar = body(d)->verticalScrollBar();
    QTest::keyClick(body(d), Qt::Key_End, Qt::ControlModifier);
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QTest::keyClick(body(d), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
    QVERIFY(body(d)->isReadOnly());
}

void TextInputDialogTest::restoreWithoutInitialTextSaysSo()
{
    TextInputDialog empty(inputRequest());
    body(empty)->setPlainText(QStringLiteral("新"));
    button(empty, u"按钮恢复")->click();
    QCOMPARE(Prompts::records().size(), std::size_t(1));
    const Prompts::Record &m = Prompts::records().front();
    QCOMPARE(m.kind, Prompts::Kind::Message);
    QCOMPARE(m.text, QStringLiteral("启动值为空！"));
    QCOMPARE(m.title, QStringLiteral("Varnel："));
    QCOMPARE(m.icon, MessageIcon::Information);
    QCOMPARE(empty.bodyText(), QStringLiteral("新"));

    TextInputDialog given(inputRequest(QStringLiteral("甲\r\n乙")));
    given.clearBody();
    button(given, u"按钮恢复")->click();
    QCOMPARE(given.bodyText(), QStringLiteral("甲\r\n乙"));
    QVERIFY(!given.bodyChanged());
}

void TextInputDialogTest::clearAndPasteReplaceTheBody()
{
    TextInputDialog d(inputRequest(QStringLiteral("原文")));
    button(d, u"按钮清空")->click();
    QCOMPARE(d.bodyText(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("剪贴\r\n板"));
    button(d, u"按钮粘贴")->click();
    QCOMPARE(d.bodyText(), QStringLiteral("剪贴\r\n板"));
    QGuiApplication::clipboard()->clear();
    button(d, u"按钮粘贴")->click();
    QCOMPARE(d.bodyText(), QString());
}

void TextInputDialogTest::fileContentsArriveAsText()
{
    QTemporaryDir dir;
    const QString gbk = dir.filePath(QStringLiteral("gbk.txt"));
    const QString utf8 = dir.filePath(QStringLiteral("utf8.txt"));
    QVERIFY(writeBytes(gbk, QByteArray("\xd6\xd0\xce\xc4\xb2\xe2\xca\xd4"))); // 中文测试 in GBK
    QVERIFY(writeBytes(utf8, QStringLiteral("汉字").toUtf8()));
    TextInputRequest r = inputRequest(QStringLiteral("前\r\n"));
    r.fileButtons = FileButtons::Contents;
    TextInputDialog d(r);
    d.show();
    QVERIFY(button(d, u"按钮文件")->isVisible());
    QVERIFY(!button(d, u"按钮文件名")->isVisible());
    Prompts::queueFiles({gbk, utf8});
    button(d, u"按钮文件")->click();
    QCOMPARE(d.bodyText(), QStringLiteral("前\r\n中文测试\r\n汉字\r\n"));
    QCOMPARE(Prompts::records().back().kind, Prompts::Kind::OpenFiles);
    QCOMPARE(Prompts::records().back().title, QStringLiteral("选择多个文件，将导入其文件内容"));
}

void TextInputDialogTest::fileNamesAreAppendedLineByLine()
{
    TextInputRequest r = inputRequest(QStringLiteral("开始"));
    r.fileButtons = FileButtons::Names;
    TextInputDialog d(r);
    d.show();
    QVERIFY(!button(d, u"按钮文件")->isVisible());
    Prompts::queueFiles({QStringLiteral("/a/一.txt"), QStringLiteral("/b"), QStringLiteral("/c d")});
    button(d, u"按钮文件名")->click();
    QCOMPARE(d.bodyText(), QStringLiteral("开始/a/一.txt\r\n/b\r\n/c d\r\n"));
    QCOMPARE(Prompts::records().back().title, QStringLiteral("选择多个文件，将导入其文件路径"));
    // A cancelled dialog appends nothing.
    button(d, u"按钮文件名")->click();
    QCOMPARE(d.bodyText(), QStringLiteral("开始/a/一.txt\r\n/b\r\n/c d\r\n"));
}

void TextInputDialogTest::confirmKeepsCrLf()
{
    QString result;
    TextInputDialog edited(inputRequest(QStringLiteral("一\r\n二")));
    edited.show();
    body(edited)->moveCursor(QTextCursor::End);
    QTest::keyClick(body(edited), Qt::Key_Return);
    QTest::keyClicks(body(edited), QStringLiteral("3"));
    button(edited, u"按钮确定")->click();
    QVERIFY(!edited.isVisible());
    QVERIFY(edited.answer(&result));
    QCOMPARE(result, QStringLiteral("一\r\n二\r\n3"));
    // Untouched, the caller's own text comes back, line breaks and all.
    TextInputDialog untouched(inputRequest(QStringLiteral("a\nb\r\nc")));
    untouched.show();
    button(untouched, u"按钮确定")->click();
    QVERIFY(untouched.answer(&result));
    QCOMPARE(result, QStringLiteral("a\nb\r\nc"));
}

void TextInputDialogTest::enterConfirmsAOneLineAnswer()
{
    TextInputRequest request = inputRequest(QStringLiteral("newdb"));
    request.singleLine = true;
    QString result;
    {
        TextInputDialog d(request);
        d.show();
        d.setBodyText(QString());
        QTest::keyClicks(body(d), QStringLiteral("h1db"));
        QTest::keyClick(body(d), Qt::Key_Return);
        // Had Return broken the line, the dialog would still be open here.
        QVERIFY(!d.isVisible());
        QVERIFY(d.answer(&result));
        QCOMPARE(result, QStringLiteral("h1db"));
    }
    TextInputDialog d(request);
    d.show();
    QTest::keyClick(body(d), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!d.isVisible());
    QVERIFY(d.answer(&result));
    QCOMPARE(result, QStringLiteral("newdb"));
}

void TextInputDialogTest::cancelAsksNothing()
{
    QString result = QStringLiteral("旧");
    TextInputDialog d(inputRequest(QStringLiteral("x")));
    d.show();
    d.setBodyText(QStringLiteral("改过"));
    button(d, u"按钮取消")->click();
    QVERIFY(!d.isVisible());
    QVERIFY(!d.answer(&result));
    QCOMPARE(result, QStringLiteral("旧"));
    QVERIFY(Prompts::records().empty());
}

void TextInputDialogTest::closingAnEditAsks_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("title bar") << false;
    QTest::newRow("Escape") << true;
}

void TextInputDialogTest::closingAnEditAsks()
{
    QFETCH(bool, escape);
    TextInputDialog d(inputRequest(QStringLiteral("x")));
    d.show();
    const auto closeIt = [&] {
        if (escape)
            QTest::keyClick(body(d), Qt::Key_Escape);
        else
            d.close();
    };
    QTest::keyClicks(body(d), QStringLiteral("y"));
    Prompts::queueAnswer(false);
    closeIt();
    QVERIFY(d.isVisible());
    QCOMPARE(d.bodyText(), QStringLiteral("yx"));
    QCOMPARE(Prompts::records().size(), std::size_t(1));
    const Prompts::Record &q = Prompts::records().front();
    QCOMPARE(q.kind, Prompts::Kind::YesNo);
    QCOMPARE(q.text, QStringLiteral("内容已被改动，是否要放弃？"));
    QCOMPARE(q.title, QStringLiteral("Varnel："));
    QCOMPARE(q.icon, MessageIcon::Information);

    Prompts::queueAnswer(true);
    closeIt();
    QVERIFY(!d.isVisible());
    QVERIFY(!d.confirmed());
    QCOMPARE(d.result(), int(QDialog::Rejected));
}

void TextInputDialogTest::closingWithoutAnEditAsksNothing()
{
    TextInputDialog d(inputRequest(QStringLiteral("x")));
    d.show();
    d.close();
    QVERIFY(!d.isVisible());
    TextInputRequest info = inputRequest(QStringLiteral("x"));
    info.wantsResult = false;
    TextInputDialog shown(info);
    shown.show();
    shown.setBodyText(QStringLiteral("y"));
    QTest::keyClick(&shown, Qt::Key_Escape);
    QVERIFY(!shown.isVisible());
    QVERIFY(Prompts::records().empty());
}

void TextInputDialogTest::onlyOneAtATime()
{
    QString result = QStringLiteral("旧");
    Prompts::queueText(QStringLiteral("scripted"));
    {
        TextInputDialog open(inputRequest(QStringLiteral("x")));
        open.show();
        QCOMPARE(TextInputDialog::current(), &open);
        // Refused at once, scripted or not: nothing is recorded or answered.
        QVERIFY(!TextInputDialog::run(inputRequest(QStringLiteral("y")), &result));
        QCOMPARE(result, QStringLiteral("旧"));
        QVERIFY(Prompts::records().empty());
    }
    QCOMPARE(TextInputDialog::current(), nullptr);
    QVERIFY(TextInputDialog::run(inputRequest(QStringLiteral("y")), &result));
    QCOMPARE(result, QStringLiteral("scripted"));
}

// Scripted, run() shows nothing: it records the request as the dialog
// would show it and gives the scripted answer; info mode takes none.
void TextInputDialogTest::scriptedRunsShowNothing()
{
    TextInputRequest r = inputRequest(QStringLiteral("起始"));
    r.prompt = QString();
    r.singleLine = true;
    QString result = QStringLiteral("旧");
    Prompts::queueTextCancelled();
    Prompts::queueText(QStringLiteral("新\r\n"));
    QVERIFY(!TextInputDialog::run(r, &result));
    QCOMPARE(result, QStringLiteral("旧"));
    QVERIFY(TextInputDialog::run(r, &result));
    QCOMPARE(result, QStringLiteral("新\r\n"));
    // Nothing queued: closed without confirming.
    QVERIFY(!TextInputDialog::run(r, &result));
    QCOMPARE(test::recordedCount(Prompts::Kind::Text), 3);
    const Prompts::Record shown = Prompts::records().front();
    QCOMPARE(shown.title, QStringLiteral("输入："));
    QCOMPARE(shown.text, QStringLiteral("起始"));
    QCOMPARE(shown.prompt, QStringLiteral("请输入数据："));
    QVERIFY(shown.dialog.singleLine);
    QVERIFY(Prompts::messages().isEmpty());

    TextInputRequest info;
    info.initialText = QStringLiteral("详情");
    info.wantsResult = false;
    Prompts::queueText(QStringLiteral("never taken"));
    QVERIFY(!TextInputDialog::run(info, &result));
    QCOMPARE(Prompts::records().back().kind, Prompts::Kind::Info);
    QCOMPARE(Prompts::records().back().title, QStringLiteral("信息："));
    QCOMPARE(Prompts::records().back().prompt, QString());
    QVERIFY(!Prompts::records().back().dialog.prompt);
    QCOMPARE(Prompts::takeUnused(), QStringList{QStringLiteral("text dialog confirmed with \"never taken\"")});
    QCOMPARE(result, QStringLiteral("新\r\n"));
    QCOMPARE(TextInputDialog::current(), nullptr);
}

void TextInputDialogTest::promptHeightFollowsTheFont()
{
    TextInputRequest r = inputRequest();
    r.prompt = QStringLiteral("第一行\r\n第二行");
    TextInputDialog d(r);
    const int line = std::max(12, prompt(d)->fontMetrics().lineSpacing());
    QCOMPARE(prompt(d)->height(), 2 * line);
}

void TextInputDialogTest::sizesFollowTheRequest()
{
    TextInputRequest r = inputRequest();
    TextInputDialog design(r);
    QCOMPARE(design.size(), QSize(495, 393));
    QCOMPARE(design.margin(), 5);
    r.margin = -2;
    QCOMPARE(TextInputDialog(r).margin(), 5);

    r.margin = 0;
    r.prompt = QString();
    r.textWidth = 400;
    r.textHeight = 50;
    TextInputDialog sized(r);
    sized.show();
    QCOMPARE(sized.width(), 410);
    QTRY_COMPARE(body(sized)->height(), 50);
    QCOMPARE(body(sized)->width(), 400);
    QCOMPARE(body(sized)->x(), 5);
    QCOMPARE(prompt(sized)->y(), 5);
    QCOMPARE(body(sized)->y(), prompt(sized)->height() + 10);
    // 确定 and 取消 touch, 取消 a margin from the right edge.
    const QPushButton *ok = button(sized, u"按钮确定");
    const QPushButton *cancel = button(sized, u"按钮取消");
    QCOMPARE(cancel->mapTo(&sized, QPoint(cancel->width(), 0)).x(), 410 - 5);
    QCOMPARE(ok->geometry().right() + 1, cancel->x());
    // The bar starts right below the body, a margin from the left edge.
    const QWidget *bar = sized.findChild<QFrame *>(QStringLiteral("外形框"));
    QCOMPARE(bar->mapTo(&sized, QPoint(0, 0)).x(), 5);
    QVERIFY(bar->mapTo(&sized, QPoint(0, 0)).y() >= body(sized)->geometry().bottom());
}

// With VARNEL_SCREENSHOT_DIR set, pictures of the dialog in both modes go
// there, named after QT_SCALE_FACTOR, for a person to look at.
void TextInputDialogTest::screenshots()
{
    const QString dir = qEnvironmentVariable("VARNEL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("VARNEL_SCREENSHOT_DIR is not set");
    QDir().mkpath(dir);
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    const auto save = [&](const TextInputRequest &r, const QString &name) {
        TextInputDialog d(r);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.grab().save(dir + QStringLiteral("/text-dialog-%1-x%2.png").arg(name, scale)));
    };
    TextInputRequest input = inputRequest(QStringLiteral("词组一|词组二\r\n第二行的词组"));
    input.prompt = QStringLiteral("请输入将被随机调用的词组列表，可以使用|隔开多个词组，也可以一行一个：");
    input.fileButtons = FileButtons::Both;
    save(input, QStringLiteral("input"));
    input.prompt = QStringLiteral("输入要新建库的名称(不推荐中文库名)：");
    input.initialText = QStringLiteral("newdb");
    input.fileButtons = FileButtons::None;
    input.textHeight = 50;
    save(input, QStringLiteral("input-small"));
    TextInputRequest help;
    help.initialText = helpText();
    help.title = QStringLiteral("疑点说明");
    help.wantsResult = false;
    save(help, QStringLiteral("help"));
    TextInputRequest failed = help;
    failed.initialText = connectionHelpText();
    failed.title = QStringLiteral("连接到MySQL失败");
    failed.prompt = QStringLiteral(
        "请检查服务器地址、用户名、密码是否有误，或该服务器是否限制远程连接（也就是只能在服务器上连接）！");
    save(failed, QStringLiteral("connect-failed"));
}

QTEST_MAIN(TextInputDialogTest)
#include "TextInputDialogTest.moc"
