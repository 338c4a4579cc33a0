#pragma once

#include "form/Control.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

// The mapping rows of a form as they stand, to compare with after a run.
using MappingRows = std::vector<std::vector<std::string>>;
MappingRows mappingRows(const Form &form);

// A 递进数字 row whose start value a run moved on.
struct AdvancedCounter {
    int row = 0;
    std::string field; // the row's field name
    std::string nextStart; // the value the next run starts from
};
std::vector<AdvancedCounter> advancedCounters(const MappingRows &before, const Form &after);

// Writes the new start values of the rows a run changed into the main
// window's configuration file, leaving every other key as it is. Nothing back
// on success; otherwise why not, in the system's words where it has them. A
// file with LF line ends was read by turning them into CR LF and is not
// written in place (`lineFeeds`).
std::optional<std::string> saveCounters(
    const std::filesystem::path &config, bool lineFeeds, const MappingRows &before, const Form &after);

} // namespace varnel
