#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The data sources, in the order of the source box; the index is also the
// page of the option editors.
enum class DataSource : int {
    FileMainName = 0,
    FileContent,
    PageTitle,
    ContentSummary,
    FileTime,
    RandomHanzi,
    RandomAlnum,
    RandomTime,
    RandomPhrase,
    ParentDirName,
    FixedText,
    Timestamp,
    Counter,
};
inline constexpr int kDataSourceCount = 13;

// The labels, in source order ("文件主名" … "递进数字").
const std::vector<std::string> &dataSourceLabels();
std::string_view labelOf(DataSource source);
std::optional<DataSource> dataSourceOfLabel(std::string_view label);

// Joins the options of one rule in its "数据配置" cell.
inline constexpr std::string_view kOptionSeparator = "┊?┊";
// Truth in stored options: exactly this text.
inline constexpr std::string_view kTrue = "真";
inline constexpr std::string_view kFalse = "假";
// The options cell of sources that take none.
inline constexpr std::string_view kNoOptions = "无";

inline bool isTrue(std::string_view option)
{
    return option == kTrue;
}

// One row of the field mapping: target column (name or 1-based position),
// source label, options.
struct FieldRule {
    std::string target;
    std::string source;
    std::string options;

    friend bool operator==(const FieldRule &, const FieldRule &) = default;
};

// The options of a cell split on the separator, cut or padded with empty
// texts to exactly `count` entries.
std::vector<std::string> splitOptions(std::string_view cell, std::size_t count);
std::string joinOptions(const std::vector<std::string> &options);

// An option read as a whole number: optional sign and leading digits, the
// rest ignored; no digits gives 0. Exact for every 64-bit value; beyond them
// it stops at the 64-bit limit (for counts and sizes, where that is harmless).
std::int64_t optionInteger(std::string_view text);

// A whole number and nothing else (spaces around it allowed): optional sign,
// digits, within 64 bits. Anything else gives nothing.
std::optional<std::int64_t> wholeNumber(std::string_view text);
// A number written exactly as its own decimal form ("2", not "02", " 2" or
// "+2"): how a column position is told from a column name.
std::optional<std::int64_t> canonicalInteger(std::string_view text);

} // namespace varnel
