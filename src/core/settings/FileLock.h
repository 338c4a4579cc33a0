#pragma once

#include "util/UniqueFd.h"

#include <filesystem>

namespace varnel {

// A settings file open for reading and writing under an exclusive flock, or
// why it is not: `fd` is open exactly when `error` is 0. The lock lasts as
// long as the descriptor.
struct LockedFile {
    UniqueFd fd;
    // errno of the failure; EWOULDBLOCK: another store holds the lock;
    // EISDIR or EINVAL: the path names no regular file.
    int error = 0;
};

// Opens (creating it readable by the owner only; an existing file keeps its
// mode) and locks the file without waiting for the lock. A FIFO or a device
// is never opened (EINVAL).
LockedFile lockSettingsFile(const std::filesystem::path &path);

} // namespace varnel
