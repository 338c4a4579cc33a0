#pragma once

#include "transfer/ArticleImporter.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

using ExportResult = TransferResult;

// A file name made safe: \ / : * ? | < > become their full-width forms,
// double quotes, line breaks and tabs are removed.
std::string safeFileName(std::string_view name);

// The extension of exported files from the file-type patterns.
std::string exportExtension(std::string_view fileTypes);

// Writes the rows of a table out as article files.
class ArticleExporter {
public:
    ArticleExporter(Form &form, MySqlConnection &db, TransferHost &host, RandomSource &random = defaultRandom());

    // The export button: starts an export, or asks a running one to stop.
    ExportResult pressExport();
    // An export; refused (Busy) while one is running.
    ExportResult runExport();
    bool isRunning() const { return m_running; }

    void requestStop() { m_stop = true; }

private:
    void report(RunPhase phase, std::int64_t done = 0, std::int64_t total = 0, std::string current = {});

    Form &m_form;
    MySqlConnection &m_db;
    TransferHost &m_host;
    RandomSource &m_random;
    bool m_stop = false;
    bool m_running = false;
    bool m_idleShown = true;
};

} // namespace varnel
