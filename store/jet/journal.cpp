#include "journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <random>

#include "bytes.h"
#include "error.h"
#include "file_io.h"
#include "format.h"

namespace jet::journal {

using namespace file_io;

namespace {

constexpr std::array<std::uint8_t, 8> kMagicV1{'M', 'Z', 'J', 'R', 'N', 'L', '0', '1'};
constexpr std::array<std::uint8_t, 8> kMagicV2{'M', 'Z', 'J', 'R', 'N', 'L', '0', '2'};
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kSector = 512;

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& what,
                       ErrorKind kind = ErrorKind::General) {
    throw Error(file.string() + ": " + what, kind);
}

std::uint64_t sectorSum(const std::uint8_t* p) {
    Checksum c;
    c.add(p, kSector);
    return c.h;
}

std::size_t recordSize(std::size_t pageSize, bool sums) {
    return 4 + pageSize + (sums ? pageSize / kSector * 8 : 0) + 8;
}

std::uint64_t recordSum(std::uint64_t nonce, const std::uint8_t* record, std::size_t body) {
    Checksum c;
    c.add64(nonce);
    c.add(record, body);
    return c.h;
}

struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
};

// A free name beside the journal for one that must not be applied.
std::filesystem::path asideName(const std::filesystem::path& jpath) {
    for (int i = 0;; ++i) {
        auto p = std::filesystem::path(jpath.string() + ".set-aside" +
                                       (i ? "-" + std::to_string(i) : std::string()));
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(p, ec))) return p;
    }
}

}  // namespace

std::filesystem::path pathOf(const std::filesystem::path& file) {
    return std::filesystem::path(file.string() + "-journal");
}

Writer::Writer(const std::filesystem::path& file, std::size_t pageSize,
               std::uint32_t pageCountBefore)
    : file_(file), path_(pathOf(file)), pageSize_(pageSize) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) fail(file, "cannot create the rollback journal: " + errnoText(), errnoKind());
    std::random_device rd;
    nonce_ = static_cast<std::uint64_t>(rd()) << 32 ^ rd() ^
             static_cast<std::uint64_t>(::getpid()) << 16;
    std::array<std::uint8_t, kHeaderSize> head{};
    std::copy(kMagicV2.begin(), kMagicV2.end(), head.begin());
    store32(head.data() + 8, static_cast<std::uint32_t>(pageSize));
    store32(head.data() + 12, pageCountBefore);
    store64(head.data() + 16, nonce_);
    Checksum c;
    c.add(head.data(), 24);
    store64(head.data() + 24, c.h);
    if (!writeAt(fd_, head.data(), head.size(), 0))
        fail(file, "cannot write the rollback journal: " + errnoText(), errnoKind());
    end_ = kHeaderSize;
    record_.resize(recordSize(pageSize, true));
}

Writer::~Writer() {
    if (fd_ >= 0) ::close(fd_);
}

void Writer::add(std::uint32_t page, const std::uint8_t* before, const std::uint8_t* after) {
    std::uint8_t* r = record_.data();
    store32(r, page);
    std::memcpy(r + 4, before, pageSize_);
    for (std::size_t s = 0; s < pageSize_ / kSector; ++s)
        store64(r + 4 + pageSize_ + 8 * s, sectorSum(after + s * kSector));
    const std::size_t body = record_.size() - 8;
    store64(r + body, recordSum(nonce_, r, body));
    if (!writeAt(fd_, r, record_.size(), static_cast<off_t>(end_)))
        fail(file_, "cannot write the rollback journal: " + errnoText(), errnoKind());
    end_ += static_cast<std::int64_t>(record_.size());
}

void Writer::sync() {
    if (::fsync(fd_) != 0)
        fail(file_, "cannot flush the rollback journal: " + errnoText(), errnoKind());
    if (!named_ && !syncDirectoryOf(file_))
        fail(file_, "cannot flush the folder of the rollback journal: " + errnoText(), errnoKind());
    named_ = true;
}

void Writer::remove() {
    ::close(fd_);
    fd_ = -1;
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
        fail(file_, "cannot remove the rollback journal: " + errnoText(), errnoKind());
    if (!syncDirectoryOf(file_))
        fail(file_, "cannot flush the folder of the rollback journal: " + errnoText(), errnoKind());
}

Recovery recover(const std::filesystem::path& file, int fd, std::size_t pageSize, bool writable) {
    Recovery out;
    const auto jpath = pathOf(file);
    const int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) {
        if (errno == ENOENT) return out;
        fail(file, "cannot read its rollback journal: " + errnoText(), errnoKind());
    }
    Closer closer{jfd};

    // The header, or nothing: a journal cut off before its first flush was made before the
    // file was touched.
    std::array<std::uint8_t, kHeaderSize> head{};
    const bool v1 = readAt(jfd, head.data(), head.size(), 0) == head.size() &&
                    std::equal(kMagicV1.begin(), kMagicV1.end(), head.begin());
    bool valid = v1 || std::equal(kMagicV2.begin(), kMagicV2.end(), head.begin());
    const std::uint32_t journalPageSize = le32(head.data() + 8);
    const std::uint32_t pageCount = le32(head.data() + 12);
    const std::uint64_t nonce = le64(head.data() + 16);
    if (valid) {
        Checksum c;
        c.add(head.data(), 24);
        valid = c.h == le64(head.data() + 24) && journalPageSize == pageSize;
    }

    // Records up to the first that does not check out: records after the last flush may be
    // torn, but no page was written over the file before its record was flushed.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> records;
    bool bound = true;
    struct stat st {};
    if (valid) {
        if (::fstat(fd, &st) != 0) fail(file, "cannot read its size: " + errnoText());
        const auto size = static_cast<std::uint64_t>(st.st_size);
        // The change only ever added pages: a shorter file is not the one it was made for.
        if (!v1 && size < std::uint64_t{pageCount} * pageSize) bound = false;
        std::vector<std::uint8_t> record(recordSize(pageSize, !v1));
        std::vector<std::uint8_t> now(pageSize);
        const std::size_t body = record.size() - 8;
        for (off_t at = kHeaderSize;; at += static_cast<off_t>(record.size())) {
            if (readAt(jfd, record.data(), record.size(), at) != record.size()) break;
            const std::uint32_t n = le32(record.data());
            const bool whole = v1 ? [&] {
                Checksum c;
                c.add64(nonce);
                c.add64(n);
                c.add(record.data() + 4, pageSize);
                return c.h == le64(record.data() + 4 + pageSize);
            }()
                                  : recordSum(nonce, record.data(), body) == le64(record.data() + body);
            if (n >= pageCount || !whole) break;
            const std::uint8_t* before = record.data() + 4;
            if (!v1 && bound) {
                if (readAt(fd, now.data(), pageSize, static_cast<off_t>(n) * pageSize) != pageSize)
                    bound = false;
                for (std::size_t s = 0; bound && s < pageSize / kSector; ++s) {
                    const std::uint8_t* sector = now.data() + s * kSector;
                    bound = std::memcmp(sector, before + s * kSector, kSector) == 0 ||
                            sectorSum(sector) == le64(before + pageSize + 8 * s);
                }
            }
            records.emplace_back(n, std::vector<std::uint8_t>(before, before + pageSize));
        }
    }

    if (valid && !bound) {
        const auto aside = asideName(jpath);
        if (::rename(jpath.c_str(), aside.c_str()) == 0) {
            syncDirectoryOf(file);
            out.notice =
                "a rollback journal made for another file (or an earlier copy of "
                "this one) was found beside it and not applied; it was kept as " +
                aside.string();
        } else {
            out.notice =
                "a rollback journal made for another file was found beside it and "
                "not applied; it could not be moved aside (" +
                errnoText() + ")";
        }
        out.outcome = Recovery::Outcome::SetAside;
        return out;
    }

    if (valid && !writable) {
        out.outcome = Recovery::Outcome::Overlay;
        out.pageCount = pageCount;
        for (auto& [n, image] : records) out.images.emplace(n, std::move(image));
        return out;
    }
    if (valid) {
        for (const auto& [n, image] : records)
            if (!writeAt(fd, image.data(), pageSize, static_cast<off_t>(n) * pageSize))
                fail(file, "cannot undo an interrupted change: " + errnoText(), errnoKind());
        if (static_cast<std::uint64_t>(st.st_size) > std::uint64_t{pageCount} * pageSize &&
            ::ftruncate(fd, static_cast<off_t>(pageCount) * pageSize) != 0)
            fail(file, "cannot undo an interrupted change: " + errnoText(), errnoKind());
        if (::fsync(fd) != 0)
            fail(file, "cannot flush an undone change: " + errnoText(), errnoKind());
        out.outcome = Recovery::Outcome::RolledBack;
    }
    if (::unlink(jpath.c_str()) != 0 && errno != ENOENT) {
        // A read-only folder keeps the journal; the file is whole again, and the journal,
        // applied once more at the next open, changes nothing.
        if (errnoKind() != ErrorKind::ReadOnly)
            fail(file, "cannot remove its rollback journal: " + errnoText(), errnoKind());
        out.notice =
            "its rollback journal was applied but could not be removed (" + errnoText() + ")";
        return out;
    }
    syncDirectoryOf(file);
    return out;
}

}  // namespace jet::journal
