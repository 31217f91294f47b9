// Plain POSIX reads and writes for the page file and its journal: whole transfers that go on
// after interruptions, and the kind of failure an errno stands for.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "error.h"

namespace jet::file_io {

// Reads n bytes at offset; fewer only at the end of the file; (size_t)-1 on an error.
std::size_t readAt(int fd, std::uint8_t* out, std::size_t n, off_t offset);
bool writeAt(int fd, const std::uint8_t* in, std::size_t n, off_t offset);
// Flushes the folder that holds `file`, so that a new or removed name is on disk.
bool syncDirectoryOf(const std::filesystem::path& file);

// What errno says, for messages, and the kind of failure it is.
std::string errnoText();
ErrorKind errnoKind();

// FNV-1a, 64 bits: enough to tell a torn or stale record from a whole one.
struct Checksum {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    void add(const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 0x100000001b3ULL;
        }
    }
    void add64(std::uint64_t v) {
        std::uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
        add(b, 8);
    }
};

inline void store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void store64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace jet::file_io
