#pragma once

#include "transfer/RowInserter.h"

#include <cstddef>
#include <optional>
#include <string>

namespace varnel {

class MySqlConnection;

// The server's max_allowed_packet, read once per run: a row over it is
// refused before it is sent. 0 when it cannot be read.
std::size_t maxAllowedPacket(MySqlConnection &db);

// The limits of batches of up to `rows` rows for a table that takes them,
// from the server's packet limit in `limits` (1 MiB assumed when unknown):
// a quarter of it, between 64 KiB and 8 MiB, and never over half of it, well
// under the limit and small enough to keep captions moving.
RowInserter::Limits batchedLimits(RowInserter::Limits limits, std::size_t rows);

} // namespace varnel
