#pragma once

#include "transfer/TransferHost.h"

#include <string>

namespace varnel {

// Decides what a run tells its user when it ends, the same in the window and
// in varnel-cli: its message, the reason under it, the box to put right, and
// the lists of files or rows under it, each with its heading.
void presentResult(const TransferResult &result, TransferHost &host);

// The final message of an import that went through its files, and of an
// export that read its table.
std::string importFinalMessage(const TransferResult &result);
std::string exportFinalMessage(const TransferResult &result, const std::string &fetchError);

} // namespace varnel
