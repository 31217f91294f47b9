// Hand-built Jet pages and rows for paths the corpus does not reach.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/value.h"

namespace jet_test {

using jet::Bytes;

void put16(Bytes& b, std::size_t at, std::uint16_t v);
void put32(Bytes& b, std::size_t at, std::uint32_t v);

// A data page of `layout` owned by `owner`, holding `rows` from the end down.
Bytes dataPage(const jet::Layout& layout, std::uint32_t owner, const std::vector<Bytes>& rows);

// A Jet 3 row of fewer than 256 bytes: the fixed area as given, variable cells (nullopt =
// absent from the null mask), and the null mask bits of the fixed columns (by column number).
Bytes jet3Row(std::uint8_t columnCount, const Bytes& fixedArea,
              const std::vector<std::optional<Bytes>>& var, const std::vector<bool>& present);

// A type-0 usage map row marking `pages`.
Bytes usageMapRow(const std::vector<std::uint32_t>& pages);

// A 12-byte long-value reference (+ inline bytes).
Bytes longValueRef(std::uint32_t length, std::uint8_t kind, std::uint32_t pageRow,
                   const Bytes& inlineBytes = {});

// Writes pages to a new scratch file (page 0 gets the version byte of the layout) and returns
// its path.
std::filesystem::path writePages(const std::string& name, const jet::Layout& layout,
                                 const std::vector<Bytes>& pages);

Bytes ascii(const std::string& s);

}  // namespace jet_test
