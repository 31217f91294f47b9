// The check walks the file as a reader would and as a writer relies on it: every page's type,
// every table's usage maps, every slot of its data pages (inside the page, not overlapping
// another, moved rows and their pointers matching), every row decoded with its long values,
// each long-value row used by one value only, and the definition's row count; and that the
// file's map of free pages (page 1) names none of the pages found in use.
#include "check.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "bytes.h"
#include "data_page.h"
#include "database.h"
#include "error.h"
#include "index_key.h"
#include "index_tree.h"
#include "row.h"
#include "table_scan.h"
#include "usage_map.h"

namespace jet {

namespace {

struct Checker {
    Database& db;
    const PageFile& file;
    const Layout& layout;
    std::vector<std::string> problems;
    // Long-value rows by page/row pointer, and which row's value uses them.
    std::map<std::uint32_t, std::string> longValueRows;
    // Pages found holding something: header, free-page map, definitions, data.
    std::set<std::uint32_t> inUse{0, 1};

    void problem(const std::string& what) { problems.push_back(what); }

    std::string at(std::uint32_t page) { return "page " + std::to_string(page) + ": "; }

    void checkPageTypes() {
        for (std::uint32_t n = 1; n < file.pageCount(); ++n) {
            const std::uint8_t t = file.page(n)[0];
            // Jet 4 files made by Access also carry pages of types 0x08 and 0x09.
            if (t > 0x09) problem(at(n) + "a page of unknown type " + std::to_string(t));
        }
    }

    // Every long-value row a cell refers to, each counted once in the whole file.
    void collectLongValue(std::span<const std::uint8_t> cell, const std::string& owner) {
        if (cell.size() < long_value::kReferenceSize) return;
        const std::uint8_t kind = cell[3] & 0xC0;
        const std::uint32_t length = le32(cell.data()) & long_value::kLengthMask;
        std::uint32_t ptr = le32(cell.data() + 4);
        if (kind == long_value::kInline) return;
        auto claim = [&](std::uint32_t p) {
            auto [it, fresh] = longValueRows.emplace(p, owner);
            if (!fresh)
                problem(owner + ": its long value shares page " + std::to_string(pointerPage(p)) +
                        ", row " + std::to_string(pointerRow(p)) + " with " + it->second);
        };
        if (kind == long_value::kSinglePage) {
            claim(ptr);
            return;
        }
        std::size_t covered = 0;
        std::unordered_set<std::uint32_t> seen;
        while (covered < length && ptr != 0 && seen.insert(ptr).second) {
            claim(ptr);
            const std::uint32_t page = pointerPage(ptr);
            if (page == 0 || page >= file.pageCount()) return;  // reported by the decoder
            auto bytes = file.page(page);
            try {
                RowSlot s = dataRowSlot(bytes, layout, pointerRow(ptr), file.path().string(), page);
                if (s.deleted || s.size() < 4) return;
                covered += s.size() - 4;
                ptr = le32(bytes.data() + s.start);
            } catch (const Error&) {
                return;
            }
        }
    }

    // Only the values that some index keys on, so that a large table costs little memory.
    static std::vector<Value> keyColumns(const TableDef& def, const std::vector<Value>& values) {
        std::vector<Value> out(values.size());
        for (const auto& ri : def.realIndexes)
            for (const auto& ic : ri.columns)
                for (const auto& c : def.columns)
                    if (c.number == ic.columnNumber && c.position < values.size())
                        out[c.position] = values[c.position];
        return out;
    }

    // The pages under `page`, checking that each node entry is its child's last entry.
    void walkIndex(const std::string& name, std::uint32_t owner, std::uint32_t page,
                   std::size_t depth, std::set<std::uint32_t>& pages) {
        if (depth > 16 || !pages.insert(page).second) {
            problem(name + ": index page " + std::to_string(page) + " is reached twice");
            return;
        }
        if (page == 0 || page >= file.pageCount()) {
            problem(name + ": names index page " + std::to_string(page) + ", beyond the file");
            return;
        }
        IndexPage c;
        try {
            c = decodeIndexPage(file.page(page), file.path().string(), page);
        } catch (const Error& e) {
            problem(name + ": " + e.what());
            return;
        }
        if (c.owner != owner)
            problem(name + ": index page " + std::to_string(page) + " names another table");
        if (c.leaf) return;
        for (const auto& e : c.entries) {
            walkIndex(name, owner, e.child, depth + 1, pages);
            if (e.child == 0 || e.child >= file.pageCount()) continue;
            try {
                IndexPage child =
                    decodeIndexPage(file.page(e.child), file.path().string(), e.child);
                if (child.entries.empty() || child.entries.back().sortBytes() != e.sortBytes())
                    problem(name + ": index page " + std::to_string(page) +
                            " has an entry that is not the last one of its child page " +
                            std::to_string(e.child));
            } catch (const Error&) {
                // reported by the walk
            }
        }
        if (c.tail != 0) walkIndex(name, owner, c.tail, depth + 1, pages);
    }

    // `alsoAs`: the other slots of rows that moved more than once (each slot a row left points
    // to its home), any one of which its entries may name.
    void checkIndex(const std::string& table, const TableDef& def, std::size_t number,
                    const std::vector<std::pair<std::uint32_t, std::vector<Value>>>& rows,
                    const std::map<std::uint32_t, std::vector<std::uint32_t>>& alsoAs) {
        const RealIndex& ri = def.realIndexes[number];
        std::string label = "#" + std::to_string(number);
        for (const auto& ix : def.indexes)
            if (ix.realIndex == number) label = ix.name;
        const std::string name = table + ", index \"" + label + "\"";
        std::set<std::uint32_t> pages;
        walkIndex(name, def.tdefPage, ri.firstPage, 0, pages);
        IndexTree tree(const_cast<PageFile&>(file), def.tdefPage, ri.firstPage, ri.usedPages, name);
        std::vector<IndexEntry> entries;
        try {
            entries = tree.entries();
            // The leaves, linked back as forth.
            std::uint32_t p = ri.firstPage, before = 0;
            while (true) {
                IndexPage c = decodeIndexPage(file.page(p), file.path().string(), p);
                if (c.leaf || c.entries.empty()) break;
                p = c.entries.front().child;
            }
            for (std::size_t n = 0; p != 0 && n < file.pageCount(); ++n) {
                IndexPage c = decodeIndexPage(file.page(p), file.path().string(), p);
                if (c.prev != before)
                    problem(name + ": leaf page " + std::to_string(p) + " names page " +
                            std::to_string(c.prev) + " as its previous, not " +
                            std::to_string(before));
                if (!pages.count(p))
                    problem(name + ": leaf page " + std::to_string(p) + " is not in the tree");
                before = p;
                p = c.next;
            }
        } catch (const Error& e) {
            problem(name + ": " + e.what());
            return;
        }
        try {
            if (ri.usedPages != 0) {
                auto used = readUsageMap(file, layout, ri.usedPages, def.tdefPage);
                std::set<std::uint32_t> marked(used.begin(), used.end());
                for (std::uint32_t p : pages)
                    if (!marked.count(p))
                        problem(name + ": index page " + std::to_string(p) +
                                " is missing from its usage map");
            }
        } catch (const Error& e) {
            problem(name + ": its usage map cannot be read: " + e.what());
        }
        for (std::size_t i = 1; i < entries.size(); ++i) {
            const int order = compareEntries(entries[i - 1], entries[i]);
            if (order >= 0)
                problem(name + ": entry " + std::to_string(i) + " is not after the one before");
            else if ((ri.flags & 0x01) && entries[i - 1].key == entries[i].key) {
                // A unique index may repeat only keys with an empty column.
                bool anyNull = false;
                for (const auto& r : rows)
                    if (r.first == (entries[i].page << 8 | entries[i].row))
                        anyNull = keyNulls(def, ri, r.second).any;
                if (!anyNull)
                    problem(name + ": a unique index holds one value twice, at entry " +
                            std::to_string(i));
            }
        }
        // Each row against its entry.
        std::map<std::uint32_t, std::vector<const IndexEntry*>> byRow;
        for (const auto& e : entries) byRow[e.page << 8 | e.row].push_back(&e);
        for (const auto& [id, values] : rows) {
            const std::string rowName = name + ": the row at page " +
                                        std::to_string(pointerPage(id)) + ", row " +
                                        std::to_string(pointerRow(id));
            auto found = byRow.find(id);
            if (auto other = alsoAs.find(id); found == byRow.end() && other != alsoAs.end())
                for (std::uint32_t slot : other->second)
                    if ((found = byRow.find(slot)) != byRow.end()) break;
            const std::size_t count = found == byRow.end() ? 0 : found->second.size();
            const bool allNull = keyNulls(def, ri, values).all;
            const bool expected = !(allNull && (ri.flags & 0x02));
            if (count != (expected ? 1u : 0u)) {
                problem(rowName + " has " + std::to_string(count) + " entries in the index");
            } else if (count == 1) {
                // Keys the engine can encode must be the very bytes; others are taken on trust.
                auto key = encodeIndexKey(def, ri, values);
                if (key && *key != found->second.front()->key)
                    problem(rowName + " has an entry with another key than its values give");
            }
            if (found != byRow.end()) byRow.erase(found);
        }
        for (const auto& [id, list] : byRow)
            problem(name + ": an entry names page " + std::to_string(pointerPage(id)) + ", row " +
                    std::to_string(pointerRow(id)) + ", which holds no row of the table");
    }

    void checkTable(const CatalogEntry& entry) {
        const std::string name = "table \"" + entry.name + "\"";
        std::shared_ptr<const TableDef> def;
        try {
            def = db.table(entry.name);
        } catch (const Error& e) {
            problem(name + ": its definition cannot be read: " + e.what());
            return;
        }
        inUse.insert(def->tdefPages.begin(), def->tdefPages.end());
        for (std::uint32_t map : {def->usedPages, def->freePages}) inUse.insert(pointerPage(map));
        for (const auto& c : def->columns)
            for (std::uint32_t map : {c.longValueUsedPages, c.longValueFreePages})
                if (map != 0) inUse.insert(pointerPage(map));
        std::vector<std::uint32_t> pages, freePages;
        try {
            pages = readUsageMap(file, layout, def->usedPages, def->tdefPage);
            freePages = readUsageMap(file, layout, def->freePages, def->tdefPage);
        } catch (const Error& e) {
            problem(name + ": a usage map cannot be read: " + e.what());
            return;
        }
        std::set<std::uint32_t> own;
        for (std::uint32_t p : pages) {
            auto bytes = file.page(p);
            if (bytes[0] == page_type::kData && dataPageOwner(bytes, layout) == def->tdefPage)
                own.insert(p);
            else
                problem(name + ": its usage map marks page " + std::to_string(p) +
                        ", which is not one of its data pages");
        }
        inUse.insert(own.begin(), own.end());
        for (std::uint32_t p : freePages)
            if (!own.count(p))
                problem(name + ": its free-space map marks page " + std::to_string(p) +
                        ", which it does not own");

        std::uint32_t live = 0;
        std::vector<CellRef> cells;
        std::vector<Value> values;
        std::map<std::uint32_t, std::uint32_t> pointers;  // moved row -> its new home
        std::set<std::uint32_t> homes;                    // rows marked as moved here
        std::vector<std::pair<std::uint32_t, std::vector<Value>>> indexed;  // rows, key columns
        const std::string fileName = file.path().string();
        for (std::uint32_t p : own) {
            auto bytes = file.page(p);
            std::uint16_t count = 0;
            try {
                count = dataRowCount(bytes, layout, fileName, p);
            } catch (const Error& e) {
                problem(name + ": " + e.what());
                continue;
            }
            const std::size_t tableEnd = layout.dataRowTableOffset + 2 * std::size_t{count};
            std::size_t lowest = file.pageSize();
            std::vector<std::pair<std::size_t, std::size_t>> spans;
            for (std::uint16_t r = 0; r < count; ++r) {
                const std::string rowName = name + ", " + at(p) + "row " + std::to_string(r);
                RowSlot s;
                try {
                    s = dataRowSlot(bytes, layout, r, fileName, p);
                } catch (const Error& e) {
                    problem(name + ": " + e.what());
                    continue;
                }
                if (s.deleted) continue;
                lowest = std::min(lowest, s.start);
                if (s.size() > 0) spans.emplace_back(s.start, s.end);
                const std::uint32_t self = static_cast<std::uint32_t>(p) << 8 | r;
                if (s.moved) {
                    if (s.size() < 4)
                        problem(rowName + ": a moved row without its pointer");
                    else
                        pointers[self] = le32(bytes.data() + s.start);
                    continue;
                }
                if (s.movedHere) homes.insert(self);
                ++live;
                try {
                    decodeRow(file, layout, db.text(), *def, {}, p, r,
                              bytes.subspan(s.start, s.size()), cells, values);
                    if (!def->realIndexes.empty())
                        indexed.emplace_back(self, keyColumns(*def, values));
                    for (std::size_t i = 0; i < def->columns.size(); ++i)
                        if (isLongValueType(def->columns[i].type) && cells[i].present &&
                            cells[i].data)
                            collectLongValue({cells[i].data, cells[i].size}, rowName);
                } catch (const Error& e) {
                    problem(rowName + ": cannot be read: " + e.what());
                }
            }
            std::sort(spans.begin(), spans.end());
            for (std::size_t i = 1; i < spans.size(); ++i)
                if (spans[i].first < spans[i - 1].second)
                    problem(name + ", " + at(p) + "rows overlap at byte " +
                            std::to_string(spans[i].first));
            const std::size_t free = le16(bytes.data() + layout.dataFreeSpaceOffset);
            if (lowest >= tableEnd && free > lowest - tableEnd)
                problem(name + ", " + at(p) + "it claims " + std::to_string(free) +
                        " bytes of free space but has " + std::to_string(lowest - tableEnd));
        }
        std::set<std::uint32_t> pointedAt;
        for (const auto& [from, to] : pointers) {
            const std::string rowName =
                name + ", " + at(pointerPage(from)) + "row " + std::to_string(pointerRow(from));
            if (!homes.count(to))
                problem(rowName + ": moved to page " + std::to_string(pointerPage(to)) + ", row " +
                        std::to_string(pointerRow(to)) + ", which is not a moved row's home");
            pointedAt.insert(to);
        }
        for (std::uint32_t h : homes)
            if (!pointedAt.count(h))
                problem(name + ", " + at(pointerPage(h)) + "row " + std::to_string(pointerRow(h)) +
                        ": marked as a moved row, but nothing points to it");
        if (!def->realIndexes.empty()) {
            // Index entries name a row by its first slot, which a moved row keeps as a stub.
            std::map<std::uint32_t, std::vector<std::uint32_t>> stubsOf, alsoAs;
            for (const auto& [from, to] : pointers) stubsOf[to].push_back(from);
            for (auto& [id, vals] : indexed) {
                auto it = stubsOf.find(id);
                if (it == stubsOf.end()) continue;
                id = it->second.front();
                if (it->second.size() > 1)
                    alsoAs[id].assign(it->second.begin() + 1, it->second.end());
            }
            for (std::size_t i = 0; i < def->realIndexes.size(); ++i)
                checkIndex(name, *def, i, indexed, alsoAs);
        }
        if (live != def->rowCount)
            problem(name + ": its definition counts " + std::to_string(def->rowCount) +
                    " rows, its pages hold " + std::to_string(live));
    }

    // Access takes new pages from row 0 of page 1: a page in use marked there gets overwritten.
    void checkFreePageMap() {
        for (const auto& [ptr, owner] : longValueRows) inUse.insert(pointerPage(ptr));
        if (file.pageCount() < 2) return;
        auto page = file.page(1);
        if (page[0] != page_type::kData) {
            problem("page 1: expected the file's map of free pages");
            return;
        }
        RowSlot s;
        try {
            if (dataRowCount(page, layout, file.path().string(), 1) == 0) return;
            s = dataRowSlot(page, layout, 0, file.path().string(), 1);
        } catch (const Error& e) {
            problem(std::string("the file's map of free pages cannot be read: ") + e.what());
            return;
        }
        if (s.deleted || s.size() <= usage_map::kInlineBitmapOffset ||
            page[s.start] != usage_map::kInline)
            return;
        const std::uint32_t start = le32(page.data() + s.start + 1);
        for (std::size_t i = usage_map::kInlineBitmapOffset; i < s.size(); ++i)
            for (int bit = 0; bit < 8; ++bit) {
                const auto p =
                    static_cast<std::uint32_t>(start + (i - usage_map::kInlineBitmapOffset) * 8 +
                                               static_cast<std::size_t>(bit));
                if ((page[s.start + i] >> bit & 1) && inUse.count(p))
                    problem("the file's map of free pages marks page " + std::to_string(p) +
                            ", which is in use");
            }
    }
};

}  // namespace

std::vector<std::string> checkDatabase(const std::filesystem::path& file) {
    auto db = Database::open(file, PageFile::Mode::ReadOnly);
    PageFile::Reading reading(db->pages());  // one state of the file, however long it takes
    Checker c{*db, db->pages(), db->layout(), {}, {}};
    c.checkPageTypes();
    std::vector<CatalogEntry> entries;
    try {
        entries = db->catalog();
    } catch (const Error& e) {
        c.problem(std::string("the catalog cannot be read: ") + e.what());
        return c.problems;
    }
    // User tables and the catalog: Access itself leaves the counts of its other system
    // tables behind, and they hold kinds of its own that this engine does not read.
    for (const auto& e : entries)
        if (e.isUserTable() || (e.isTable() && e.tdefPage() == catalog::kCatalogPage))
            c.checkTable(e);
    // The definitions of the other system tables are in use too.
    for (const auto& e : entries)
        if (e.isTable() && !e.isUserTable() && e.tdefPage() != catalog::kCatalogPage) {
            try {
                auto def = c.db.table(e.name);
                c.inUse.insert(def->tdefPages.begin(), def->tdefPages.end());
            } catch (const Error&) {
                c.inUse.insert(e.tdefPage());  // its kinds may be unknown to us; its page is not
            }
        }
    c.checkFreePageMap();
    return c.problems;
}

}  // namespace jet
