#include "catalog.h"

#include "bytes.h"
#include "page_file.h"
#include "table_def.h"
#include "table_scan.h"
#include "text.h"

namespace jet {

std::vector<CatalogEntry> readCatalog(const PageFile& file, const Layout& layout,
                                      const TextDecoder& text) {
    if (file.pageCount() <= catalog::kCatalogPage)
        throw Error(file.path().string() + ": too short to hold the catalog (page 2)",
                    ErrorKind::Damaged);
    TableDef sys = readTableDef(file, layout, text, catalog::kCatalogPage, "MSysObjects");
    const Column* id = sys.column("Id");
    const Column* parent = sys.column("ParentId");
    const Column* name = sys.column("Name");
    const Column* type = sys.column("Type");
    const Column* flags = sys.column("Flags");
    if (!id || !name || !type || !flags)
        failAt(file.path().string(), catalog::kCatalogPage,
               "the catalog lacks one of its columns Id, Name, Type, Flags");
    std::vector<bool> wanted(sys.columns.size(), false);
    for (const Column* c : {id, parent, name, type, flags})
        if (c) wanted[c->position] = true;
    auto integer = [](const Value& v) -> std::int64_t {
        if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
        return 0;
    };
    std::vector<CatalogEntry> out;
    RowCursor cursor(file, layout, text, sys, wanted);
    while (cursor.next()) {
        const auto& v = cursor.values();
        CatalogEntry e;
        e.id = static_cast<std::int32_t>(integer(v[id->position]));
        if (parent) e.parentId = static_cast<std::int32_t>(integer(v[parent->position]));
        if (auto* s = std::get_if<std::string>(&v[name->position])) e.name = *s;
        e.type = static_cast<std::int32_t>(integer(v[type->position]));
        e.flags = static_cast<std::uint32_t>(integer(v[flags->position]));
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace jet
