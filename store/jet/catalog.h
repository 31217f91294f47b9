// The catalog: the system table MSysObjects, whose definition is always on page 2. Each of its
// rows names an object: Id (its low three bytes are the object's table-definition page for a
// table), ParentId, Name, Type (low 7 bits: 1 = table, 6 = linked table, ...) and Flags
// (0x80000000 or 0x2 mark system objects).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format.h"

namespace jet {

class PageFile;
class TextDecoder;

namespace catalog {
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint8_t kTypeTable = 1;
constexpr std::uint8_t kTypeLinkedTable = 6;
constexpr std::uint32_t kSystemFlags = 0x80000002;
constexpr std::uint32_t kIdPageMask = 0x00FFFFFF;
}  // namespace catalog

struct CatalogEntry {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::string name;
    std::int32_t type = 0;
    std::uint32_t flags = 0;

    std::uint8_t kind() const { return static_cast<std::uint8_t>(type & 0x7F); }
    bool isUserTable() const {
        return kind() == catalog::kTypeTable && (flags & catalog::kSystemFlags) == 0;
    }
    bool isTable() const { return kind() == catalog::kTypeTable; }
    std::uint32_t tdefPage() const { return static_cast<std::uint32_t>(id) & catalog::kIdPageMask; }
};

// Every catalog row, in scan order (page by page, row by row).
std::vector<CatalogEntry> readCatalog(const PageFile& file, const Layout& layout,
                                      const TextDecoder& text);

}  // namespace jet
