#pragma once

#include "gui/MainParts.h"
#include "gui/QtTransferHost.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/RunReport.h"

#include <optional>

#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace varnel::gui {

// The imports and exports of the main window: the run buttons start a run
// or ask the running one to stop. A run never starts inside a transaction the
// user began (its rows would go with a rollback), and nothing reconnects
// behind it while it restores its connection its own way.
class RunController : public QObject {
    Q_OBJECT
public:
    explicit RunController(const MainParts &parts);

    QtTransferHost &host() { return m_host; }
    ArticleImporter &importer() { return m_importer; }
    ArticleExporter &exporter() { return m_exporter; }
    bool active() const { return m_importer.isRunning() || m_exporter.isRunning(); }
    void requestStop();

    void importPressed(bool alternativeLister);
    void exportPressed();
    // Files dropped on the window: imported after a question.
    void importDropped(std::vector<std::string> files);

    // What the last run did, for its report; none before the first.
    struct LastRun {
        TransferResult result;
        RunReportHead head;
    };
    const std::optional<LastRun> &lastRun() const { return m_lastRun; }

signals:
    // A run has returned: what it left to say and what was asked meanwhile
    // can be carried out.
    void runEnded();
    // The run may have created the database or the table: the name lists
    // read before it are stale.
    void tablesMayHaveChanged();

private:
    bool refuseToStart();
    // Runs it guarded and keeps what it returned for the report.
    void runKept(const char *command, const std::function<TransferResult()> &run);

    MainParts m_parts;
    QtTransferHost m_host;
    ArticleImporter m_importer;
    ArticleExporter m_exporter;
    std::optional<LastRun> m_lastRun;
};

} // namespace varnel::gui
