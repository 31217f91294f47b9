#include "index_page.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "bytes.h"
#include "encode.h"
#include "format.h"

namespace jet {

using namespace index_page;

namespace {

void putBig24(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

std::uint32_t big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The stored bytes of an entry, child included on node pages.
Bytes stored(const IndexEntry& e, bool leaf) {
    Bytes b = e.sortBytes();
    if (!leaf) {
        b.push_back(static_cast<std::uint8_t>(e.child >> 24));
        putBig24(b, e.child);
    }
    return b;
}

std::size_t sharedPrefix(const std::vector<Bytes>& all, std::optional<std::size_t> wanted) {
    if (all.size() < 2) return wanted && all.size() == 1 && *wanted <= all[0].size() ? *wanted : 0;
    std::size_t n = all[0].size();
    for (std::size_t i = 1; i < all.size(); ++i) {
        std::size_t k = 0;
        const std::size_t m = std::min(n, all[i].size());
        while (k < m && all[0][k] == all[i][k]) ++k;
        n = k;
    }
    return wanted && *wanted <= n ? *wanted : n;
}

}  // namespace

Bytes IndexEntry::sortBytes() const {
    Bytes b = key;
    putBig24(b, page);
    b.push_back(row);
    return b;
}

int compareEntries(const IndexEntry& a, const IndexEntry& b) {
    // As the stored bytes compare: the key, then page (big-endian) and row.
    const std::array<std::uint8_t, 4> pa{static_cast<std::uint8_t>(a.page >> 16),
                                         static_cast<std::uint8_t>(a.page >> 8),
                                         static_cast<std::uint8_t>(a.page), a.row};
    const std::array<std::uint8_t, 4> pb{static_cast<std::uint8_t>(b.page >> 16),
                                         static_cast<std::uint8_t>(b.page >> 8),
                                         static_cast<std::uint8_t>(b.page), b.row};
    const std::size_t na = a.key.size() + 4, nb = b.key.size() + 4;
    for (std::size_t i = 0; i < std::min(na, nb); ++i) {
        const std::uint8_t x = i < a.key.size() ? a.key[i] : pa[i - a.key.size()];
        const std::uint8_t y = i < b.key.size() ? b.key[i] : pb[i - b.key.size()];
        if (x != y) return x < y ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

IndexPage decodeIndexPage(std::span<const std::uint8_t> page, std::string_view file,
                          std::uint32_t number) {
    auto fail = [&](const std::string& what) { failAt(file, number, what); };
    if (page.size() != kJet3IndexPage.pageSize && page.size() != kJet4IndexPage.pageSize)
        fail("an index page of the wrong size");
    const IndexPageLayout& L = indexPageLayoutOf(page.size());
    const std::size_t kRoom = L.room();
    if (page[0] != page_type::kIndexLeaf && page[0] != page_type::kIndexNode)
        fail("expected an index page, found a page of type " + std::to_string(page[0]));
    IndexPage out;
    out.leaf = page[0] == page_type::kIndexLeaf;
    out.owner = le32(page.data() + kOwnerOffset);
    out.prev = le32(page.data() + L.prevOffset);
    out.next = le32(page.data() + L.nextOffset);
    out.tail = le32(page.data() + L.tailOffset);
    const std::size_t prefix =
        L.prefixSize == 1 ? page[L.prefixOffset] : le16(page.data() + L.prefixOffset);
    out.prefix = prefix;
    const std::size_t minimum = kPointerSize + (out.leaf ? 0 : kChildSize);

    Bytes first;
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < kRoom + 1; ++bit) {
        if (!(page[L.bitmapOffset + bit / 8] >> (bit % 8) & 1)) continue;
        if (bit <= start) fail("an index entry of no bytes");
        std::span<const std::uint8_t> raw = page.subspan(L.entriesOffset + start, bit - start);
        Bytes full;
        if (out.entries.empty()) {
            full.assign(raw.begin(), raw.end());
            first = full;
        } else {
            if (prefix > first.size())
                fail("the shared prefix of " + std::to_string(prefix) +
                     " bytes is longer than the first entry");
            full.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(prefix));
            full.insert(full.end(), raw.begin(), raw.end());
        }
        if (full.size() < minimum + 1)
            fail("an index entry of " + std::to_string(full.size()) + " bytes is too short");
        IndexEntry e;
        std::size_t at = full.size() - minimum;
        e.key.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(at));
        e.page = static_cast<std::uint32_t>(full[at]) << 16 |
                 static_cast<std::uint32_t>(full[at + 1]) << 8 | full[at + 2];
        e.row = full[at + 3];
        if (!out.leaf) e.child = big32(full.data() + at + 4);
        out.entries.push_back(std::move(e));
        start = bit;
    }
    const std::size_t free = le16(page.data() + kFreeSpaceOffset);
    if (free != kRoom - start)
        fail("the index page claims " + std::to_string(free) + " bytes of free space but has " +
             std::to_string(kRoom - start));
    return out;
}

std::size_t encodedSize(const IndexPage& page) {
    std::vector<Bytes> all;
    all.reserve(page.entries.size());
    std::size_t total = 0;
    for (const auto& e : page.entries) {
        all.push_back(stored(e, page.leaf));
        total += all.back().size();
    }
    const std::size_t prefix = sharedPrefix(all, page.prefix);
    return all.empty() ? 0 : total - prefix * (all.size() - 1);
}

std::optional<Bytes> encodeIndexPage(const IndexPage& page, std::size_t pageSize) {
    const IndexPageLayout& L = indexPageLayoutOf(pageSize);
    const std::size_t kRoom = L.room();
    std::vector<Bytes> all;
    all.reserve(page.entries.size());
    for (const auto& e : page.entries) all.push_back(stored(e, page.leaf));
    const std::size_t prefix = sharedPrefix(all, page.prefix);
    if (prefix > 0xFF && L.prefixSize == 1) return std::nullopt;
    Bytes out(L.pageSize, 0);
    out[0] = page.leaf ? page_type::kIndexLeaf : page_type::kIndexNode;
    out[1] = 0x01;
    encode::set32(out, kOwnerOffset, page.owner);
    encode::set32(out, L.prevOffset, page.prev);
    encode::set32(out, L.nextOffset, page.next);
    encode::set32(out, L.tailOffset, page.tail);
    out[L.prefixOffset] = static_cast<std::uint8_t>(prefix);
    if (L.prefixSize == 2) encode::set16(out, L.prefixOffset, static_cast<std::uint16_t>(prefix));
    out[L.nodeMarkOffset] = page.leaf ? 0 : 1;
    std::size_t at = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::size_t skip = i == 0 ? 0 : prefix;
        const std::size_t len = all[i].size() - skip;
        if (at + len > kRoom) return std::nullopt;
        std::copy(all[i].begin() + static_cast<std::ptrdiff_t>(skip), all[i].end(),
                  out.begin() + static_cast<std::ptrdiff_t>(L.entriesOffset + at));
        at += len;
        out[L.bitmapOffset + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
    }
    encode::set16(out, kFreeSpaceOffset, static_cast<std::uint16_t>(kRoom - at));
    return out;
}

}  // namespace jet
