#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnel {

// One file's row: its columns and values. A batch sends the values as they
// are; only a row that goes alone is escaped, into the statement that sends
// it (a large article is then held once as its value and once in its
// statement, not as escaped copies besides).
struct InsertRow {
    std::string path;
    std::string columns; // `a`,`b`
    std::vector<std::string> names; // `a`, `b`: one per value
    std::vector<std::string> values; // as stored, not escaped
    std::size_t valueBytes = 0; // the values' own sizes
    // Values whose bytes were not all readable (a file name in no known
    // encoding): they cannot tell one file from another.
    std::vector<std::size_t> lossy;
    // Values given their number only once the row is known to be stored or
    // to have failed (a counter: a file found stored already takes none):
    // the value's index and the rule's.
    std::vector<std::pair<std::size_t, std::size_t>> numberedLater;
    bool keyLookedUp = false; // its key was not in the table a moment ago
    // Should its key be in the table, this row's values replace those there
    // (the file was stored before and has changed since).
    bool replaces = false;
    bool finished = false; // its numbers are given
    // Why it cannot be stored, known before it is sent (it fails in its
    // place among the rows, so numbers follow the files' order).
    std::string refusal;

    // Appends a value with its column.
    void add(std::string name, std::string value);
    // Changes a value, keeping the sizes right.
    void setValue(std::size_t index, std::string value);
    // The size of `a`='x',`b`='y', escaped as the one-row form sends it.
    std::size_t assignmentBytes() const;
    // Appends the assignments of the one-row form, `a`='x',`b`='y'.
    void appendAssignments(std::string &out) const;
    // At most what the row adds to a batch's packet: each value with its
    // length and type.
    std::size_t boundBytes() const { return valueBytes + kBoundValueBytes * values.size(); }
    inline static constexpr std::size_t kBoundValueBytes = 12;
};

} // namespace varnel
