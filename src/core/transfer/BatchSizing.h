#pragma once

#include "transfer/InsertRow.h"

#include <cstddef>
#include <string>

namespace varnel {

class MySqlConnection;

// What the statements of a run keep to.
struct InsertLimits {
    std::size_t batchRows = 1; // 1 sends every row on its own, as it comes
    std::size_t batchBytes = 0;
    std::size_t maxStatementBytes = 0; // the server's max_allowed_packet; 0: unknown
};

// Decides how many rows one multi-row statement takes and how many bytes of
// values they may bind, and which rows must go alone or cannot go at all.
class BatchSizing {
public:
    // `statementHead`: the bytes of a one-row statement before its values.
    BatchSizing(InsertLimits limits, std::size_t statementHead);

    const InsertLimits &limits() const { return m_limits; }

    // A batch of rows of so many values: at most `rows` rows, `bytes` bytes
    // bound. Worked out once for each number of values.
    struct Size {
        std::size_t rows = 1;
        std::size_t bytes = 0;
    };
    const Size &batchOf(std::size_t values) const;
    // Rows without columns and rows too big for a batch go on their own.
    bool goesAlone(const InsertRow &row) const;
    // Even alone its statement is longer than the server takes (it would
    // close the connection). Escaping at most doubles a value, so most rows
    // are cleared without escaping a byte.
    bool tooLong(const InsertRow &row) const;

    // The most values one statement can bind.
    inline static constexpr std::size_t kMaxBoundValues = 65535;

private:
    InsertLimits m_limits;
    std::size_t m_statementHead;
    mutable std::size_t m_sizedFor = SIZE_MAX; // the number of values m_size is for
    mutable Size m_size;
};

// The reason given for a row the server would refuse by closing the
// connection: its statement is longer than the server takes.
std::string packetLimitReason(std::size_t maxAllowedPacket);

// The server's max_allowed_packet, read once per run: a row over it is
// refused before it is sent. 0 when it cannot be read.
std::size_t maxAllowedPacket(MySqlConnection &db);

// The limits of batches of up to `rows` rows for a table that takes them,
// from the server's packet limit in `limits` (1 MiB assumed when unknown):
// a quarter of it, between 64 KiB and 8 MiB, and never over half of it, well
// under the limit and small enough to keep captions moving.
InsertLimits batchedLimits(InsertLimits limits, std::size_t rows);

} // namespace varnel
