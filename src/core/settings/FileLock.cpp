#include "settings/FileLock.h"

#include "util/RegularFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace varnel {

LockedFile lockSettingsFile(const std::filesystem::path &path)
{
    LockedFile locked;
    RegularFile file = openRegularFile(path, O_RDWR | O_CREAT, 0600);
    if (file.special) {
        locked.error = EINVAL;
    } else if (file.error) {
        locked.error = file.error;
    } else if (::flock(file.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        // Another instance holds it: read only.
        locked.error = errno == EINTR ? EWOULDBLOCK : errno;
    } else {
        locked.fd = std::move(file.fd);
    }
    return locked;
}

} // namespace varnel
