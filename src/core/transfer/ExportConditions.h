#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

enum class Comparison { Equal, NotEqual, Contains, NotContains };

// Which rows of the table an export writes: each named column's text is
// compared with its value, and a row is written when every term holds (and)
// or when any does (or). The rows are compared as they are read, as text:
// byte for byte, whatever the column's collation, a NULL and a column the
// result does not have reading as empty.
class ExportConditions {
public:
    // None: every row is written.
    ExportConditions() = default;
    // Names and values as the window has them, each list split at
    // `separator`; a name without a value is compared with the empty text,
    // a value without a name is not used.
    ExportConditions(std::string_view names, std::string_view values, std::string_view separator, Comparison comparison,
        bool everyTerm);

    bool empty() const { return m_names.empty(); }
    const std::vector<std::string> &names() const { return m_names; }

    // Whether a row is written. `valueOf(i)` is the row's text of names()[i];
    // the terms are looked at in order until one decides, and `between` (the
    // run's event pump) is called after each that does not.
    bool holds(
        const std::function<std::string_view(std::size_t)> &valueOf, const std::function<void()> &between = {}) const;

private:
    bool termHolds(std::string_view text, std::string_view value) const;

    std::vector<std::string> m_names;
    std::vector<std::string> m_values; // as many as names
    Comparison m_comparison = Comparison::Equal;
    bool m_everyTerm = true;
};

} // namespace varnel
