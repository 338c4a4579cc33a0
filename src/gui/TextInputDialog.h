#pragma once

#include "gui/PromptMetrics.h"
#include "gui/TextInputRequest.h"

#include <QDialog>
#include <QString>

class QFrame;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace varnel::gui {

// The modal dialog that asks for a text (input mode) or shows a long one
// (info mode). Only one exists at a time.
class TextInputDialog : public QDialog {
    Q_OBJECT

public:
    // Shows the dialog for `request` modally. True when the user confirmed
    // with 确定; *result (when given) then holds the body text. False, with
    // *result untouched, when the user closed it otherwise, in info mode, and
    // at once when a dialog is open already. With Prompts scripted nothing
    // is shown: the request is recorded and the answer is the scripted one.
    static bool run(const TextInputRequest &request, QString *result);

    // The request with the mode's own prompt and title where it asks for
    // them, as the dialog shows it.
    static TextInputRequest withDefaults(TextInputRequest request);

    // The dialog that exists now, or nullptr.
    static TextInputDialog *current();

    // Builds the dialog for `request` without showing it (run() shows it).
    explicit TextInputDialog(const TextInputRequest &request);
    ~TextInputDialog() override;

    bool infoMode() const { return !m_request.wantsResult; }
    bool confirmed() const { return m_confirmed; }
    // What run() gives back once the dialog has closed: true, and the text
    // in *result (when given), when it was confirmed in input mode.
    bool answer(QString *result) const;
    QString resultText() const { return m_result; }
    // The body as program text (CR LF).
    QString bodyText() const;
    void setBodyText(const QString &text);
    bool bodyChanged() const;
    int margin() const { return m_metrics.margin(); }

    static QString defaultPrompt(bool infoMode);
    static QString defaultTitle(bool infoMode);

public slots:
    void restoreInitialText(); // 恢复
    void clearBody(); // 清空
    void pasteClipboard(); // 粘贴
    void appendFileContents(); // 内容
    void appendFileNames(); // 文件名
    void confirm(); // 确定
    void closeWithoutConfirming(); // 取消, 关闭(&G)

    // The title bar's close and Escape: asks before dropping an edit.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildWidgets();
    void applyRequest();
    void sizeAndPlace();
    void updatePromptHeight();
    QStringList chooseFiles(const QString &what);

    TextInputRequest m_request;
    bool m_confirmed = false;
    QString m_result;
    PromptMetrics m_metrics;
    // The body's text just after the initial text was put in: what an
    // unchanged body reads back as.
    QString m_unchangedBody;

    QPlainTextEdit *m_prompt = nullptr;
    QPlainTextEdit *m_body = nullptr;
    QWidget *m_bottom = nullptr;
    QFrame *m_bar = nullptr;
    QPushButton *m_restore = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_paste = nullptr;
    QPushButton *m_fileContents = nullptr;
    QPushButton *m_fileNames = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_extra = nullptr; // the caller's own, when it asks for one
};

} // namespace varnel::gui
