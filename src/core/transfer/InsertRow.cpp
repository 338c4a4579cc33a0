#include "transfer/InsertRow.h"

#include "mysql/Quoting.h"

namespace varnel {

void InsertRow::add(std::string name, std::string value)
{
    if (!values.empty())
        columns += ',';
    columns += name;
    valueBytes += value.size();
    names.push_back(std::move(name));
    values.push_back(std::move(value));
}

void InsertRow::setValue(std::size_t index, std::string value)
{
    valueBytes = valueBytes - values[index].size() + value.size();
    values[index] = std::move(value);
}

std::size_t InsertRow::assignmentBytes() const
{
    std::size_t size = 0;
    for (std::size_t i = 0; i < values.size(); ++i)
        size += (i ? 1 : 0) + names[i].size() + 3 + escapedSize(values[i]); // `a`='x'
    return size;
}

void InsertRow::appendAssignments(std::string &out) const
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        out += names[i];
        out += "='";
        appendEscaped(out, values[i]);
        out += '\'';
    }
}

} // namespace varnel
