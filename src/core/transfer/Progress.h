#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

inline constexpr std::string_view kImportIdle = "导入文章到 MySQL 数据库";
inline constexpr std::string_view kExportIdle = "从 MySQL 数据库导出文章";

enum class TransferKind { Import, Export };

// Where a run is. Idle is also what every way out of a run reports.
enum class RunPhase {
    Idle,
    Listing, // import: reading the article list
    Starting, // before the first file or row
    Transferring, // done of total files or rows
    Stopping, // a stop was asked for and is not yet taken
};

// What a run tells its host about its progress; the host shows it its own
// way (a button caption through progressCaption, a terminal line, a bar).
struct ProgressEvent {
    TransferKind kind = TransferKind::Import;
    RunPhase phase = RunPhase::Idle;
    std::int64_t done = 0; // files imported or written so far
    std::int64_t total = 0; // files listed, rows of the table
    std::string current; // the main name of the last file or row done
};

// The start button's caption for an event: "导入文章到 MySQL 数据库",
// "正在读取文章列表..", "正在导入..", "总 N 篇，已导入 M 篇", "从 MySQL 数据库导出文章",
// "开始导出..", "总 N 篇，已导出 M 篇", "正在停止中..". (An import asked to stop
// keeps its count until it ends.)
std::string progressCaption(const ProgressEvent &event);

} // namespace varnel
