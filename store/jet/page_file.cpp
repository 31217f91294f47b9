// The page array over a file descriptor. Pages are read on first use and kept for the life of
// the object (so views handed out stay valid); memory is bounded by the file size.
//
// Writing is kept apart below: a simple write-through under a transaction, with the old images
// held in memory for rollback. The durable journal and the lock replace that part later.
#include "page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "error.h"
#include "format.h"

namespace jet {

namespace {

std::string describe(const std::filesystem::path& path, const std::string& what) {
    return path.string() + ": " + what;
}

std::string errnoText() { return std::strerror(errno); }

// Reads exactly n bytes at offset, or fewer only at the end of the file.
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

}  // namespace

struct PageFile::Impl {
    std::filesystem::path path;
    Mode mode;
    int fd = -1;
    std::size_t pageSize = 0;
    std::uint32_t pageCount = 0;
    // Loaded pages by number; a page once loaded never moves.
    std::vector<std::unique_ptr<std::uint8_t[]>> cache;
    // Pages dropped by a rollback of an append, kept so old views stay valid.
    std::vector<std::unique_ptr<std::uint8_t[]>> retired;
    std::uint64_t generation = 0;

    // Transaction state of the simple writer.
    bool inTransaction = false;
    std::uint32_t pageCountAtBegin = 0;
    std::map<std::uint32_t, std::vector<std::uint8_t>> before;

    [[noreturn]] void fail(const std::string& what) const { throw Error(describe(path, what)); }

    std::uint8_t* load(std::uint32_t n) {
        if (n >= pageCount)
            fail("page " + std::to_string(n) + " is beyond the end of the file (" +
                 std::to_string(pageCount) + " pages)");
        if (n >= cache.size()) cache.resize(pageCount);
        auto& slot = cache[n];
        if (!slot) {
            auto buf = std::make_unique<std::uint8_t[]>(pageSize);
            std::size_t got = readAt(fd, buf.get(), pageSize, static_cast<off_t>(n) * pageSize);
            if (got == static_cast<std::size_t>(-1))
                fail("cannot read page " + std::to_string(n) + ": " + errnoText());
            if (got < pageSize)
                fail("page " + std::to_string(n) + " is cut short (the file was truncated)");
            slot = std::move(buf);
        }
        return slot.get();
    }

    // --- the simple writer ---
    void requireWritable(const char* op) const {
        if (mode != Mode::ReadWrite) fail(std::string(op) + ": the file is open read-only");
        if (!inTransaction) fail(std::string(op) + ": no transaction is running");
    }
    void keepOldImage(std::uint32_t n) {
        if (n >= pageCountAtBegin || before.count(n)) return;
        const std::uint8_t* p = load(n);
        before.emplace(n, std::vector<std::uint8_t>(p, p + pageSize));
    }
    void store(std::uint32_t n, std::span<const std::uint8_t> content) {
        if (!writeAt(fd, content.data(), pageSize, static_cast<off_t>(n) * pageSize))
            fail("cannot write page " + std::to_string(n) + ": " + errnoText());
    }
};

PageFile::PageFile(const std::filesystem::path& path, Mode mode) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->mode = mode;
    int flags = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    impl_->fd = ::open(path.c_str(), flags);
    if (impl_->fd < 0) impl_->fail("cannot open: " + errnoText());
    struct stat st {};
    if (::fstat(impl_->fd, &st) != 0) {
        std::string e = errnoText();
        ::close(impl_->fd);
        impl_->fail("cannot read its size: " + e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(impl_->fd);
        impl_->fail("not a regular file");
    }
    std::array<std::uint8_t, header::kVersionOffset + 1> head{};
    std::size_t got = readAt(impl_->fd, head.data(), head.size(), 0);
    if (got != head.size()) {
        ::close(impl_->fd);
        impl_->fail("too short for a Jet database header");
    }
    std::uint8_t version = head[header::kVersionOffset];
    impl_->pageSize = version == header::kVersionJet3 ? kJet3Layout.pageSize : kJet4Layout.pageSize;
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < impl_->pageSize) {
        ::close(impl_->fd);
        impl_->fail("too short for a Jet database header page");
    }
    std::uint64_t pages = size / impl_->pageSize;
    if (pages > 0xFFFFFF) {
        ::close(impl_->fd);
        impl_->fail("larger than any Jet database can be");
    }
    impl_->pageCount = static_cast<std::uint32_t>(pages);
}

PageFile::~PageFile() {
    if (impl_->inTransaction) {
        try {
            rollback();
        } catch (...) {
            // Nothing more can be done for the file in a destructor.
        }
    }
    if (impl_->fd >= 0) ::close(impl_->fd);
}

const std::filesystem::path& PageFile::path() const { return impl_->path; }
PageFile::Mode PageFile::mode() const { return impl_->mode; }
std::size_t PageFile::pageSize() const { return impl_->pageSize; }
std::uint32_t PageFile::pageCount() const { return impl_->pageCount; }
std::uint64_t PageFile::generation() const { return impl_->generation; }

std::span<const std::uint8_t> PageFile::page(std::uint32_t n) const {
    return {impl_->load(n), impl_->pageSize};
}

// ---- writing (simple write-through; see the top of the file) ----

void PageFile::begin() {
    if (impl_->mode != Mode::ReadWrite) impl_->fail("begin: the file is open read-only");
    if (impl_->inTransaction) impl_->fail("begin: a transaction is already running");
    impl_->inTransaction = true;
    impl_->pageCountAtBegin = impl_->pageCount;
    impl_->before.clear();
}

void PageFile::write(std::uint32_t n, std::span<const std::uint8_t> content) {
    impl_->requireWritable("write");
    if (content.size() != impl_->pageSize)
        impl_->fail("write: page " + std::to_string(n) + " given " +
                    std::to_string(content.size()) + " bytes");
    if (n >= impl_->pageCount) impl_->fail("write: no page " + std::to_string(n));
    impl_->keepOldImage(n);
    std::uint8_t* p = impl_->load(n);
    impl_->store(n, content);
    std::memmove(p, content.data(), impl_->pageSize);
}

std::uint32_t PageFile::append(std::span<const std::uint8_t> content) {
    impl_->requireWritable("append");
    if (content.size() != impl_->pageSize)
        impl_->fail("append: given " + std::to_string(content.size()) + " bytes");
    if (impl_->pageCount >= 0xFFFFFF) impl_->fail("append: the file is full");
    std::uint32_t n = impl_->pageCount;
    impl_->store(n, content);
    impl_->pageCount = n + 1;
    impl_->cache.resize(impl_->pageCount);
    auto buf = std::make_unique<std::uint8_t[]>(impl_->pageSize);
    std::memcpy(buf.get(), content.data(), impl_->pageSize);
    impl_->cache[n] = std::move(buf);
    return n;
}

void PageFile::commit() {
    if (!impl_->inTransaction) impl_->fail("commit: no transaction is running");
    if (::fsync(impl_->fd) != 0) impl_->fail("commit: cannot flush to disk: " + errnoText());
    impl_->inTransaction = false;
    impl_->before.clear();
    ++impl_->generation;
}

void PageFile::rollback() {
    if (!impl_->inTransaction) impl_->fail("rollback: no transaction is running");
    for (auto& [n, image] : impl_->before) {
        impl_->store(n, image);
        std::memcpy(impl_->cache[n].get(), image.data(), impl_->pageSize);
    }
    for (std::uint32_t n = impl_->pageCountAtBegin; n < impl_->pageCount; ++n)
        if (n < impl_->cache.size() && impl_->cache[n])
            impl_->retired.push_back(std::move(impl_->cache[n]));
    if (impl_->pageCount != impl_->pageCountAtBegin) {
        impl_->pageCount = impl_->pageCountAtBegin;
        impl_->cache.resize(impl_->pageCount);
        if (::ftruncate(impl_->fd, static_cast<off_t>(impl_->pageCount) * impl_->pageSize) != 0)
            impl_->fail("rollback: cannot shorten the file: " + errnoText());
    }
    impl_->inTransaction = false;
    impl_->before.clear();
    ++impl_->generation;
}

bool PageFile::inTransaction() const { return impl_->inTransaction; }

}  // namespace jet
