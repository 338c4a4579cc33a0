#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace varnel {

// Why a client option file given by name may not be handed to the client
// library, which reads it (and the files it includes) itself, blocking on a
// FIFO: it cannot be read, it is no regular file, others may change it, or it
// holds a password that others may read. The files its !include and
// !includedir lines name are looked at the same way. Nothing when it may be.
std::optional<std::string> optionFileProblem(const std::filesystem::path &path);

} // namespace varnel
