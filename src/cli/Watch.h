#pragma once

#include "cli/CliHost.h"
#include "cli/CliOptions.h"

#include <chrono>
#include <functional>

namespace varnel {
class Form;
class MySqlConnection;
} // namespace varnel

namespace varnel::cli {

// `varnel-cli watch`: imports every article file that becomes complete in
// the article folder (closed after writing, or moved in), in batches, until
// SIGINT or SIGTERM; the files there at the start first unless --new-only.
// A lost server is connected again before the next batch, and files a lost
// connection kept from the table are taken again. Returns the exit status
// (130 after a signal, 2 when the folder cannot be watched).
//
// `writeReport` is called after every batch with everything so far.
int runWatch(const CliOptions &options, Form &form, MySqlConnection &db, CliHost &host,
    const std::function<bool(const TransferResult &, int exitStatus)> &writeReport);

} // namespace varnel::cli
