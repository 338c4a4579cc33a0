#pragma once

#include "transfer/ArticleImporter.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

inline constexpr std::string_view kExportIdle = "从 MySQL 数据库导出文章";

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
    ExportResult runExport();

    void requestStop() { m_stop = true; }

private:
    void caption(std::string_view text);

    Form &m_form;
    MySqlConnection &m_db;
    TransferHost &m_host;
    RandomSource &m_random;
    bool m_stop = false;
};

} // namespace varnel
