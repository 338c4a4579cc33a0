#pragma once

#include "mapping/RuleValues.h"
#include "util/Clock.h"
#include "util/EventPump.h"
#include "util/Random.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class Form;

// One value of a file's row: the column it goes to, the source label it
// came from and the value as stored (an empty value is one space).
struct RowValue {
    std::string target;
    std::string source;
    std::string value;
    bool lossy = false; // a name that lost bytes (valueLosesBytes)
    // A counter's value given later (nextNumber of this rule): only a row
    // that is stored or fails takes a number. -1: the value is final.
    int numberLater = -1;
};

// Makes the values of one file's row as an import stores them; the import
// and its preview both go through it, so they cannot disagree.
//
// The rules' states are prepared from the mapping when the builder is made.
// Each row reads the window's values live: for each rule of the run the
// target and source label as the mapping row holds them now (a row deleted
// during the run ends the rules read), and the 文件时间 page as it is now.
// Rules targeting "ID" are skipped. A positional target (a whole number)
// names the column at that position of the table the rows go to, when the
// builder is given its columns; otherwise it stays as typed.
class RowBuilder {
public:
    // The column names of the table the rows go to, asked for once, the
    // first time a positional target needs them.
    using ColumnReader = std::function<std::vector<std::string>()>;

    RowBuilder(Form &form, RandomSource &random, Clock &clock);

    // Called before each rule.
    void setEventPump(EventPump pump) { m_pump = std::move(pump); }
    // Positional targets name the columns `reader` gives; with `writeBack`
    // the mapping row then holds the column's name, as an import leaves it.
    void resolvePositions(ColumnReader reader, bool writeBack);

    // Counters give their values through nextNumber() instead of at once:
    // each value holds kNumberRoom bytes until then.
    void setNumberingLater(bool later) { m_numberLater = later; }
    inline static constexpr std::size_t kNumberRoom = 20;

    std::vector<RowValue> build(const std::string &path, std::string_view text);
    // The next value of the counter of that rule.
    std::string nextNumber(std::size_t rule);

    // The rules' states after the rows built so far (counters carry on).
    const std::vector<RuleState> &ruleStates() const { return m_rules; }

private:
    void resolvePosition(int row, std::string &target);

    Form &m_form;
    RandomSource &m_random;
    Clock &m_clock;
    EventPump m_pump;
    std::vector<RuleState> m_rules;
    ColumnReader m_readColumns;
    bool m_writeBack = false;
    bool m_numberLater = false;
    std::optional<std::vector<std::string>> m_columns; // read once, when a position needs them
};

} // namespace varnel
