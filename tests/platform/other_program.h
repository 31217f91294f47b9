// Another program at the bank, as the window tests stand for it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace mozhou_test {

// Changing `file` while it lives: a write lock over the whole file, or over its first `length`
// bytes (as Access holds its lock file).
struct OtherProgram {
    int fd;
    explicit OtherProgram(const std::filesystem::path& file, off_t length = 0)
        : fd(::open(file.c_str(), O_RDWR | O_CLOEXEC)) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_len = length;
        EXPECT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0) << file;
    }
    ~OtherProgram() { ::close(fd); }
};

// `file` read-only for this process while it lives, where `made` (root writes to any file that
// is not immutable).
struct ReadOnly {
    std::string quoted;
    bool made = ::geteuid() == 0
                    ? std::system(("chattr +i " + quoted + " 2>/dev/null").c_str()) == 0
                    : ::chmod(quoted.substr(1, quoted.size() - 2).c_str(), 0444) == 0;
    explicit ReadOnly(const std::filesystem::path& file) : quoted("'" + file.string() + "'") {}
    ~ReadOnly() {
        if (made && ::geteuid() == 0) std::system(("chattr -i " + quoted).c_str());
    }
};

}  // namespace mozhou_test
