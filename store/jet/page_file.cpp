// The page array over a file descriptor. Pages are read on first use and kept for the life of
// the object (so views handed out stay valid); memory is bounded by the file size.
//
// Writing. A transaction keeps its changed pages in memory, and the first image of every page
// it overwrites. Pages reach the file in a "flush": the old images not yet journaled are
// appended to "<file>-journal" and flushed to disk (with the directory, when the journal is
// new), and only then are the changed pages written over the file. Commit flushes, makes the
// file durable and removes the journal; removing it is the moment the change becomes final.
//
// Journal layout (little-endian):
//   header  "MZJRNL01", page size (4), page count before the transaction (4), nonce (8),
//           checksum of the 24 bytes before it (8)
//   records page number (4), the page's old image, checksum of nonce, number and image (8)
// A header that does not check out means the journal was cut off before its first flush, so
// the file was never touched: the journal is simply removed. Records are read up to the first
// one that does not check out; records after the last flush may be torn, but pages are written
// over the file only after their records were flushed, so nothing read past that is needed.
#include "page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <set>
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

constexpr std::array<std::uint8_t, 8> kJournalMagic{'M', 'Z', 'J', 'R', 'N', 'L', '0', '1'};
constexpr std::size_t kJournalHeaderSize = 32;
// Changed pages a transaction may hold in memory before they go to the file (64 MB of
// Jet 4 pages).
constexpr std::size_t kMaxHeldPages = 16384;

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
        std::array<std::uint8_t, 8> b{};
        for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
        add(b.data(), b.size());
    }
};

void store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void store64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t load64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(load32(p)) | static_cast<std::uint64_t>(load32(p + 4)) << 32;
}

std::uint64_t recordChecksum(std::uint64_t nonce, std::uint32_t page, const std::uint8_t* image,
                             std::size_t size) {
    Checksum c;
    c.add64(nonce);
    c.add64(page);
    c.add(image, size);
    return c.h;
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

// A write lock on the whole file, held by the open file description, so that it belongs to
// this PageFile and no other descriptor's close can drop it.
bool lockForWriting(int fd) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
#ifdef F_OFD_SETLK
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
#else
    return ::fcntl(fd, F_SETLK, &fl) == 0;
#endif
}

std::string lockedText() {
    return "is being changed by another program; close it there and try again";
}

// Puts back what a journal left by an interrupted change holds, then removes it. `fd` is the
// database opened for writing and locked. Throws on a failure that leaves the journal in
// place (it is tried again at the next open).
void rollBackJournal(const std::filesystem::path& path, int fd) {
    const auto jpath = PageFile::journalPath(path);
    const int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) {
        if (errno == ENOENT) return;
        throw Error(describe(path, "cannot read its rollback journal: " + errnoText()));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{jfd};
    std::array<std::uint8_t, kJournalHeaderSize> head{};
    bool valid = readAt(jfd, head.data(), head.size(), 0) == head.size() &&
                 std::equal(kJournalMagic.begin(), kJournalMagic.end(), head.begin());
    std::uint32_t pageSize = 0, pageCount = 0;
    std::uint64_t nonce = 0;
    if (valid) {
        Checksum c;
        c.add(head.data(), 24);
        pageSize = load32(head.data() + 8);
        pageCount = load32(head.data() + 12);
        nonce = load64(head.data() + 16);
        valid = c.h == load64(head.data() + 24) &&
                (pageSize == kJet3Layout.pageSize || pageSize == kJet4Layout.pageSize);
    }
    if (valid) {
        std::vector<std::uint8_t> record(4 + pageSize + 8);
        for (off_t at = kJournalHeaderSize;; at += static_cast<off_t>(record.size())) {
            if (readAt(jfd, record.data(), record.size(), at) != record.size()) break;
            const std::uint32_t n = load32(record.data());
            if (n >= pageCount || recordChecksum(nonce, n, record.data() + 4, pageSize) !=
                                      load64(record.data() + 4 + pageSize))
                break;
            if (!writeAt(fd, record.data() + 4, pageSize, static_cast<off_t>(n) * pageSize))
                throw Error(describe(path, "cannot undo an interrupted change: " + errnoText()));
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 &&
            static_cast<std::uint64_t>(st.st_size) >
                static_cast<std::uint64_t>(pageCount) * pageSize &&
            ::ftruncate(fd, static_cast<off_t>(pageCount) * pageSize) != 0)
            throw Error(describe(path, "cannot undo an interrupted change: " + errnoText()));
        if (::fsync(fd) != 0)
            throw Error(describe(path, "cannot flush an undone change: " + errnoText()));
    }
    if (::unlink(jpath.c_str()) != 0 && errno != ENOENT)
        throw Error(describe(path, "cannot remove its rollback journal: " + errnoText()));
    syncDirectoryOf(path);
}

}  // namespace

std::filesystem::path PageFile::journalPath(const std::filesystem::path& file) {
    return std::filesystem::path(file.string() + "-journal");
}

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

    // The running transaction.
    struct Original {
        std::vector<std::uint8_t> image;
        bool journaled = false;
    };
    bool inTransaction = false;
    std::uint32_t pageCountAtBegin = 0;
    std::uint32_t diskPages = 0;                  // pages the file holds on disk now
    std::map<std::uint32_t, Original> originals;  // pages that existed before it, as they were
    std::set<std::uint32_t> dirty;                // pages whose cache is newer than the file
    int journalFd = -1;
    off_t journalEnd = 0;
    std::uint64_t nonce = 0;
    // The running statement.
    bool inStatement = false;
    std::uint32_t pageCountAtStatement = 0;
    std::map<std::uint32_t, std::vector<std::uint8_t>> statementImages;

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

    void requireWritable(const char* op) const {
        if (mode != Mode::ReadWrite) fail(std::string(op) + ": the file is open read-only");
        if (!inTransaction) fail(std::string(op) + ": no transaction is running");
    }

    void remember(std::uint32_t n) {
        if (n < pageCountAtBegin && !originals.count(n)) {
            const std::uint8_t* p = load(n);
            originals[n].image.assign(p, p + pageSize);
        }
        if (inStatement && n < pageCountAtStatement && !statementImages.count(n)) {
            const std::uint8_t* p = load(n);
            statementImages.emplace(n, std::vector<std::uint8_t>(p, p + pageSize));
        }
    }

    void openJournal() {
        const auto jpath = journalPath(path);
        journalFd = ::open(jpath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (journalFd < 0) fail("cannot create the rollback journal: " + errnoText());
        std::random_device rd;
        nonce = static_cast<std::uint64_t>(rd()) << 32 ^ rd() ^
                static_cast<std::uint64_t>(::getpid()) << 16;
        std::array<std::uint8_t, kJournalHeaderSize> head{};
        std::copy(kJournalMagic.begin(), kJournalMagic.end(), head.begin());
        store32(head.data() + 8, static_cast<std::uint32_t>(pageSize));
        store32(head.data() + 12, pageCountAtBegin);
        store64(head.data() + 16, nonce);
        Checksum c;
        c.add(head.data(), 24);
        store64(head.data() + 24, c.h);
        if (!writeAt(journalFd, head.data(), head.size(), 0))
            fail("cannot write the rollback journal: " + errnoText());
        journalEnd = kJournalHeaderSize;
    }

    // Journals the old images, then writes the changed pages over the file.
    void flush() {
        const bool shrunk = diskPages > pageCount;
        if (dirty.empty() && !shrunk) return;
        const bool fresh = journalFd < 0;
        if (fresh) openJournal();
        std::vector<std::uint8_t> record(4 + pageSize + 8);
        for (auto& [n, o] : originals) {
            if (o.journaled) continue;
            store32(record.data(), n);
            std::memcpy(record.data() + 4, o.image.data(), pageSize);
            store64(record.data() + 4 + pageSize,
                    recordChecksum(nonce, n, o.image.data(), pageSize));
            if (!writeAt(journalFd, record.data(), record.size(), journalEnd))
                fail("cannot write the rollback journal: " + errnoText());
            journalEnd += static_cast<off_t>(record.size());
            o.journaled = true;
        }
        if (::fsync(journalFd) != 0) fail("cannot flush the rollback journal: " + errnoText());
        if (fresh && !syncDirectoryOf(path))
            fail("cannot flush the folder of the rollback journal: " + errnoText());
        for (std::uint32_t n : dirty) {
            if (n >= pageCount) continue;
            if (!writeAt(fd, load(n), pageSize, static_cast<off_t>(n) * pageSize))
                fail("cannot write page " + std::to_string(n) + ": " + errnoText());
            diskPages = std::max(diskPages, n + 1);
        }
        dirty.clear();
        if (diskPages > pageCount) {
            if (::ftruncate(fd, static_cast<off_t>(pageCount) * pageSize) != 0)
                fail("cannot shorten the file: " + errnoText());
            diskPages = pageCount;
        }
    }

    void removeJournal() {
        if (journalFd < 0) return;
        ::close(journalFd);
        journalFd = -1;
        if (::unlink(journalPath(path).c_str()) != 0 && errno != ENOENT)
            fail("cannot remove the rollback journal: " + errnoText());
        if (!syncDirectoryOf(path))
            fail("cannot flush the folder of the rollback journal: " + errnoText());
    }

    void dropPagesFrom(std::uint32_t count) {
        for (std::uint32_t n = count; n < pageCount; ++n) {
            if (n < cache.size() && cache[n]) retired.push_back(std::move(cache[n]));
            dirty.erase(n);
        }
        pageCount = count;
        cache.resize(pageCount);
    }

    void endTransaction() {
        inTransaction = false;
        inStatement = false;
        originals.clear();
        dirty.clear();
        statementImages.clear();
        ++generation;
    }
};

PageFile::PageFile(const std::filesystem::path& path, Mode mode) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->mode = mode;
    int flags = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    impl_->fd = ::open(path.c_str(), flags);
    if (impl_->fd < 0) impl_->fail("cannot open: " + errnoText());
    auto failClosed = [&](const std::string& what) {
        ::close(impl_->fd);
        impl_->fd = -1;
        impl_->fail(what);
    };
    struct stat st {};
    if (::fstat(impl_->fd, &st) != 0) failClosed("cannot read its size: " + errnoText());
    if (!S_ISREG(st.st_mode)) failClosed("not a regular file");

    // A journal left behind by a program that stopped in the middle of a change is rolled
    // back before anything is read; a journal of a change still running elsewhere is not.
    const bool journal = ::access(journalPath(path).c_str(), F_OK) == 0;
    if (mode == Mode::ReadWrite) {
        if (!lockForWriting(impl_->fd)) {
            ::close(impl_->fd);
            impl_->fd = -1;
            throw Error(describe(path, lockedText()), ErrorKind::Busy);
        }
        if (journal) {
            try {
                rollBackJournal(path, impl_->fd);
            } catch (const Error& e) {
                ::close(impl_->fd);
                impl_->fd = -1;
                throw;
            }
        }
    } else if (journal) {
        const int wfd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (wfd < 0)
            failClosed(
                "was left half-changed by a program that stopped; open it once with "
                "write access to repair it");
        if (lockForWriting(wfd)) {
            try {
                rollBackJournal(path, wfd);
            } catch (const Error&) {
                ::close(wfd);
                ::close(impl_->fd);
                impl_->fd = -1;
                throw;
            }
        }
        ::close(wfd);
    }
    if (::fstat(impl_->fd, &st) != 0) failClosed("cannot read its size: " + errnoText());

    std::array<std::uint8_t, header::kVersionOffset + 1> head{};
    std::size_t got = readAt(impl_->fd, head.data(), head.size(), 0);
    if (got != head.size()) failClosed("too short for a Jet database header");
    std::uint8_t version = head[header::kVersionOffset];
    impl_->pageSize = version == header::kVersionJet3 ? kJet3Layout.pageSize : kJet4Layout.pageSize;
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < impl_->pageSize) failClosed("too short for a Jet database header page");
    std::uint64_t pages = size / impl_->pageSize;
    if (pages > 0xFFFFFF) failClosed("larger than any Jet database can be");
    impl_->pageCount = static_cast<std::uint32_t>(pages);
    impl_->diskPages = impl_->pageCount;
}

PageFile::~PageFile() {
    if (impl_->inTransaction) {
        try {
            rollback();
        } catch (...) {
            // The journal stays; the next open rolls the file back.
        }
    }
    if (impl_->journalFd >= 0) ::close(impl_->journalFd);
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

void PageFile::begin() {
    if (impl_->mode != Mode::ReadWrite) impl_->fail("begin: the file is open read-only");
    if (impl_->inTransaction) impl_->fail("begin: a transaction is already running");
    impl_->inTransaction = true;
    impl_->pageCountAtBegin = impl_->pageCount;
    impl_->originals.clear();
    impl_->dirty.clear();
}

void PageFile::write(std::uint32_t n, std::span<const std::uint8_t> content) {
    impl_->requireWritable("write");
    if (content.size() != impl_->pageSize)
        impl_->fail("write: page " + std::to_string(n) + " given " +
                    std::to_string(content.size()) + " bytes");
    if (n >= impl_->pageCount) impl_->fail("write: no page " + std::to_string(n));
    impl_->remember(n);
    std::uint8_t* p = impl_->load(n);
    std::memmove(p, content.data(), impl_->pageSize);
    impl_->dirty.insert(n);
    ++impl_->generation;
    if (impl_->dirty.size() > kMaxHeldPages) impl_->flush();
}

std::uint32_t PageFile::append(std::span<const std::uint8_t> content) {
    impl_->requireWritable("append");
    if (content.size() != impl_->pageSize)
        impl_->fail("append: given " + std::to_string(content.size()) + " bytes");
    if (impl_->pageCount >= 0xFFFFFF) impl_->fail("append: the file is full");
    std::uint32_t n = impl_->pageCount;
    impl_->pageCount = n + 1;
    impl_->cache.resize(impl_->pageCount);
    auto buf = std::make_unique<std::uint8_t[]>(impl_->pageSize);
    std::memcpy(buf.get(), content.data(), impl_->pageSize);
    impl_->cache[n] = std::move(buf);
    impl_->dirty.insert(n);
    ++impl_->generation;
    if (impl_->dirty.size() > kMaxHeldPages) impl_->flush();
    return n;
}

void PageFile::commit() {
    if (!impl_->inTransaction) impl_->fail("commit: no transaction is running");
    impl_->inStatement = false;
    impl_->flush();
    if (impl_->journalFd >= 0) {
        if (::fsync(impl_->fd) != 0) impl_->fail("commit: cannot flush to disk: " + errnoText());
        impl_->removeJournal();
    }
    impl_->endTransaction();
}

void PageFile::rollback() {
    if (!impl_->inTransaction) impl_->fail("rollback: no transaction is running");
    Impl& m = *impl_;
    bool wroteFile = false;
    for (auto& [n, o] : m.originals) {
        std::memcpy(m.load(n), o.image.data(), m.pageSize);
        if (o.journaled) {
            if (!writeAt(m.fd, o.image.data(), m.pageSize, static_cast<off_t>(n) * m.pageSize))
                m.fail("rollback: cannot write page " + std::to_string(n) + ": " + errnoText());
            wroteFile = true;
        }
    }
    m.dropPagesFrom(m.pageCountAtBegin);
    if (m.diskPages > m.pageCount) {
        if (::ftruncate(m.fd, static_cast<off_t>(m.pageCount) * m.pageSize) != 0)
            m.fail("rollback: cannot shorten the file: " + errnoText());
        m.diskPages = m.pageCount;
        wroteFile = true;
    }
    if (wroteFile && ::fsync(m.fd) != 0) m.fail("rollback: cannot flush to disk: " + errnoText());
    m.removeJournal();
    m.endTransaction();
}

bool PageFile::inTransaction() const { return impl_->inTransaction; }

void PageFile::beginStatement() {
    impl_->requireWritable("beginStatement");
    impl_->inStatement = true;
    impl_->pageCountAtStatement = impl_->pageCount;
    impl_->statementImages.clear();
}

void PageFile::undoStatement() {
    Impl& m = *impl_;
    if (!m.inTransaction || !m.inStatement) m.fail("undoStatement: no statement is running");
    for (auto& [n, image] : m.statementImages) {
        std::memcpy(m.load(n), image.data(), m.pageSize);
        m.dirty.insert(n);
    }
    m.dropPagesFrom(m.pageCountAtStatement);
    m.statementImages.clear();
    m.inStatement = false;
    ++m.generation;
}

}  // namespace jet
