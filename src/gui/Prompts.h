#pragma once

#include "gui/TextInputRequest.h"
#include "util/MessageHost.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QDialog;

namespace varnel::gui {

// One file-dialog filter: the label the user sees and the patterns it
// matches (";"-separated). "全部文件(*.*)" matches "*", so that names without
// a dot are shown too.
struct FileFilter {
    QString label;
    QString patterns;
};

// Every message box, question and file or folder dialog of the program goes
// through here, and so do, in scripted mode, the text dialog, the program's
// other dialogs, the menu of names, what opens a path on the desktop and the
// question whether Ctrl is held. A test switches to scripted mode: nothing is shown or started, every
// prompt is recorded, and the answers come from queues (a question with no
// queued answer is answered "no", a dialog or menu with none is cancelled,
// Ctrl is not held).
class Prompts {
public:
    enum class Kind {
        Message,
        OkCancel,
        YesNo,
        SaveFile,
        OpenFile,
        OpenFiles,
        Folder,
        Text, // the text dialog asking for a text
        Info, // the text dialog showing one
        Pick, // the menu of names
        Launch, // a path opened or a program started on the desktop
        Dialog, // a dialog of the program's own, by its title
    };
    // (Every member has an initializer, so a record names only the ones it
    // fills.)
    struct Record {
        Kind kind = Kind::Message;
        QString title = {}; // Launch: "start" (a program) or "open"
        QString text = {}; // Text, Info: the initial body; Launch: the path
        MessageIcon icon = MessageIcon::None;
        QString directory = {}; // dialogs: where they opened
        QString prompt = {}; // Text, Info: the prompt line shown ("" for none)
        TextInputRequest dialog = {}; // Text, Info: the request as the window made it
        QStringList items = {}; // Pick: the names offered
        bool cancelIsDefault = false; // OkCancel: Return answers 取消
    };

    static void message(QWidget *owner, const QString &text, const QString &title, MessageIcon icon);
    // `cancelIsDefault` for a question whose 确定 is hard to undo: Return
    // then answers 取消.
    static bool okCancel(
        QWidget *owner, const QString &text, const QString &title, MessageIcon icon, bool cancelIsDefault = false);
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

    // Whether Ctrl is held now (in scripted mode: the next queued answer).
    static bool ctrlHeld();

    // Scripted mode, for tests.
    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(bool answer);
    static void queueFile(const QString &path);
    static void queueFiles(const QStringList &paths);
    // The text dialog confirmed with `text`, or closed without confirming.
    static void queueText(const QString &text);
    static void queueTextCancelled();
    // The menu of names: the item at `index` chosen (0: the first name), or
    // -1: closed without a choice.
    static void queueChoice(int index);
    static void queueCtrl(bool held);
    // What a test does in the next dialog of the program's own (the
    // encryption settings…) in place of a user: fills it in and presses its
    // buttons. A dialog with nothing queued is closed without confirming.
    static void queueDialog(std::function<void(QDialog &)> act);
    // The answers queued and never asked for, one line each, taken out of
    // the queues. A leftover means the window did not ask what the test
    // thought it would.
    static QStringList takeUnused();

    // What the text dialog, the menu of names and openInFileManager do in
    // scripted mode: record what would be shown and give the queued answer.
    // The text dialog describes itself (a Text or Info record); in info mode
    // it takes no answer.
    static std::optional<QString> scriptedText(const Record &shown);
    static QString scriptedPick(const QStringList &names);
    static void scriptedLaunch(const QString &action, const QString &path);
    // A dialog of the program's own, built but not shown: recorded by its
    // title and handed to the queued act; its result (QDialog::Accepted or
    // Rejected) once that has returned.
    static int scriptedDialog(QDialog &dialog);
    // Called when a prompt is about to be recorded in scripted mode, before
    // its answer is taken (a test may act from inside a prompt).
    static void setObserver(std::function<void(const Record &)> observer);
    static const std::vector<Record> &records();
    // The texts of the recorded message boxes and questions.
    static QStringList messages();
    static void clear(); // records, queues and observer
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
