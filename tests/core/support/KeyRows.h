#pragma once

#include "transfer/RowInserter.h"

#include <initializer_list>
#include <string>

namespace varnel::test {

// Limits of a batched import on a server with a 16 MiB packet limit.
inline RowInserter::Limits batchedTo500()
{
    RowInserter::Limits limits;
    limits.batchRows = 500;
    limits.batchBytes = 1 << 20;
    limits.maxStatementBytes = 16 << 20;
    return limits;
}

// Rows of the columns k and v, one per key, each named after its key.
inline void addKeyRows(RowInserter &inserter, std::initializer_list<const char *> keys, const std::string &value)
{
    for (const char *k : keys) {
        InsertRow row;
        row.path = k;
        row.add(quoteIdentifier("k"), k);
        row.add(quoteIdentifier("v"), value);
        inserter.add(std::move(row));
    }
}

} // namespace varnel::test
