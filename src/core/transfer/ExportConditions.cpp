#include "transfer/ExportConditions.h"

#include "text/TextUtil.h"

namespace varnel {
namespace {

// An empty text contains nothing, not even the empty value, which every
// other text contains.
bool contains(std::string_view text, std::string_view part)
{
    if (text.empty())
        return false;
    return part.empty() || text.find(part) != std::string_view::npos;
}

} // namespace

ExportConditions::ExportConditions(
    std::string_view names, std::string_view values, std::string_view separator, Comparison comparison, bool everyTerm)
    : m_names(splitText(names, separator))
    , m_values(splitText(values, separator))
    , m_comparison(comparison)
    , m_everyTerm(everyTerm)
{
    m_values.resize(m_names.size());
}

bool ExportConditions::holds(
    const std::function<std::string_view(std::size_t)> &valueOf, const std::function<void()> &between) const
{
    if (m_names.empty())
        return true;
    bool held = false;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        held = termHolds(valueOf(i), m_values[i]);
        if (held != m_everyTerm)
            break; // and: the first that fails; or: the first that holds
        if (between)
            between();
    }
    return held;
}

bool ExportConditions::termHolds(std::string_view text, std::string_view value) const
{
    switch (m_comparison) {
    case Comparison::Equal:
        return text == value;
    case Comparison::NotEqual:
        return text != value;
    case Comparison::Contains:
        return contains(text, value);
    case Comparison::NotContains:
        return !contains(text, value);
    }
    return false;
}

} // namespace varnel
