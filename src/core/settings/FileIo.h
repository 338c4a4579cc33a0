#pragma once

#include "util/RegularFile.h" // readAllAt

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace varnel {

// Writes every byte at `offset` (pwrite, EINTR retried); false with errno
// set when the file takes no more.
bool writeAllAt(int fd, std::string_view bytes, off_t offset);

// Writes a whole file readable by its owner only (an existing file keeps its
// mode); false with errno set when it could not, a failed close included.
bool writePrivateFile(const std::filesystem::path &path, std::string_view bytes);

} // namespace varnel
