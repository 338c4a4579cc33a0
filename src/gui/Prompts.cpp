#include "gui/Prompts.h"

#include "gui/QtText.h"
#include "gui/TestProbe.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <deque>
#include <utility>

namespace varnel::gui {
namespace {

// A scripted answer of the text dialog.
struct TextAnswer {
    bool confirmed = false;
    QString text;
};

struct ScriptState {
    bool scripted = false;
    bool muted = false;
    std::deque<bool> answers;
    std::deque<QStringList> files;
    std::deque<TextAnswer> texts;
    std::deque<int> choices;
    std::deque<bool> ctrl;
    std::deque<std::function<void(QDialog &)>> dialogs;
    std::vector<Prompts::Record> records;
    std::function<void(const Prompts::Record &)> observer;
};

ScriptState &state()
{
    static ScriptState s;
    return s;
}

void record(const Prompts::Record &r)
{
    auto &s = state();
    if (s.observer)
        s.observer(r);
    s.records.push_back(r);
}

// The next answer of a queue, or `none` when it is empty.
template <typename T> T next(std::deque<T> &queue, T none)
{
    if (queue.empty())
        return none;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

bool nextAnswer()
{
    return next(state().answers, false);
}

QStringList nextFiles()
{
    return next(state().files, QStringList());
}

QString shownText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int showBox(QWidget *owner, const QString &text, const QString &title, MessageIcon icon,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(boxIcon(icon), title, shownText(text), buttons, owner);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    // A final message comes after a long run, when the user may have turned
    // elsewhere: it comes to the front with the keyboard, so Return answers it.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    TestProbe::note(QStringLiteral("box\t") + TestProbe::oneLine(title) + QLatin1Char('\t') + TestProbe::oneLine(text));
    const int answer = box.exec();
    TestProbe::note(QStringLiteral("answered\t") + QString::number(answer, 16));
    return answer;
}

QStringList nameFilters(const std::vector<FileFilter> &filters)
{
    // The label is shown as it is; the patterns in the trailing parentheses
    // are what Qt matches (HideNameFilterDetails keeps them out of sight).
    QStringList out;
    for (const FileFilter &f : filters)
        out << f.label + QStringLiteral(" (") + QString(f.patterns).replace(QLatin1Char(';'), QLatin1Char(' '))
                + QLatin1Char(')');
    return out;
}

QStringList runFileDialog(QWidget *owner, const QString &title, const QString &directory,
    const std::vector<FileFilter> &filters, QFileDialog::AcceptMode accept, QFileDialog::FileMode mode,
    const QString &defaultSuffix = {})
{
    QFileDialog dialog(owner, title, directory);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // A name that does not exist must be accepted where the caller asks so.
    if (mode == QFileDialog::AnyFile && accept == QFileDialog::AcceptOpen)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!filters.empty())
        dialog.setNameFilters(nameFilters(filters));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace

void Prompts::message(QWidget *owner, const QString &text, const QString &title, MessageIcon icon)
{
    if (state().muted)
        return;
    if (state().scripted) {
        record({.kind = Kind::Message, .title = title, .text = text, .icon = icon});
        return;
    }
    showBox(owner, text, title, icon, QMessageBox::Ok, QMessageBox::Ok);
}

bool Prompts::okCancel(
    QWidget *owner, const QString &text, const QString &title, MessageIcon icon, bool cancelIsDefault)
{
    if (state().muted)
        return false;
    if (state().scripted) {
        record(
            {.kind = Kind::OkCancel, .title = title, .text = text, .icon = icon, .cancelIsDefault = cancelIsDefault});
        return nextAnswer();
    }
    return showBox(owner, text, title, icon, QMessageBox::Ok | QMessageBox::Cancel,
               cancelIsDefault ? QMessageBox::Cancel : QMessageBox::Ok)
        == QMessageBox::Ok;
}

bool Prompts::yesNo(QWidget *owner, const QString &text, const QString &title, MessageIcon icon)
{
    if (state().muted)
        return false;
    if (state().scripted) {
        record({.kind = Kind::YesNo, .title = title, .text = text, .icon = icon});
        return nextAnswer();
    }
    return showBox(owner, text, title, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

QString Prompts::saveFile(QWidget *owner, const QString &title, const QString &directory,
    const std::vector<FileFilter> &filters, const QString &defaultSuffix)
{
    QString path;
    if (state().scripted) {
        record({.kind = Kind::SaveFile, .title = title, .directory = directory});
        path = nextFiles().value(0);
    } else {
        path = runFileDialog(
            owner, title, directory, filters, QFileDialog::AcceptSave, QFileDialog::AnyFile, defaultSuffix)
                   .value(0);
    }
    // The dialog adds the suffix only to a name typed into it, and not every
    // platform dialog does: a name without any extension gets it here.
    if (!path.isEmpty() && !defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        if (path.endsWith(QLatin1Char('.')))
            path.chop(1);
        path += QLatin1Char('.') + defaultSuffix;
    }
    return path;
}

QString Prompts::openFile(QWidget *owner, const QString &title, const QString &directory,
    const std::vector<FileFilter> &filters, bool mustExist)
{
    if (state().scripted) {
        record({.kind = Kind::OpenFile, .title = title, .directory = directory});
        return nextFiles().value(0);
    }
    return runFileDialog(owner, title, directory, filters, QFileDialog::AcceptOpen,
        mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile)
        .value(0);
}

QStringList Prompts::openFiles(
    QWidget *owner, const QString &title, const QString &directory, const std::vector<FileFilter> &filters)
{
    if (state().scripted) {
        record({.kind = Kind::OpenFiles, .title = title, .directory = directory});
        return nextFiles();
    }
    return runFileDialog(owner, title, directory, filters, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

QString Prompts::folder(QWidget *owner, const QString &title, const QString &preselect)
{
    if (state().scripted) {
        record({.kind = Kind::Folder, .title = title, .directory = preselect});
        return nextFiles().value(0);
    }
    return QFileDialog::getExistingDirectory(owner, title, preselect, QFileDialog::ShowDirsOnly);
}

bool Prompts::ctrlHeld()
{
    if (state().scripted)
        return next(state().ctrl, false);
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

std::optional<QString> Prompts::scriptedText(const Record &shown)
{
    record(shown);
    if (shown.kind != Kind::Text)
        return std::nullopt;
    const TextAnswer answer = next(state().texts, TextAnswer());
    if (!answer.confirmed)
        return std::nullopt;
    return answer.text;
}

QString Prompts::scriptedPick(const QStringList &names)
{
    record({.kind = Kind::Pick, .items = names});
    const int choice = next(state().choices, -1);
    return choice >= 0 && choice < names.size() ? names[choice] : QString();
}

void Prompts::scriptedLaunch(const QString &action, const QString &path)
{
    record({.kind = Kind::Launch, .title = action, .text = path});
}

int Prompts::scriptedDialog(QDialog &dialog)
{
    record({.kind = Kind::Dialog, .title = dialog.windowTitle()});
    dialog.setResult(QDialog::Rejected);
    if (const auto act = next(state().dialogs, std::function<void(QDialog &)>()))
        act(dialog);
    return dialog.result();
}

void Prompts::setScripted(bool scripted)
{
    state().scripted = scripted;
}

bool Prompts::scripted()
{
    return state().scripted;
}

void Prompts::setMuted(bool muted)
{
    state().muted = muted;
}

bool Prompts::muted()
{
    return state().muted;
}

void Prompts::queueAnswer(bool answer)
{
    state().answers.push_back(answer);
}

void Prompts::queueFile(const QString &path)
{
    state().files.push_back(QStringList{path});
}

void Prompts::queueFiles(const QStringList &paths)
{
    state().files.push_back(paths);
}

void Prompts::queueText(const QString &text)
{
    state().texts.push_back({true, text});
}

void Prompts::queueTextCancelled()
{
    state().texts.push_back({false, {}});
}

void Prompts::queueChoice(int index)
{
    state().choices.push_back(index);
}

void Prompts::queueCtrl(bool held)
{
    state().ctrl.push_back(held);
}

void Prompts::queueDialog(std::function<void(QDialog &)> act)
{
    state().dialogs.push_back(std::move(act));
}

QStringList Prompts::takeUnused()
{
    auto &s = state();
    const auto yesNo = [](bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); };
    QStringList out;
    for (bool a : s.answers)
        out << QStringLiteral("question answered ") + yesNo(a);
    for (const QStringList &f : s.files)
        out << QStringLiteral("file dialog answered \"") + f.join(QStringLiteral("\", \"")) + QLatin1Char('"');
    for (const TextAnswer &t : s.texts)
        out << (t.confirmed ? QStringLiteral("text dialog confirmed with \"") + t.text + QLatin1Char('"')
                            : QStringLiteral("text dialog closed"));
    for (int c : s.choices)
        out << QStringLiteral("name menu choice %1").arg(c);
    for (bool c : s.ctrl)
        out << QStringLiteral("Ctrl held: ") + yesNo(c);
    for (std::size_t i = 0; i < s.dialogs.size(); ++i)
        out << QStringLiteral("a dialog's act");
    s.answers.clear();
    s.files.clear();
    s.texts.clear();
    s.choices.clear();
    s.ctrl.clear();
    s.dialogs.clear();
    return out;
}

void Prompts::setObserver(std::function<void(const Record &)> observer)
{
    state().observer = std::move(observer);
}

const std::vector<Prompts::Record> &Prompts::records()
{
    return state().records;
}

QStringList Prompts::messages()
{
    QStringList out;
    for (const Record &r : state().records) {
        if (r.kind == Kind::Message || r.kind == Kind::OkCancel || r.kind == Kind::YesNo)
            out << r.text;
    }
    return out;
}

void Prompts::clear()
{
    takeUnused();
    auto &s = state();
    s.records.clear();
    s.observer = nullptr;
}

void PromptHost::showMessage(std::string_view text, std::string_view caption, MessageIcon icon)
{
    Prompts::message(m_owner, qs(text), qs(caption), icon);
}

bool PromptHost::askOkCancel(std::string_view text, std::string_view caption, MessageIcon icon)
{
    return Prompts::okCancel(m_owner, qs(text), qs(caption), icon);
}

} // namespace varnel::gui
