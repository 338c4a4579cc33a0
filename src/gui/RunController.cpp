#include "gui/RunController.h"

#include "design/ConfigFile.h"
#include "design/DropPlan.h"
#include "form/MainControls.h"
#include "gui/BusyScope.h"
#include "gui/ConnectionSession.h"
#include "gui/Prompts.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"
#include "gui/TestProbe.h"
#include "mysql/MySqlConnection.h"

#include <QWidget>

namespace varnel::gui {
namespace {

// While a run lives the session says so, to the windows that must not begin
// a transaction under it.
class RunMark {
public:
    explicit RunMark(ConnectionSession &session)
        : m_session(session)
    {
        m_session.setRunActive(true);
    }
    ~RunMark() { m_session.setRunActive(false); }
    RunMark(const RunMark &) = delete;
    RunMark &operator=(const RunMark &) = delete;

private:
    ConnectionSession &m_session;
};

} // namespace

RunController::RunController(const MainParts &parts)
    : QObject(&parts.window)
    , m_parts(parts)
    , m_host(&parts.window, parts.form, qs(kApplicationTitle))
    , m_importer(parts.form, parts.session.db(), m_host)
    , m_exporter(parts.form, parts.session.db(), m_host)
{
}

void RunController::requestStop()
{
    m_importer.requestStop();
    m_exporter.requestStop();
}

// While the run lives the window is busy (a close waits for it), nothing
// reconnects behind it, and the session knows a run uses the connection.
void RunController::runKept(const char *command, const std::function<TransferResult()> &run)
{
    LastRun last;
    const auto started = std::chrono::system_clock::now();
    {
        BusyScope busy(m_parts.busy);
        const MySqlConnection::ReconnectPause pause(m_parts.session.db());
        const RunMark mark(m_parts.session);
        last.result = run();
    }
    const std::string key = std::string_view(command) == "import" ? m_importer.keyColumn() : std::string();
    last.head = runReportHead(m_parts.form, command, key, started, runExitStatus(last.result));
    m_lastRun = std::move(last);
}

// Rows written inside a transaction the user began would be reported as
// stored and then go with a rollback or a disconnect. A connection the
// server closed while idle is opened again first.
bool RunController::refuseToStart()
{
    if (m_parts.session.transactionOpen()) {
        Prompts::message(
            &m_parts.window, QStringLiteral("请先提交或回滚事务！"), qs(kDefaultCaption), MessageIcon::None);
        return true;
    }
    return !m_parts.session.db().reconnectIfClosed();
}

void RunController::importPressed(bool alternativeLister)
{
    if (m_importer.isRunning()) {
        TestProbe::note(QStringLiteral("run\timport\tstop requested"));
        m_importer.startImport(alternativeLister); // asks the run to stop
        return;
    }
    if (m_exporter.isRunning())
        return;
    if (refuseToStart())
        return;
    runKept("import", [&] {
        TestProbe::note(QStringLiteral("run\timport\tstarted"));
        const ImportResult result = m_importer.startImport(alternativeLister);
        TestProbe::note(QStringLiteral("run\timport\tended"));
        return result;
    });
    emit tablesMayHaveChanged();
    emit runEnded();
}

void RunController::exportPressed()
{
    if (m_exporter.isRunning()) {
        m_exporter.pressExport();
        return;
    }
    if (m_importer.isRunning())
        return;
    if (refuseToStart())
        return;
    runKept("export", [&] { return m_exporter.pressExport(); });
    emit runEnded();
}

void RunController::importDropped(std::vector<std::string> files)
{
    if (!Prompts::okCancel(&m_parts.window,
            qs(dropImportQuestion(files.size(), controlText(m_parts.form, ctl::kTable))), qs(kDefaultCaption),
            MessageIcon::None))
        return;
    if (active()) {
        Prompts::message(
            &m_parts.window, QStringLiteral("已经有导入在执行，请稍后！"), qs(kDefaultCaption), MessageIcon::None);
        return;
    }
    if (refuseToStart())
        return;
    runKept("import", [&] {
        m_importer.clearStop();
        return m_importer.runImport(files);
    });
    emit tablesMayHaveChanged();
    emit runEnded();
}

} // namespace varnel::gui
