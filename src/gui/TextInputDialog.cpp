#include "gui/TextInputDialog.h"

#include "gui/LayoutParts.h"

#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "text/ArticleFile.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace varnel::gui {
namespace {

TextInputDialog *g_current = nullptr;

const QString kCrLf = QStringLiteral("\r\n");

QString messageTitle()
{
    return QStringLiteral("Varnel：");
}

// The body shows LF; the program's texts break lines with CR LF.
QString toDisplay(QString text)
{
    return text.replace(kCrLf, QStringLiteral("\n"));
}

QString toProgram(QString text)
{
    return text.replace(QLatin1Char('\n'), kCrLf);
}

// The height the prompt's widget lays out `text` in at `width` pixels.
int laidOutHeight(const QString &text, const QFont &font, int width)
{
    qreal height = 0;
    for (const QString &piece : PromptMetrics::pieces(text)) {
        QTextLayout layout(piece, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
    }
    return static_cast<int>(std::ceil(height));
}

std::filesystem::path localPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

TextInputDialog *TextInputDialog::current()
{
    return g_current;
}

bool TextInputDialog::run(const TextInputRequest &request, QString *result)
{
    if (g_current)
        return false;
    if (Prompts::scripted()) {
        const TextInputRequest shown = withDefaults(request);
        const std::optional<QString> answer = Prompts::scriptedText({
            .kind = request.wantsResult ? Prompts::Kind::Text : Prompts::Kind::Info,
            .title = shown.title,
            .text = shown.initialText,
            .prompt = *shown.prompt,
            .dialog = request,
        });
        if (!answer)
            return false;
        if (result)
            *result = *answer;
        return true;
    }
    // On the heap and watched: an owner that goes away while the dialog is
    // open takes the dialog with it.
    QPointer<TextInputDialog> dialog = new TextInputDialog(request);
    dialog->exec();
    if (!dialog)
        return false;
    const bool confirmed = dialog->answer(result);
    delete dialog;
    return confirmed;
}

TextInputRequest TextInputDialog::withDefaults(TextInputRequest request)
{
    const bool info = !request.wantsResult;
    if (!request.prompt)
        request.prompt = QString();
    else if (request.prompt->isEmpty())
        request.prompt = defaultPrompt(info);
    if (request.title.isEmpty())
        request.title = defaultTitle(info);
    return request;
}

bool TextInputDialog::answer(QString *result) const
{
    if (!m_confirmed || infoMode())
        return false;
    if (result)
        *result = m_result;
    return true;
}

QString TextInputDialog::defaultPrompt(bool infoMode)
{
    return infoMode ? QStringLiteral("以下为信息详情：") : QStringLiteral("请输入数据：");
}

QString TextInputDialog::defaultTitle(bool infoMode)
{
    return infoMode ? QStringLiteral("信息：") : QStringLiteral("输入：");
}

TextInputDialog::TextInputDialog(const TextInputRequest &request)
    : QDialog(request.parent)
    , m_request(withDefaults(request))
    , m_metrics(m_request.margin, m_request.textWidth, m_request.textHeight)
{
    g_current = this;

    buildWidgets();
    applyRequest();
    sizeAndPlace();
}

TextInputDialog::~TextInputDialog()
{
    if (g_current == this)
        g_current = nullptr;
}

void TextInputDialog::buildWidgets()
{
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    const int m = m_metrics.margin();

    m_prompt = new QPlainTextEdit(this);
    m_prompt->setObjectName(QStringLiteral("编辑框提示"));
    m_prompt->setReadOnly(true);
    m_prompt->setFrameShape(QFrame::NoFrame);
    m_prompt->setFocusPolicy(Qt::ClickFocus);
    m_prompt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_prompt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_prompt->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_prompt->document()->setDocumentMargin(0);
    // A caption, not an input: it takes the window's background.
    QPalette palette = m_prompt->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    m_prompt->setPalette(palette);

    m_body = new QPlainTextEdit(this);
    m_body->setObjectName(QStringLiteral("编辑框正文"));
    m_body->setMinimumSize(40, 20);

    m_bottom = new QWidget(this);
    m_bar = new QFrame(m_bottom);
    m_bar->setObjectName(QStringLiteral("外形框"));
    m_restore = makeButton(QStringLiteral("按钮恢复"), QStringLiteral("恢复"), m_bar);
    m_clear = makeButton(QStringLiteral("按钮清空"), QStringLiteral("清空"), m_bar);
    m_paste = makeButton(QStringLiteral("按钮粘贴"), QStringLiteral("粘贴"), m_bar);
    m_fileContents = makeButton(QStringLiteral("按钮文件"), QStringLiteral("内容"), m_bar);
    m_fileNames = makeButton(QStringLiteral("按钮文件名"), QStringLiteral("文件名"), m_bar);
    m_ok = makeButton(QStringLiteral("按钮确定"), QStringLiteral("确定"), m_bottom);
    m_cancel = makeButton(QStringLiteral("按钮取消"), QStringLiteral("取消"), m_bottom);
    m_extra = makeButton(QStringLiteral("按钮附加"), QString(), m_bottom);
    m_extra->setVisible(false);
    m_fileContents->setVisible(false);
    m_fileNames->setVisible(false);

    auto *barLayout = new QHBoxLayout(m_bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(2);
    for (QPushButton *b : {m_restore, m_clear, m_paste, m_fileContents, m_fileNames})
        barLayout->addWidget(b);

    // The bar fills the bottom strip; 确定 and 取消 touch each other at its
    // right, vertically centred on it.
    auto *bottomLayout = new QHBoxLayout(m_bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);
    bottomLayout->addWidget(m_bar, 0, Qt::AlignVCenter);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(m_extra, 0, Qt::AlignVCenter);
    bottomLayout->addWidget(m_ok, 0, Qt::AlignVCenter);
    bottomLayout->addWidget(m_cancel, 0, Qt::AlignVCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(m, m, m, 0);
    layout->setSpacing(0);
    layout->addWidget(m_prompt);
    layout->addSpacing(m);
    layout->addWidget(m_body, 1);
    layout->addWidget(m_bottom); // right below the body, no gap

    connect(m_restore, &QPushButton::clicked, this, &TextInputDialog::restoreInitialText);
    connect(m_clear, &QPushButton::clicked, this, &TextInputDialog::clearBody);
    connect(m_paste, &QPushButton::clicked, this, &TextInputDialog::pasteClipboard);
    connect(m_fileContents, &QPushButton::clicked, this, &TextInputDialog::appendFileContents);
    connect(m_fileNames, &QPushButton::clicked, this, &TextInputDialog::appendFileNames);
    connect(m_ok, &QPushButton::clicked, this, &TextInputDialog::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &TextInputDialog::closeWithoutConfirming);
    connect(m_extra, &QPushButton::clicked, this, [this] {
        if (m_request.extra)
            m_request.extra->action(this);
    });
}

void TextInputDialog::applyRequest()
{
    const FileButtons files = m_request.fileButtons;
    m_fileContents->setVisible(files == FileButtons::Contents || files == FileButtons::Both);
    m_fileNames->setVisible(files == FileButtons::Names || files == FileButtons::Both);

    m_prompt->setPlainText(toDisplay(*m_request.prompt));
    setWindowTitle(m_request.title);
    m_body->setPlainText(toDisplay(m_request.initialText));
    m_unchangedBody = m_body->toPlainText();
    m_body->setReadOnly(m_request.editMode == BodyEdit::ReadOnly);
    if (m_request.singleLine)
        m_body->installEventFilter(this);

    if (infoMode()) {
        m_ok->setVisible(false);
        m_bar->setVisible(false);
        m_body->setReadOnly(true);
        QFont bold = m_prompt->font();
        bold.setBold(true);
        m_prompt->setFont(bold);
        m_cancel->setText(QStringLiteral("关闭(&G)"));
        m_cancel->setDefault(true);
    }
    // A text only read is still gone through from the keyboard: Ctrl+Home,
    // Ctrl+End, selecting with Shift.
    if (m_body->isReadOnly())
        m_body->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (m_request.scrollBars) {
        m_body->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    // Sizes are taken as the style will show them.
    ensurePolished();
    for (QPushButton *b : {m_restore, m_clear, m_paste, m_fileContents, m_fileNames})
        fitWidth(b, 0);
    const int dialogButton = QFontMetrics(m_ok->font()).height() * 4;
    fitWidth(m_ok, dialogButton);
    fitWidth(m_cancel, dialogButton);
    m_extra->setVisible(m_request.extra.has_value());
    if (m_request.extra) {
        m_extra->setText(m_request.extra->caption);
        fitWidth(m_extra, dialogButton);
    }
    m_confirmed = false;
    m_result.clear();
}

void TextInputDialog::sizeAndPlace()
{
    // The design size is the client area; textWidth and textHeight give the
    // body its size within the margins.
    const int buttonHeight = m_ok->sizeHint().height();
    m_bottom->setFixedHeight(m_metrics.bottomHeight(buttonHeight));
    resize(m_metrics.width(), PromptMetrics::kDesignSize.height());
    updatePromptHeight();
    resize(m_metrics.width(), m_metrics.height(m_prompt->height(), buttonHeight));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(PromptMetrics::placeOn(screen->geometry(), size()));
    if (m_request.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TextInputDialog::updatePromptHeight()
{
    // A bigger font than the design's gets its own line height and byte
    // width, and the prompt is never cut shorter than the text as laid out.
    const QString text = toProgram(m_prompt->toPlainText());
    const int width = m_metrics.promptWidth(this->width());
    const QFontMetrics fm(m_prompt->font());
    const int height = PromptMetrics::promptHeight(text, width, fm.lineSpacing(),
        fm.horizontalAdvance(QStringLiteral("中")), laidOutHeight(toDisplay(text), m_prompt->font(), width));
    if (m_prompt->height() != height || m_prompt->minimumHeight() != height)
        m_prompt->setFixedHeight(height);
}

bool TextInputDialog::eventFilter(QObject *watched, QEvent *event)
{
    // A name has no line break: Enter answers the dialog, as in any
    // one-line box.
    if (watched == m_body && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            confirm();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TextInputDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    updatePromptHeight();
}

void TextInputDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_body->setFocus(Qt::OtherFocusReason);
}

void TextInputDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updatePromptHeight();
}

QString TextInputDialog::bodyText() const
{
    return toProgram(m_body->toPlainText());
}

void TextInputDialog::setBodyText(const QString &text)
{
    // Through a cursor, so that the user can undo it.
    QTextCursor cursor(m_body->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(toDisplay(text));
}

bool TextInputDialog::bodyChanged() const
{
    return m_body->toPlainText() != m_unchangedBody;
}

void TextInputDialog::restoreInitialText()
{
    if (m_request.initialText.isEmpty()) {
        Prompts::message(this, QStringLiteral("启动值为空！"), messageTitle(), MessageIcon::Information);
        return;
    }
    setBodyText(m_request.initialText);
}

void TextInputDialog::clearBody()
{
    setBodyText(QString());
}

void TextInputDialog::pasteClipboard()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    setBodyText(clipboard ? clipboard->text() : QString());
}

QStringList TextInputDialog::chooseFiles(const QString &what)
{
    const std::vector<FileFilter> filters{
        {QStringLiteral("文本文本"), QStringLiteral("*.txt;*.text;*.ini;*.htn;*.html")},
        {QStringLiteral("全部文件"), QStringLiteral("*")},
    };
    return Prompts::openFiles(this, QStringLiteral("选择多个文件，将导入其") + what, QString(), filters);
}

void TextInputDialog::appendFileContents()
{
    for (const QString &path : chooseFiles(QStringLiteral("文件内容"))) {
        // Decoded as an article is, so that GBK and UTF-8 files alike arrive
        // as their text; it ends at a NUL.
        const DecodedArticle article = readArticle(localPath(path), ArticleEncoding::Detect);
        QTextCursor cursor(m_body->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(toDisplay(qs(article.text) + kCrLf));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void TextInputDialog::appendFileNames()
{
    for (const QString &path : chooseFiles(QStringLiteral("文件路径"))) {
        QTextCursor cursor(m_body->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(toDisplay(path + kCrLf));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void TextInputDialog::confirm()
{
    if (infoMode())
        return;
    // An untouched body gives back the caller's text exactly, whatever the
    // edit box made of its line breaks.
    m_result = bodyChanged() ? bodyText() : m_request.initialText;
    m_confirmed = true;
    accept();
}

void TextInputDialog::closeWithoutConfirming()
{
    QDialog::reject();
}

void TextInputDialog::reject()
{
    if (!infoMode() && bodyChanged()
        && !Prompts::yesNo(
            this, QStringLiteral("内容已被改动，是否要放弃？"), messageTitle(), MessageIcon::Information))
        return;
    QDialog::reject();
}

} // namespace varnel::gui
