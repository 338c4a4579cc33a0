#include "util/RegularFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace varnel {
namespace {

bool special(mode_t mode)
{
    return !S_ISREG(mode) && !S_ISDIR(mode);
}

} // namespace

RegularFile openRegularFile(const std::filesystem::path &path, int flags, mode_t createMode)
{
    RegularFile file;
    struct stat before { };
    if (::stat(path.c_str(), &before) == 0 && (special(before.st_mode) || S_ISDIR(before.st_mode))) {
        file.special = special(before.st_mode);
        file.error = S_ISDIR(before.st_mode) ? EISDIR : 0;
        file.status = before;
        return file;
    }
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, createMode));
    if (!fd) {
        file.error = errno;
        return file;
    }
    if (::fstat(fd.get(), &file.status) != 0) {
        file.error = errno;
        return file;
    }
    if (S_ISDIR(file.status.st_mode))
        file.error = EISDIR;
    else if (special(file.status.st_mode))
        file.special = true;
    else
        file.fd = std::move(fd);
    return file;
}

bool isSpecialFile(const std::filesystem::path &path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && special(st.st_mode);
}

bool readAllAt(int fd, std::string &out)
{
    out.clear();
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

std::string notRegularFileText(const std::filesystem::path &path)
{
    return "不是普通文件：" + path.string();
}

std::string permissionText(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace varnel
