// The rollback journal of a database file, "<file>-journal": the old image of every page a
// commit overwrites, written and flushed before the first page of the file is touched.
//
// Layout (little-endian):
//   header  "MZJRNL02", page size (4), page count before the change (4), nonce (8),
//           checksum of the 24 bytes before it (8)
//   records page number (4), the page's old image, one checksum per 512-byte sector of the
//           page's new image (8 each), checksum of nonce, number, image and sector sums (8)
//
// A journal is bound to the file it was made for: the sector sums of the new images say what
// the commit was writing. A page of the file whose every sector is either the old or the new
// one can only be a page of this change, interrupted; one that is neither means the journal
// was made for another file, or an earlier state of this one (a backup copied over the bank,
// a new bank made under the same name), and it is set aside instead of being applied.
//
// Journals of the first layout ("MZJRNL01", no sector sums) are applied as they always were.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace jet::journal {

std::filesystem::path pathOf(const std::filesystem::path& file);

class Writer {
  public:
    // Creates the journal (replacing any other) and writes its header. Throws jet::Error.
    Writer(const std::filesystem::path& file, std::size_t pageSize, std::uint32_t pageCountBefore);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void add(std::uint32_t page, const std::uint8_t* before, const std::uint8_t* after);
    // Makes what was added durable, the journal's name included.
    void sync();
    // Removes the journal: the moment the change becomes final.
    void remove();

  private:
    std::filesystem::path file_;
    std::filesystem::path path_;
    std::size_t pageSize_;
    int fd_ = -1;
    std::uint64_t nonce_ = 0;
    std::int64_t end_ = 0;
    bool named_ = false;  // its directory entry is on disk
    std::vector<std::uint8_t> record_;
};

// What a journal found beside a file came to.
struct Recovery {
    enum class Outcome { None, RolledBack, SetAside, Overlay };
    Outcome outcome = Outcome::None;
    // Overlay (the file could not be written): the file as it was before the change is the
    // file with these pages put back and cut to pageCount pages.
    std::map<std::uint32_t, std::vector<std::uint8_t>> images;
    std::uint32_t pageCount = 0;
    // Something the user should be told (a journal set aside, one that could not be removed).
    std::string notice;
};

// Deals with the journal beside `file`, if any. `fd` is the file, open for writing when
// `writable`; the caller holds the file exclusively (or, not writable, shared). A journal of
// this file is rolled back (or, not writable, returned as an overlay); one of another file is
// renamed aside. Throws jet::Error when the file cannot be put back.
Recovery recover(const std::filesystem::path& file, int fd, std::size_t pageSize, bool writable);

}  // namespace jet::journal
