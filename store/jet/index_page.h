// One index page: type 0x04 (leaf) or 0x03 (node), 1, free space (2), owner table definition
// (4), [Jet 4: 4 unknown], previous and next page of the same level (4 each), tail leaf (4),
// the length of the prefix shared by all entries, 1 byte that Access sets on node pages, then
// a bitmap in which bit i marks the end of an entry at the entries' start + i (Jet 4: bitmap
// at 0x1B, entries at 0x1E0; Jet 3 in format.h). Entries follow back to back; every entry
// after the first omits the shared prefix. An entry is
// the encoded key, the row's page (3 bytes, big-endian) and row (1 byte); on a node page the
// child page (4 bytes, big-endian) follows, and the entry equals the last one of that child.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "format.h"
#include "value.h"

namespace jet {

namespace index_page {
constexpr std::size_t kFreeSpaceOffset = 0x02;
constexpr std::size_t kOwnerOffset = 0x04;
constexpr std::size_t kPageSize = 4096;  // Jet 4's
constexpr std::size_t kPointerSize = 4;  // page (3) and row (1) of the row an entry names
constexpr std::size_t kChildSize = 4;
}  // namespace index_page

struct IndexEntry {
    Bytes key;               // the encoded key columns
    std::uint32_t page = 0;  // the row it names
    std::uint8_t row = 0;
    std::uint32_t child = 0;  // node pages only

    // Key, then page and row as stored: the order of entries on the pages.
    Bytes sortBytes() const;
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// Entries compare by their stored bytes (key, then row pointer); the child does not count.
int compareEntries(const IndexEntry& a, const IndexEntry& b);

struct IndexPage {
    bool leaf = true;
    std::uint32_t owner = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::vector<IndexEntry> entries;
    // The shared prefix as read (Access does not always share the most it could); unset, or
    // no longer shared by every entry, the longest shared prefix is used.
    std::optional<std::size_t> prefix;
};

// Decodes page `number` (its size tells the format); throws jet::Error naming `file` when the
// page is not a sound index page.
IndexPage decodeIndexPage(std::span<const std::uint8_t> page, std::string_view file,
                          std::uint32_t number);

// The bytes the entries take on a page (after prefix compression).
std::size_t encodedSize(const IndexPage& page);
// The page as Access lays it out in pages of `pageSize` bytes, or nullopt when its entries
// do not fit.
std::optional<Bytes> encodeIndexPage(const IndexPage& page,
                                     std::size_t pageSize = index_page::kPageSize);

}  // namespace jet
