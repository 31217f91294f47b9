#include "page_builder.h"

#include <algorithm>

#include "oracle_util.h"

namespace jet_test {

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

Bytes dataPage(const jet::Layout& layout, std::uint32_t owner, const std::vector<Bytes>& rows) {
    Bytes p(layout.pageSize, 0);
    p[0] = jet::page_type::kData;
    p[1] = 1;
    put32(p, layout.dataOwnerOffset, owner);
    put16(p, layout.dataRowCountOffset, static_cast<std::uint16_t>(rows.size()));
    std::size_t top = layout.pageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        top -= rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), p.begin() + static_cast<std::ptrdiff_t>(top));
        put16(p, layout.dataRowTableOffset + 2 * i, static_cast<std::uint16_t>(top));
    }
    return p;
}

Bytes jet3Row(std::uint8_t columnCount, const Bytes& fixedArea,
              const std::vector<std::optional<Bytes>>& var, const std::vector<bool>& present) {
    Bytes r(1 + fixedArea.size());
    r[0] = columnCount;
    std::copy(fixedArea.begin(), fixedArea.end(), r.begin() + 1);
    // The variable cells, then where each begins and where the last ends, backwards.
    std::vector<std::size_t> offsets;
    for (const auto& v : var) {
        offsets.push_back(r.size());
        if (v) r.insert(r.end(), v->begin(), v->end());
    }
    offsets.push_back(r.size());
    for (std::size_t i = offsets.size(); i-- > 0;)
        r.push_back(static_cast<std::uint8_t>(offsets[i]));
    r.push_back(static_cast<std::uint8_t>(var.size()));
    const std::size_t mask = r.size();
    r.resize(mask + (columnCount + 7) / 8, 0);
    for (std::size_t i = 0; i < present.size() && i < columnCount; ++i)
        if (present[i]) r[mask + i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
    return r;
}

Bytes usageMapRow(const std::vector<std::uint32_t>& pages) {
    Bytes r(5 + 64, 0);
    for (auto p : pages) r[5 + p / 8] |= static_cast<std::uint8_t>(1 << (p % 8));
    return r;
}

Bytes longValueRef(std::uint32_t length, std::uint8_t kind, std::uint32_t pageRow,
                   const Bytes& inlineBytes) {
    Bytes r(12 + inlineBytes.size(), 0);
    put32(r, 0, length | static_cast<std::uint32_t>(kind) << 24);
    put32(r, 4, pageRow);
    std::copy(inlineBytes.begin(), inlineBytes.end(), r.begin() + 12);
    return r;
}

std::filesystem::path writePages(const std::string& name, const jet::Layout& layout,
                                 const std::vector<Bytes>& pages) {
    std::string bytes;
    for (const auto& p : pages) {
        bytes.append(p.begin(), p.end());
        bytes.resize(bytes.size() + layout.pageSize - p.size());
    }
    bytes[jet::header::kVersionOffset] = static_cast<char>(
        layout.format == jet::Format::Jet3 ? jet::header::kVersionJet3 : jet::header::kVersionJet4);
    const auto path = processScratch("jet_pages") / name;
    writeBytes(path, bytes);
    return path;
}

Bytes ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace jet_test
