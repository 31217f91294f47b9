#include "file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace jet::file_io {

std::size_t readAt(int fd, std::uint8_t* out, std::size_t n, off_t offset) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, out + done, n - done, offset + static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return static_cast<std::size_t>(-1);
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

bool writeAt(int fd, const std::uint8_t* in, std::size_t n, off_t offset) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pwrite(fd, in + done, n - done, offset + static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool syncDirectoryOf(const std::filesystem::path& file) {
    const std::filesystem::path dir =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return false;
    const bool ok = ::fsync(dfd) == 0;
    ::close(dfd);
    return ok;
}

std::string errnoText() { return std::strerror(errno); }

ErrorKind errnoKind() {
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return ErrorKind::Missing;
        case EACCES:
        case EPERM:
        case EROFS:
            return ErrorKind::ReadOnly;
        case ENOSPC:
        case EDQUOT:
            return ErrorKind::DiskFull;
        default:
            return ErrorKind::General;
    }
}

}  // namespace jet::file_io
