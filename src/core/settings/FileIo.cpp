#include "settings/FileIo.h"

#include "util/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace varnel {

bool writeAllAt(int fd, std::string_view bytes, off_t offset)
{
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

bool writePrivateFile(const std::filesystem::path &path, std::string_view bytes)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd || !writeAllAt(fd.get(), bytes, 0))
        return false;
    return fd.close();
}

} // namespace varnel
