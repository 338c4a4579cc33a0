#pragma once

#include "mapping/FieldRule.h"
#include "mapping/FileSources.h"
#include "mapping/Generators.h"

#include <filesystem>
#include <optional>
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
    // 递进数字: the n-th value (from 0) is start + n * step, exactly.
    std::int64_t start = 0;
    std::int64_t step = 0;
    std::int64_t produced = 0;
    bool keepCounting = false;
};

// Prepares a rule at the start of a run. Rules are checked with
// validateRules() first: an option that is no number reads as 0.
RuleState prepareRule(const FieldRule &rule);

// Why rules cannot run over `files` files, as the message to show, or
// nothing. The 起始值 and 递进值 of a 递进数字 rule must be whole numbers
// within 64 bits (empty counts as 0), and so must each of the `files` values
// it gives.
std::optional<std::string> validateRules(const std::vector<FieldRule> &rules, std::int64_t files = 0);

// The message for a 递进数字 option (0 起始值, 1 递进值) that is no whole
// number within 64 bits.
std::string counterOptionMessage(std::string_view target, int option, std::string_view text);

// Everything a value may need besides the rule and the file.
struct ValueContext {
    RandomSource &random;
    Clock &clock;
    FileTimeChoice fileTime; // the window's 文件时间 page when the value is made
};

// The value of one rule for one file, by the label the row has now.
std::string ruleValue(std::string_view label, RuleState &state, const std::filesystem::path &path,
    std::string_view text, ValueContext &context);

// Whether the value a name gives (文件主名, 父目录名) lost bytes of it: a name
// that is neither UTF-8 nor GBK reads with a replacement character for each
// bad byte, so two such names may read alike.
bool valueLosesBytes(std::string_view label, const std::filesystem::path &path);

// The options cell a keep-counting counter leaves behind after a run, so the
// next run continues where this one stopped. The start is the exact next
// value; should it lie beyond 64 bits, the next run's check says so.
std::string counterOptionsAfterRun(const RuleState &state);

// The phrase list of a 随机词组 rule: line breaks count as "|".
std::vector<std::string> phraseList(std::string_view option);

} // namespace varnel
