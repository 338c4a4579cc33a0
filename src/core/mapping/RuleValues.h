#pragma once

#include "mapping/FieldRule.h"
#include "mapping/FileSources.h"
#include "mapping/Generators.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The value of a rule whose label is none of the thirteen.
inline constexpr std::string_view kUnknownSourceValue = "请设置数据来源";
// How many options a rule's cell is cut or padded to for a run.
inline constexpr std::size_t kRunOptionCount = 10;

// One rule's state for one import run: its options, and what its source
// carries from file to file (phrase list and picks, counter).
struct RuleState {
    std::vector<std::string> options;
    std::vector<std::string> phrases;
    NoRepeatRandom phrasePicker;
    std::int64_t cursor = 0;
    std::int64_t start = 0;
    std::int64_t step = 0;
    std::int64_t current = 0;
    bool keepCounting = false;
};

// Prepares a rule at the start of a run.
RuleState prepareRule(const FieldRule &rule);

// Everything a value may need besides the rule and the file.
struct ValueContext {
    RandomSource &random;
    Clock &clock;
    FileTimeChoice fileTime; // the window's 文件时间 page when the value is made
};

// The value of one rule for one file, by the label the row has now.
std::string ruleValue(std::string_view label, RuleState &state, const std::filesystem::path &path,
    std::string_view text, ValueContext &context);

// The options cell a keep-counting counter leaves behind after a run, so the
// next run continues where this one stopped.
std::string counterOptionsAfterRun(const RuleState &state);

// The phrase list of a 随机词组 rule: line breaks count as "|".
std::vector<std::string> phraseList(std::string_view option);

} // namespace varnel
