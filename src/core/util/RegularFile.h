#pragma once

#include "util/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace varnel {

// A file opened to be read that must be a regular file. Its type is looked
// at before it is opened, so that a device is never opened, and again on the
// descriptor (fstat) before a byte is read; the open itself never waits
// (O_NONBLOCK: a FIFO without a writer, a file swapped for one meanwhile).
struct RegularFile {
    UniqueFd fd; // open exactly when error is 0 and special is false
    struct stat status { };
    int error = 0; // errno when it could not be opened; EISDIR for a folder
    bool special = false; // a FIFO, a device or a socket: not read
};
// `flags` as open(2) takes them (O_RDONLY, or O_RDWR | O_CREAT for a file that
// may be made, with `createMode`).
RegularFile openRegularFile(const std::filesystem::path &path, int flags = O_RDONLY, mode_t createMode = 0600);

// The path names a FIFO, a device or a socket (a symbolic link followed).
bool isSpecialFile(const std::filesystem::path &path);

// The whole file from its start (pread, EINTR retried); false with errno set
// when a read failed.
bool readAllAt(int fd, std::string &out);

// What a refusal of such a file says: "不是普通文件：<path>".
std::string notRegularFileText(const std::filesystem::path &path);

// The permission bits of a file as chmod takes them ("0640").
std::string permissionText(mode_t mode);

} // namespace varnel
