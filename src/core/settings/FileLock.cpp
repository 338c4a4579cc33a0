#include "settings/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace varnel {

LockedFile lockSettingsFile(const std::filesystem::path &path)
{
    LockedFile locked;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) {
        locked.error = errno;
        return locked;
    }
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        locked.error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        // Another instance holds it: read only.
        locked.error = errno == EINTR ? EWOULDBLOCK : errno;
    } else {
        locked.fd = std::move(fd);
    }
    return locked;
}

} // namespace varnel
