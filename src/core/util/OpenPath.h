#pragma once

#include <filesystem>

namespace varnel {

// Opens a file as open(2) does; a path longer than the system takes in one
// call (ENAMETOOLONG: a tree deeper than PATH_MAX) is opened a folder at a
// time, each relative to the one before. -1 with errno when it cannot be.
int openPath(const std::filesystem::path &path, int flags);

} // namespace varnel
