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

// Changing `file` for as long as it lives: a write lock over the whole file, or over its first
// `length` bytes (as Access holds its lock file).
class OtherProgram {
  public:
    explicit OtherProgram(const std::filesystem::path& file, off_t length = 0)
        : fd_(::open(file.c_str(), O_RDWR | O_CLOEXEC)) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_len = length;
        EXPECT_EQ(::fcntl(fd_, F_OFD_SETLK, &lock), 0) << file;
    }
    ~OtherProgram() { ::close(fd_); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

  private:
    int fd_;
};

// `file` made read-only for this process while it lives; made() is false where that cannot be
// done. Root writes to any file that is not immutable.
class ReadOnly {
  public:
    explicit ReadOnly(const std::filesystem::path& file)
        : quoted_("'" + file.string() + "'"), root_(::geteuid() == 0) {
        made_ = root_ ? std::system(("chattr +i " + quoted_ + " 2>/dev/null").c_str()) == 0
                      : ::chmod(file.c_str(), 0444) == 0;
    }
    ~ReadOnly() {
        if (made_ && root_) std::system(("chattr -i " + quoted_).c_str());
    }
    bool made() const { return made_; }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

  private:
    std::string quoted_;
    bool root_, made_;
};

}  // namespace mozhou_test
