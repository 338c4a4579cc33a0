#pragma once

#include "text/ArticleFile.h"
#include "transfer/ExportConditions.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class Form;

// What an export cannot start without, for the user: the message and the
// control to go to (none: the focus stays).
struct ExportProblem {
    std::string message;
    std::string_view control;
};

inline constexpr std::string_view kNoContentColumn =
    "请在【数据字段设置】里先添加一个【数据来源】为【文件内容】的字段名或字段位置\r\n\r\n"
    "另外建议同时设置【数据来源】为【文件主名】的字段名或字段位置作为保存文件名；如果没有指定【文件主名】，"
    "将自动从【文件内容】中随机取一句当文件名\r\n\r\n（字段位置从 1 开始，从左往右数）";

// The main window's values for one export, read once when it starts.
struct ExportRequest {
    std::string database;
    std::string table; // as typed: "db.table" reads a table of another database
    std::string folder; // ends with '/' unless empty
    std::string extension; // made safe as the names are: it is part of every file name
    ArticleEncoding encoding = ArticleEncoding::Detect;
    // The columns of the first mapping rows whose source is the file's
    // content and its main name, each by name or by 1-based position.
    std::optional<std::string> contentColumn;
    std::optional<std::string> nameColumn;
    ExportConditions conditions; // none while they are switched off

    // The first value the window lacks (database, table, folder), told
    // before the server is asked anything.
    std::optional<ExportProblem> missingValue() const;
    // No mapping row gives the files' content; told once the table is open.
    std::optional<ExportProblem> missingContent() const;
};

ExportRequest readExportRequest(Form &form);

} // namespace varnel
