// The page array over a file descriptor, and the locking and journaling described in
// page_file.h. Pages are read on first use and kept for the life of the object (so views handed
// out stay valid); a change by another program marks them stale, and they are read again into
// the same memory when next asked for. Memory is bounded by the file size.
#include "page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "error.h"
#include "file_io.h"
#include "format.h"
#include "journal.h"

namespace jet {

using namespace file_io;

namespace {

// The lock bytes: past 1 TiB, beyond the largest Jet file (2^24 pages of 4 KiB).
constexpr off_t kPendingByte = off_t{1} << 40;
constexpr off_t kReservedByte = kPendingByte + 1;
constexpr off_t kSharedByte = kPendingByte + 2;

int writerWaitMs = 5000;
int readerWaitMs = 20000;

std::string describe(const std::filesystem::path& path, const std::string& what) {
    return path.string() + ": " + what;
}

// A lock of this open file description on one byte; false when another holds a conflicting
// one.
bool lockByte(int fd, short type, off_t at) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        return false;
    }
    return true;
}

// Tries `attempt` until it succeeds or `ms` have passed, pausing ever longer in between.
template <typename Attempt>
bool retry(int ms, Attempt attempt) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto pause = std::chrono::microseconds(500);
    while (!attempt()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    return true;
}

// Whether Access (or a program on its engine) has the file open: its lock file beside it
// carries byte-range locks while it does, and none once it closed.
bool accessHoldsIt(const std::filesystem::path& file) {
    auto ldb = file;
    ldb.replace_extension(".ldb");
    const int fd = ::open(ldb.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// What tells one state of the file from another.
struct Signature {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const Signature& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

Signature signatureOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

std::string busyText() {
    return "is being changed by another program; try again when it has finished";
}

}  // namespace

std::filesystem::path PageFile::journalPath(const std::filesystem::path& file) {
    return journal::pathOf(file);
}

void PageFile::setWaitLimits(int writerMilliseconds, int readerMilliseconds) {
    writerWaitMs = writerMilliseconds;
    readerWaitMs = readerMilliseconds;
}

struct PageFile::Impl {
    std::filesystem::path path;
    Mode mode;
    int fd = -1;
    bool fdWritable = false;
    std::size_t pageSize = 0;
    std::uint32_t pageCount = 0;
    // Loaded pages by number; a page once loaded stays where it is until releasePages. A page
    // is current when its epoch is the file's; a change by another program starts a new epoch.
    std::vector<std::unique_ptr<std::uint8_t[]>> cache;
    std::vector<std::uint64_t> loadedIn;
    std::size_t held = 0;  // pages in the cache
    // Buffers of pages let go of, kept for the next pages read rather than handed back to
    // the system and asked for again.
    std::vector<std::unique_ptr<std::uint8_t[]>> spare;
    std::uint64_t epoch = 1;
    std::uint64_t generation = 0;
    Signature seen;
    bool haveSeen = false;
    Signature settledJournal;  // the journal last rolled back or set aside
    // Pages as they were before a dead writer's change, read through its journal where the
    // file cannot be written to put them back.
    std::map<std::uint32_t, std::vector<std::uint8_t>> overlay;
    bool overlaid = false;
    std::vector<std::string> notices;

    // Locks held.
    int readDepth = 0;
    bool shared = false, reserved = false, pending = false, exclusive = false;

    // The running transaction.
    struct Original {
        std::vector<std::uint8_t> image;
        bool journaled = false;  // may be on disk in its new form
    };
    bool inTransaction = false;
    std::uint32_t pageCountAtBegin = 0;
    std::uint32_t diskPages = 0;                  // pages the file holds on disk now
    std::map<std::uint32_t, Original> originals;  // pages that existed before it, as they were
    std::set<std::uint32_t> dirty;                // pages whose cache is newer than the file
    std::unique_ptr<journal::Writer> journal;
    // The running statement.
    bool inStatement = false;
    std::uint32_t pageCountAtStatement = 0;
    std::map<std::uint32_t, std::vector<std::uint8_t>> statementImages;

    [[noreturn]] void fail(const std::string& what, ErrorKind kind = ErrorKind::General) const {
        throw Error(describe(path, what), kind);
    }

    // ---- the file under its name ----

    void openFile() {
        fd = -1;
        if (mode == Mode::ReadWrite || ::access(path.c_str(), W_OK) == 0)
            fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        fdWritable = fd >= 0;
        // Read-only opens of a file this program may not write still read.
        if (fd < 0 && (mode == Mode::ReadOnly || errno == EACCES || errno == EROFS))
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail("cannot open: " + errnoText(), errnoKind(errno));
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            fd = -1;
            fail("not a regular file", ErrorKind::NotDatabase);
        }
    }

    // Throws when the name no longer leads to the open file and it cannot be opened anew
    // (`mayReopen` false while locks of the open file must be kept).
    void followName(bool mayReopen) {
        struct stat byName {
        }, open{};
        if (::stat(path.c_str(), &byName) != 0)
            fail("was moved or deleted while it was open", ErrorKind::Replaced);
        if (::fstat(fd, &open) != 0) fail("cannot read its state: " + errnoText());
        if (byName.st_dev == open.st_dev && byName.st_ino == open.st_ino) return;
        if (!mayReopen) fail("was replaced by another file while it was open", ErrorKind::Replaced);
        const int old = fd;
        openFile();
        ::close(old);  // its locks go with it; none was held
        haveSeen = false;
        overlay.clear();
        overlaid = false;
        settledJournal = {};
    }

    // Brings the cache up to date with the file; the caller holds SHARED or RESERVED.
    void catchUp(bool settle = true) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) fail("cannot read its state: " + errnoText());
        const Signature now = signatureOf(st);
        if (!haveSeen || !(now == seen)) {
            std::array<std::uint8_t, header::kVersionOffset + 1> head{};
            if (readAt(fd, head.data(), head.size(), 0) != head.size())
                fail("too short for a Jet database header", ErrorKind::NotDatabase);
            const std::size_t size = head[header::kVersionOffset] == header::kVersionJet3
                                         ? kJet3Layout.pageSize
                                         : kJet4Layout.pageSize;
            if (pageSize && size != pageSize)
                fail("was replaced by a file of another Jet version; open it again",
                     ErrorKind::Replaced);
            pageSize = size;
            const auto bytes = static_cast<std::uint64_t>(st.st_size);
            if (bytes < pageSize)
                fail("too short for a Jet database header page", ErrorKind::NotDatabase);
            if (bytes / pageSize > 0xFFFFFF)
                fail("larger than any Jet database can be", ErrorKind::NotDatabase);
            pageCount = static_cast<std::uint32_t>(bytes / pageSize);
            diskPages = pageCount;
            ++epoch;
            ++generation;
            seen = now;
            haveSeen = true;
        }
        if (settle) settleJournal();
    }

    // A journal seen while holding SHARED or RESERVED is that of a writer that died (a live one
    // holds SHARED for writing all the while its journal exists).
    void settleJournal() {
        struct stat js {};
        if (::stat(journalPath(path).c_str(), &js) != 0) {
            settledJournal = {};
            if (overlaid) {  // put right meanwhile by a program that could write
                overlay.clear();
                overlaid = false;
                haveSeen = false;
                catchUp(false);
            }
            return;
        }
        // One that could not be removed (a read-only folder) is dealt with once.
        if (overlaid || signatureOf(js) == settledJournal) return;
        journal::Recovery r;
        if (fdWritable) {
            const bool hadShared = shared, hadReserved = reserved;
            if (shared) unlock(kSharedByte, shared);
            try {
                if (!reserved) take(kReservedByte, F_WRLCK, writerWaitMs, reserved);
                take(kPendingByte, F_WRLCK, readerWaitMs, pending);
                take(kSharedByte, F_WRLCK, readerWaitMs, exclusive);
                r = journal::recover(path, fd, pageSize, true);
            } catch (...) {
                restoreLocks(hadShared, hadReserved);
                throw;
            }
            restoreLocks(hadShared, hadReserved);
        } else {
            r = journal::recover(path, fd, pageSize, false);
            if (r.outcome == journal::Recovery::Outcome::Overlay) {
                overlay = std::move(r.images);
                overlaid = true;
                pageCount = std::min(pageCount, r.pageCount);
                ++epoch;
                ++generation;
            }
        }
        if (!r.notice.empty()) notices.push_back(describe(path, r.notice));
        settledJournal = signatureOf(js);
        if (r.outcome == journal::Recovery::Outcome::RolledBack) {
            haveSeen = false;
            catchUp(false);
        }
    }

    // ---- locks ----

    void take(off_t byte, short type, int waitMs, bool& held) {
        if (!retry(waitMs, [&] { return lockByte(fd, type, byte); }))
            fail(busyText(), ErrorKind::Busy);
        held = true;
    }
    void unlock(off_t byte, bool& held) {
        if (held) lockByte(fd, F_UNLCK, byte);
        held = false;
    }
    // After writing or recovering: back to reading (or nothing), keeping RESERVED only when
    // it was held before.
    void restoreLocks(bool keepShared, bool keepReserved) {
        if (keepShared)
            shared = lockByte(fd, F_RDLCK, kSharedByte);  // a write lock becomes a read lock
        else if (exclusive || shared) {
            lockByte(fd, F_UNLCK, kSharedByte);
            shared = false;
        }
        exclusive = false;
        unlock(kPendingByte, pending);
        if (!keepReserved) unlock(kReservedByte, reserved);
    }

    void startReading() {
        if (readDepth++ > 0 || inTransaction) return;
        try {
            followName(true);
            // PENDING read-locked for a moment: a writer waiting to write keeps new readers out.
            const bool had = retry(readerWaitMs, [&] {
                if (!lockByte(fd, F_RDLCK, kPendingByte)) return false;
                shared = lockByte(fd, F_RDLCK, kSharedByte);
                lockByte(fd, F_UNLCK, kPendingByte);
                return shared;
            });
            if (!had) fail(busyText(), ErrorKind::Busy);
            catchUp();
        } catch (...) {
            unlock(kSharedByte, shared);
            --readDepth;
            throw;
        }
    }

    void stopReading() {
        if (--readDepth > 0 || !shared) return;
        if (!inTransaction) unlock(kSharedByte, shared);
    }

    // ---- pages ----

    std::uint8_t* load(std::uint32_t n) {
        if (readDepth == 0 && !inTransaction) {
            Reading one(*owner);
            return loadNow(n);
        }
        return loadNow(n);
    }

    std::uint8_t* loadNow(std::uint32_t n) {
        if (n >= pageCount)
            fail("page " + std::to_string(n) + " is beyond the end of the file (" +
                     std::to_string(pageCount) + " pages)",
                 ErrorKind::Damaged);
        if (n >= cache.size()) {
            cache.resize(pageCount);
            loadedIn.resize(pageCount, 0);
        }
        auto& slot = cache[n];
        if (!slot) {
            slot = newBuffer();
            ++held;
        }
        if (loadedIn[n] != epoch) {
            auto it = overlay.find(n);
            if (it != overlay.end()) {
                std::memcpy(slot.get(), it->second.data(), pageSize);
            } else {
                std::size_t got =
                    readAt(fd, slot.get(), pageSize, static_cast<off_t>(n) * pageSize);
                if (got == static_cast<std::size_t>(-1))
                    fail("cannot read page " + std::to_string(n) + ": " + errnoText());
                if (got < pageSize)
                    fail("page " + std::to_string(n) + " is cut short (the file was truncated)",
                         ErrorKind::Damaged);
            }
            loadedIn[n] = epoch;
        }
        return slot.get();
    }

    // Reads the pages from `first` on that are not current, up to `count` of them and up to
    // the first that is, in one read; anything short of them all is left to loadNow.
    void preloadNow(std::uint32_t first, std::uint32_t count) {
        if (first >= pageCount) return;
        count = std::min({count, pageCount - first, std::uint32_t{16}});
        if (cache.size() < pageCount) {
            cache.resize(pageCount);
            loadedIn.resize(pageCount, 0);
        }
        std::uint32_t run = 0;
        while (run < count && loadedIn[first + run] != epoch && !overlay.count(first + run)) ++run;
        if (run < 2) return;
        std::array<iovec, 16> parts;
        for (std::uint32_t k = 0; k < run; ++k) {
            auto& slot = cache[first + k];
            if (!slot) {
                slot = newBuffer();
                ++held;
            }
            parts[k] = {slot.get(), pageSize};
        }
        const ssize_t got =
            ::preadv(fd, parts.data(), static_cast<int>(run), static_cast<off_t>(first) * pageSize);
        if (got != static_cast<ssize_t>(run * pageSize)) return;
        for (std::uint32_t k = 0; k < run; ++k) loadedIn[first + k] = epoch;
    }

    std::unique_ptr<std::uint8_t[]> newBuffer() {
        // Not cleared: a page is read or copied over whole.
        if (spare.empty()) return std::make_unique_for_overwrite<std::uint8_t[]>(pageSize);
        auto b = std::move(spare.back());
        spare.pop_back();
        return b;
    }

    // A page the running transaction made or changed; its cache is the page.
    std::uint8_t* slotFor(std::uint32_t n) {
        if (n >= cache.size()) {
            cache.resize(pageCount);
            loadedIn.resize(pageCount, 0);
        }
        if (!cache[n]) {
            cache[n] = newBuffer();
            ++held;
        }
        loadedIn[n] = epoch;
        return cache[n].get();
    }

    void requireWritable(const char* op) const {
        if (mode != Mode::ReadWrite)
            fail(std::string(op) + ": the file is open read-only", ErrorKind::ReadOnly);
        if (!inTransaction) fail(std::string(op) + ": no transaction is running");
    }

    void remember(std::uint32_t n) {
        if (n < pageCountAtBegin && !originals.count(n)) {
            const std::uint8_t* p = loadNow(n);
            originals[n].image.assign(p, p + pageSize);
        }
        if (inStatement && n < pageCountAtStatement && !statementImages.count(n)) {
            const std::uint8_t* p = loadNow(n);
            statementImages.emplace(n, std::vector<std::uint8_t>(p, p + pageSize));
        }
    }

    // Journals the old images, then writes the changed pages over the file; the caller holds
    // SHARED for writing.
    void writeOut() {
        journal = std::make_unique<journal::Writer>(path, pageSize, pageCountAtBegin);
        for (auto& [n, o] : originals)
            if (dirty.count(n)) journal->add(n, o.image.data(), loadNow(n));
        journal->sync();
        for (auto& entry : originals) entry.second.journaled = true;
        for (std::uint32_t n : dirty) {
            if (n >= pageCount) continue;
            if (!writeAt(fd, loadNow(n), pageSize, static_cast<off_t>(n) * pageSize))
                fail("cannot write page " + std::to_string(n) + ": " + errnoText(),
                     errnoKind(errno));
            diskPages = std::max(diskPages, n + 1);
        }
        if (::fsync(fd) != 0) fail("cannot flush to disk: " + errnoText(), errnoKind(errno));
        // Readers tell states apart by the modification time among other things; two commits
        // within one tick of the clock must not look alike.
        timespec times[2]{};
        times[0].tv_nsec = UTIME_OMIT;
        ::clock_gettime(CLOCK_REALTIME, &times[1]);
        const timespec floor{seen.mtime.tv_sec, seen.mtime.tv_nsec + 1};
        if (times[1].tv_sec < floor.tv_sec ||
            (times[1].tv_sec == floor.tv_sec && times[1].tv_nsec < floor.tv_nsec))
            times[1] = floor.tv_nsec < 1000000000 ? floor : timespec{floor.tv_sec + 1, 0};
        ::futimens(fd, times);
        journal->remove();
        journal.reset();
        dirty.clear();
        struct stat st {};
        if (::fstat(fd, &st) == 0) seen = signatureOf(st);
    }

    void dropPagesFrom(std::uint32_t count) {
        for (std::uint32_t n = count; n < pageCount; ++n) dirty.erase(n);
        pageCount = count;
    }

    void endTransaction() {
        inTransaction = false;
        inStatement = false;
        originals.clear();
        dirty.clear();
        statementImages.clear();
        ++generation;
        restoreLocks(readDepth > 0, false);
    }

    const PageFile* owner = nullptr;
};

PageFile::Reading::Reading(const PageFile& file) : file_(&file) { file.impl_->startReading(); }

PageFile::Reading::~Reading() { file_->impl_->stopReading(); }

PageFile::PageFile(const std::filesystem::path& path, Mode mode) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->mode = mode;
    impl_->owner = this;
    impl_->openFile();
    try {
        Reading first(*this);
    } catch (...) {
        ::close(impl_->fd);
        impl_->fd = -1;
        throw;
    }
}

PageFile::~PageFile() {
    if (impl_->inTransaction) {
        try {
            rollback();
        } catch (...) {
            // The journal stays; the next reader rolls the file back.
        }
    }
    if (impl_->fd >= 0) ::close(impl_->fd);
}

const std::filesystem::path& PageFile::path() const { return impl_->path; }
PageFile::Mode PageFile::mode() const { return impl_->mode; }
std::size_t PageFile::pageSize() const { return impl_->pageSize; }
std::uint32_t PageFile::pageCount() const { return impl_->pageCount; }
std::uint64_t PageFile::generation() const { return impl_->generation; }
const std::vector<std::string>& PageFile::notices() const { return impl_->notices; }

namespace {
// Pages kept read before releasePages lets go of them: 8 MB of Jet 4 pages (and as many
// buffers kept for reuse). Sanitizer builds
// keep a handful, so that every test walks over pages let go of under its feet if any code
// still held one.
#ifdef MOZHOU_FEW_PAGES_HELD
constexpr std::size_t kPagesHeld = 8;
constexpr bool kReuseBuffers = false;  // freed, so that reading one let go of is caught
#else
constexpr bool kReuseBuffers = true;
constexpr std::size_t kPagesHeld = 2048;
#endif
}  // namespace

void PageFile::releasePages() const {
    Impl& m = *impl_;
    if (m.held <= kPagesHeld || m.inTransaction) return;
    for (std::size_t n = 0; n < m.cache.size(); ++n) {
        if (!m.cache[n]) continue;
        if (kReuseBuffers) m.spare.push_back(std::move(m.cache[n]));
        m.cache[n].reset();
        m.loadedIn[n] = 0;
    }
    m.held = 0;
}

void PageFile::preload(std::uint32_t first, std::uint32_t count) const {
    Impl& m = *impl_;
    // Never more than half the pages held, so that pages read ahead are not let go of before
    // their turn.
    count = std::min<std::uint32_t>(count, kPagesHeld / 2);
    if (m.readDepth == 0 && !m.inTransaction) {
        Reading one(*this);
        m.preloadNow(first, count);
        return;
    }
    m.preloadNow(first, count);
}

std::span<const std::uint8_t> PageFile::page(std::uint32_t n) const {
    return {impl_->load(n), impl_->pageSize};
}

void PageFile::begin() {
    Impl& m = *impl_;
    if (m.mode != Mode::ReadWrite) m.fail("begin: the file is open read-only", ErrorKind::ReadOnly);
    if (m.inTransaction) m.fail("begin: a transaction is already running");
    if (!m.fdWritable)
        m.fail("cannot be written: " + std::string(std::strerror(EACCES)), ErrorKind::ReadOnly);
    if (accessHoldsIt(m.path))
        m.fail("is open in Microsoft Access (its lock file is in use); close it there to change it",
               ErrorKind::Busy);
    m.followName(m.readDepth == 0);
    // Holding a read lock, waiting could wait for ever on a writer that waits for that lock.
    m.take(kReservedByte, F_WRLCK, m.readDepth > 0 ? 0 : writerWaitMs, m.reserved);
    try {
        m.catchUp();
        if (m.overlaid)
            m.fail("was left half-changed by a program that stopped and cannot be repaired here",
                   ErrorKind::ReadOnly);
    } catch (...) {
        m.unlock(kReservedByte, m.reserved);
        throw;
    }
    m.inTransaction = true;
    m.pageCountAtBegin = m.pageCount;
    m.diskPages = m.pageCount;
    m.originals.clear();
    m.dirty.clear();
}

void PageFile::write(std::uint32_t n, std::span<const std::uint8_t> content) {
    Impl& m = *impl_;
    m.requireWritable("write");
    if (content.size() != m.pageSize)
        m.fail("write: page " + std::to_string(n) + " given " + std::to_string(content.size()) +
               " bytes");
    if (n >= m.pageCount) m.fail("write: no page " + std::to_string(n));
    m.remember(n);
    std::memmove(m.loadNow(n), content.data(), m.pageSize);
    m.dirty.insert(n);
    ++m.generation;
}

std::uint32_t PageFile::append(std::span<const std::uint8_t> content) {
    Impl& m = *impl_;
    m.requireWritable("append");
    if (content.size() != m.pageSize)
        m.fail("append: given " + std::to_string(content.size()) + " bytes");
    if (m.pageCount >= 0xFFFFFF) m.fail("append: the file is full", ErrorKind::DiskFull);
    const std::uint32_t n = m.pageCount;
    m.pageCount = n + 1;
    std::memcpy(m.slotFor(n), content.data(), m.pageSize);
    m.dirty.insert(n);
    ++m.generation;
    return n;
}

void PageFile::commit() {
    Impl& m = *impl_;
    if (!m.inTransaction) m.fail("commit: no transaction is running");
    m.inStatement = false;
    if (!m.dirty.empty()) {
        m.take(kPendingByte, F_WRLCK, readerWaitMs, m.pending);
        m.take(kSharedByte, F_WRLCK, readerWaitMs, m.exclusive);
        // Nobody may have put another file under the name or written into this one meanwhile:
        // the change was made from the pages as they were at begin.
        m.followName(false);
        struct stat st {};
        if (::fstat(m.fd, &st) != 0 || st.st_nlink == 0 || !(signatureOf(st) == m.seen))
            m.fail(
                "was changed by another program while this change was being made; nothing "
                "was written",
                ErrorKind::Replaced);
        m.writeOut();
    }
    m.endTransaction();
}

void PageFile::rollback() {
    Impl& m = *impl_;
    if (!m.inTransaction) m.fail("rollback: no transaction is running");
    bool wroteFile = false;
    for (auto& [n, o] : m.originals) {
        std::memcpy(m.loadNow(n), o.image.data(), m.pageSize);
        if (o.journaled) {
            if (!writeAt(m.fd, o.image.data(), m.pageSize, static_cast<off_t>(n) * m.pageSize))
                m.fail("rollback: cannot write page " + std::to_string(n) + ": " + errnoText(),
                       errnoKind(errno));
            wroteFile = true;
        }
    }
    m.dropPagesFrom(m.pageCountAtBegin);
    if (m.diskPages > m.pageCount) {
        if (::ftruncate(m.fd, static_cast<off_t>(m.pageCount) * m.pageSize) != 0)
            m.fail("rollback: cannot shorten the file: " + errnoText(), errnoKind(errno));
        m.diskPages = m.pageCount;
        wroteFile = true;
    }
    if (wroteFile && ::fsync(m.fd) != 0)
        m.fail("rollback: cannot flush to disk: " + errnoText(), errnoKind(errno));
    if (m.journal) {
        m.journal->remove();
        m.journal.reset();
    }
    if (wroteFile) {
        struct stat st {};
        if (::fstat(m.fd, &st) == 0) m.seen = signatureOf(st);
    }
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
        std::memcpy(m.loadNow(n), image.data(), m.pageSize);
        m.dirty.insert(n);
    }
    m.dropPagesFrom(m.pageCountAtStatement);
    m.statementImages.clear();
    m.inStatement = false;
    ++m.generation;
}

void PageFile::settle(const std::filesystem::path& file) {
    const auto jpath = journalPath(file);
    if (::access(jpath.c_str(), F_OK) != 0) return;
    try {
        // Opening rolls a dead writer's change back (or sets a foreign journal aside).
        PageFile settled(file, Mode::ReadWrite);
        return;
    } catch (const Error&) {
        // No file, or none that can be read as one: there is nothing to put back, and the
        // journal must not meet the file that comes next.
    }
    std::error_code ec;
    std::filesystem::remove(jpath, ec);
}

}  // namespace jet
