#include "gui/Prompts.h"

#include "gui/QtText.h"
#include "gui/TestProbe.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace varnel::gui {
namespace {

struct ScriptState {
    bool scripted = false;
    bool muted = false;
    std::deque<bool> answers;
    std::deque<QStringList> files;
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

bool nextAnswer()
{
    auto &s = state();
    if (s.answers.empty())
        return false;
    const bool a = s.answers.front();
    s.answers.pop_front();
    return a;
}

QStringList nextFiles()
{
    auto &s = state();
    if (s.files.empty())
        return {};
    QStringList f = s.files.front();
    s.files.pop_front();
    return f;
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
        record({Kind::Message, title, text, icon, {}});
        return;
    }
    showBox(owner, text, title, icon, QMessageBox::Ok, QMessageBox::Ok);
}

bool Prompts::okCancel(QWidget *owner, const QString &text, const QString &title, MessageIcon icon)
{
    if (state().muted)
        return false;
    if (state().scripted) {
        record({Kind::OkCancel, title, text, icon, {}});
        return nextAnswer();
    }
    return showBox(owner, text, title, icon, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

bool Prompts::yesNo(QWidget *owner, const QString &text, const QString &title, MessageIcon icon)
{
    if (state().muted)
        return false;
    if (state().scripted) {
        record({Kind::YesNo, title, text, icon, {}});
        return nextAnswer();
    }
    return showBox(owner, text, title, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

QString Prompts::saveFile(QWidget *owner, const QString &title, const QString &directory,
    const std::vector<FileFilter> &filters, const QString &defaultSuffix)
{
    if (state().scripted) {
        record({Kind::SaveFile, title, {}, MessageIcon::None, directory});
        return nextFiles().value(0);
    }
    return runFileDialog(owner, title, directory, filters, QFileDialog::AcceptSave, QFileDialog::AnyFile, defaultSuffix)
        .value(0);
}

QString Prompts::openFile(QWidget *owner, const QString &title, const QString &directory,
    const std::vector<FileFilter> &filters, bool mustExist)
{
    if (state().scripted) {
        record({Kind::OpenFile, title, {}, MessageIcon::None, directory});
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
        record({Kind::OpenFiles, title, {}, MessageIcon::None, directory});
        return nextFiles();
    }
    return runFileDialog(owner, title, directory, filters, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

QString Prompts::folder(QWidget *owner, const QString &title, const QString &preselect)
{
    if (state().scripted) {
        record({Kind::Folder, title, {}, MessageIcon::None, preselect});
        return nextFiles().value(0);
    }
    return QFileDialog::getExistingDirectory(owner, title, preselect, QFileDialog::ShowDirsOnly);
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
    for (const Record &r : state().records)
        out << r.text;
    return out;
}

void Prompts::clear()
{
    auto &s = state();
    s.answers.clear();
    s.files.clear();
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
