#include "transfer/RowBuilder.h"

#include "form/Control.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"

namespace varnel {

RowBuilder::RowBuilder(Form &form, RandomSource &random, Clock &clock)
    : m_form(form)
    , m_random(random)
    , m_clock(clock)
{
    for (const FieldRule &rule : readRules(m_form))
        m_rules.push_back(prepareRule(rule));
}

void RowBuilder::resolvePositions(ColumnReader reader, bool writeBack)
{
    m_readColumns = std::move(reader);
    m_writeBack = writeBack;
    m_columns.reset();
}

std::vector<RowValue> RowBuilder::build(const std::string &path, std::string_view text)
{
    std::vector<RowValue> values;
    ValueContext context{m_random, m_clock, {}};
    for (std::size_t k = 0; k < m_rules.size(); ++k) {
        pump(m_pump);
        // Rows deleted during the run are not read.
        if (k >= static_cast<std::size_t>(m_form.rowCount()))
            break;
        const int row = static_cast<int>(k);
        std::string target = m_form.cell(row, 0);
        std::string label = m_form.cell(row, 1);
        if (target == "ID")
            continue;
        context.fileTime = fileTimeChoice(m_form);
        const bool later = m_numberLater && dataSourceOfLabel(label) == DataSource::Counter;
        std::string value = later ? std::string(kNumberRoom, '0') : ruleValue(label, m_rules[k], path, text, context);
        resolvePosition(row, target);
        if (value.empty())
            value.push_back(' '); // one space, as the import stores it
        const bool lossy = valueLosesBytes(label, path);
        values.push_back(
            {std::move(target), std::move(label), std::move(value), lossy, later ? static_cast<int>(k) : -1});
    }
    return values;
}

std::string RowBuilder::nextNumber(std::size_t rule)
{
    ValueContext context{m_random, m_clock, {}};
    return ruleValue(labelOf(DataSource::Counter), m_rules[rule], {}, {}, context);
}

void RowBuilder::resolvePosition(int row, std::string &target)
{
    if (!m_readColumns)
        return;
    const auto n = canonicalInteger(target);
    if (!n)
        return;
    if (!m_columns)
        m_columns = m_readColumns();
    if (*n >= 1 && static_cast<std::size_t>(*n) <= m_columns->size()) {
        target = (*m_columns)[static_cast<std::size_t>(*n - 1)];
        if (m_writeBack)
            m_form.setCell(row, 0, target);
    }
}

} // namespace varnel
