#include "util/OpenPath.h"

#include "util/UniqueFd.h"

#include <fcntl.h>

#include <cerrno>
#include <string>

namespace varnel {

int openPath(const std::filesystem::path &path, int flags)
{
    const std::string &s = path.native();
    const int fd = ::open(s.c_str(), flags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    const bool absolute = !s.empty() && s.front() == '/';
    UniqueFd dir(::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return -1;
    std::size_t start = 0;
    for (;;) {
        while (start < s.size() && s[start] == '/')
            ++start;
        const std::size_t slash = s.find('/', start);
        if (slash == std::string::npos)
            break;
        const std::string part = s.substr(start, slash - start);
        UniqueFd next(::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next)
            return -1;
        dir = std::move(next);
        start = slash + 1;
    }
    // A name past NAME_MAX still fails here, with the system's reason.
    return ::openat(dir.get(), start < s.size() ? s.c_str() + start : ".", flags);
}

} // namespace varnel
