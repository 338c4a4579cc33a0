#pragma once

#include "util/MessageHost.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace varnel::gui {

// One file-dialog filter: the label the user sees and the patterns it
// matches (";"-separated). "全部文件(*.*)" matches "*", so that names without
// a dot are shown too.
struct FileFilter {
    QString label;
    QString patterns;
};

// Every message box, question and file or folder dialog of the program goes
// through here. A test switches to scripted mode: nothing is shown, every
// prompt is recorded, and questions and dialogs take their answers from a
// queue (a question with no queued answer is answered "no", a dialog with
// none is cancelled).
class Prompts {
public:
    enum class Kind { Message, OkCancel, YesNo, SaveFile, OpenFile, OpenFiles, Folder };
    struct Record {
        Kind kind;
        QString title;
        QString text;
        MessageIcon icon = MessageIcon::None;
        QString directory; // dialogs: where they opened
    };

    static void message(QWidget *owner, const QString &text, const QString &title, MessageIcon icon);
    static bool okCancel(QWidget *owner, const QString &text, const QString &title, MessageIcon icon);
    static bool yesNo(QWidget *owner, const QString &text, const QString &title, MessageIcon icon);

    // "" when cancelled. No overwrite question. A name typed without an
    // extension gets `defaultSuffix` when one is given.
    static QString saveFile(QWidget *owner, const QString &title, const QString &directory,
        const std::vector<FileFilter> &filters, const QString &defaultSuffix = {});
    // `mustExist` false lets the user name a file that is not there.
    static QString openFile(QWidget *owner, const QString &title, const QString &directory,
        const std::vector<FileFilter> &filters, bool mustExist);
    static QStringList openFiles(
        QWidget *owner, const QString &title, const QString &directory, const std::vector<FileFilter> &filters);
    // The chosen folder, or "" when cancelled.
    static QString folder(QWidget *owner, const QString &title, const QString &preselect);

    // Muted: messages are dropped and questions answered "no" unseen. For
    // the rest of an action that has lost its server: its own messages would
    // only blame what it was given, when one message says what happened.
    static void setMuted(bool muted);
    static bool muted();

    // Scripted mode, for tests.
    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(bool answer);
    static void queueFile(const QString &path);
    static void queueFiles(const QStringList &paths);
    // Called when a prompt is about to be recorded in scripted mode, before
    // its answer is taken (a test may act from inside a prompt).
    static void setObserver(std::function<void(const Record &)> observer);
    static const std::vector<Record> &records();
    static QStringList messages(); // the texts of the recorded prompts
    static void clear();
};

// The MessageHost of a window: core messages and questions shown as boxes
// owned by it.
class PromptHost : public MessageHost {
public:
    explicit PromptHost(QWidget *owner = nullptr)
        : m_owner(owner)
    {
    }

    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    bool askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace varnel::gui
