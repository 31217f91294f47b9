#include "write_table.h"

#include <algorithm>
#include <climits>
#include <set>

#include "bytes.h"
#include "data_page.h"
#include "header.h"
#include "index_key.h"
#include "page_file.h"
#include "row.h"
#include "usage_map.h"
#include "write_page.h"

namespace jet {

namespace index_flag {
constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;
}  // namespace index_flag

namespace {

Bytes copyOf(const PageFile& file, std::uint32_t n) {
    auto p = file.page(n);
    return Bytes(p.begin(), p.end());
}

}  // namespace

std::string TableWriter::where() const {
    return file_.path().string() + ": table \"" + table_.name + "\"";
}

TableWriter::TableWriter(PageFile& file, TableDef table)
    : file_(file),
      format_(layoutOfPageSize(file.pageSize())),
      table_(std::move(table)),
      rows_(file, table_.tdefPage, table_.usedPages, table_.freePages) {
    if (table_.tableType != 0x4E) throw Error(where() + " is a system table; it cannot be changed");
    if (table_.usedPages == 0 || table_.freePages == 0)
        throw Error(where() + " has no usage maps; writing to it is not supported");
    std::set<std::uint16_t> varSlots;
    std::uint16_t fixedColumns = 0;
    for (const Column& c : table_.columns) {
        const std::string cw = where() + ", column \"" + c.name + "\"";
        if (c.autoGuid() || (c.autoNumber() && c.type != ColumnType::Int32))
            throw Error(cw +
                        " is numbered automatically in a way this engine cannot follow yet; the "
                        "table can only be read");
        if (c.type == ColumnType::Numeric)
            throw Error(cw + " is a decimal column; writing to the table is not supported yet");
        encode::ColumnLayout l;
        l.type = c.type;
        l.number = c.number;
        l.fixed = c.fixed();
        l.fixedOffset = c.fixedOffset;
        l.varIndex = c.varIndex;
        l.length = c.length;
        l.compressedText = c.compressedText();
        // Columns deleted in Access keep their number and variable slot: rows count them all
        // and leave theirs null and empty.
        layout_.rowColumns = std::max<std::uint16_t>(layout_.rowColumns, c.number + 1);
        if (l.fixed) {
            ++fixedColumns;
            // Bytes in the fixed area; booleans live in the null mask alone.
            const bool text = c.type == ColumnType::Text;
            const std::size_t need = c.type == ColumnType::Boolean ? 0
                                     : text                        ? c.length
                                                                   : encode::fixedLength(c.type);
            const bool sized =
                text ? c.length > 0 && c.length % 2 == 0 : need != 0 && c.length == need;
            if (c.type != ColumnType::Boolean && !sized)
                throw Error(cw + " has a fixed size this engine cannot write");
            if (c.type == ColumnType::Boolean) l.length = 1;
            layout_.fixedSize = std::max<std::uint16_t>(
                layout_.fixedSize, static_cast<std::uint16_t>(c.fixedOffset + need));
        } else {
            if (!varSlots.insert(c.varIndex).second)
                throw Error(cw +
                            " shares its variable slot; writing to the table is not supported");
            if (encode::isLongValue(c.type))
                longValues_.emplace(c.number,
                                    std::make_unique<LongValueWriter>(file_, c.longValueUsedPages,
                                                                      c.longValueFreePages));
        }
        layout_.columns.push_back(l);
    }
    layout_.rowColumns = std::max(layout_.rowColumns, table_.maxColumns);
    layout_.varCount = varSlots.empty() ? 0 : static_cast<std::uint16_t>(*varSlots.rbegin() + 1);
    if (layout_.varCount > 0) layout_.varCount = std::max(layout_.varCount, table_.varColumnCount);
    if (layout_.rowColumns < layout_.varCount + fixedColumns)
        throw Error(where() + " counts fewer columns (" + std::to_string(table_.maxColumns) +
                    ") than it has; writing to it is not supported");
    const bool jet3 = format_.format == Format::Jet3;
    const Header header = jet3 ? readHeader(file_.page(0), file_.path().string()) : Header{};
    const std::uint16_t codePage = jet3 ? header.codePage : 0;
    text_ = std::make_unique<TextDecoder>(format_.format, codePage);
    textOut_ = std::make_unique<TextEncoder>(format_.format, codePage);
    for (const auto& ix : table_.indexes)
        if (ix.type == 2 || ix.relatedIndex != -1)
            throw Error(where() + ": index \"" + ix.name +
                            "\" belongs to a relationship between tables; this engine cannot keep "
                            "relationships, so the table can only be read",
                        ErrorKind::IndexUnsupported);
    for (std::size_t i = 0; i < table_.realIndexes.size(); ++i) {
        const RealIndex& ri = table_.realIndexes[i];
        std::string name = "#" + std::to_string(i);
        for (const auto& ix : table_.indexes)
            if (ix.realIndex == i) name = ix.name;
        const std::string iw = where() + ", index \"" + name + "\"";
        const std::string readOnly = "; the table can only be read";
        if (ri.columns.empty())
            throw Error(iw + " has no columns" + readOnly, ErrorKind::IndexUnsupported);
        for (const auto& ic : ri.columns) {
            const Column* c = nullptr;
            for (const auto& col : table_.columns)
                if (col.number == ic.columnNumber) c = &col;
            if (!c)
                throw Error(iw + " names a column the table lacks" + readOnly,
                            ErrorKind::IndexUnsupported);
            // Access 97 keeps the file's sort order in its text keys; only General's are known.
            std::string why = unindexableBecause(table_, *c);
            if (why.empty() && jet3 && c->type == ColumnType::Text &&
                header.sortOrder != encode::kGeneralSortOrder)
                why =
                    "its text sorts by another order than General, whose keys this engine "
                    "does not know";
            if (!why.empty())
                throw Error(iw + " is on column \"" + c->name + "\": " + why + readOnly,
                            ErrorKind::IndexUnsupported);
        }
        if ((ri.flags & index_flag::kIgnoreNulls) && ri.columns.size() > 1)
            throw Error(iw +
                            " leaves out null keys over several columns, which this engine "
                            "cannot keep yet" +
                            readOnly,
                        ErrorKind::IndexUnsupported);
        auto tree =
            std::make_unique<IndexTree>(file_, table_.tdefPage, ri.firstPage, ri.usedPages, iw);
        try {
            tree->entries();  // the pages must be sound before we change them
        } catch (const Error& e) {
            throw Error(std::string(e.what()) + readOnly, e.kind());
        }
        indexes_.push_back({name, &ri, std::move(tree)});
    }
}

Bytes TableWriter::encode(const std::vector<Value>& values) {
    const std::size_t n = layout_.columns.size();
    if (values.size() > n)
        throw Error(where() + ": " + std::to_string(values.size()) + " values for " +
                    std::to_string(n) + " columns");
    static const Value kNull;
    std::vector<encode::Cell> cells(layout_.rowColumns);  // by column number
    std::vector<std::pair<std::uint16_t, Bytes>> longs;
    for (std::size_t i = 0; i < n; ++i) {
        const encode::ColumnLayout& c = layout_.columns[i];
        const Value& v = i < values.size() ? values[i] : kNull;
        const std::string cw = where() + ", column \"" + table_.columns[i].name + "\"";
        // The windows say which column would not take the value.
        auto naming = [&](auto&& step) {
            try {
                return step();
            } catch (const ColumnError&) {
                throw;
            } catch (const Error& e) {
                if (e.kind() != ErrorKind::ValueDoesNotFit && e.kind() != ErrorKind::Unencodable)
                    throw;
                throw ColumnError(e.what(), e.kind(), table_.columns[i].name);
            }
        };
        if (!encode::isLongValue(c.type)) {
            cells[c.number] = naming([&] { return encode::encodeCell(c, v, cw, textOut_.get()); });
            continue;
        }
        if (isNull(v)) continue;
        if (c.type == ColumnType::Memo) {
            const auto* s = std::get_if<std::string>(&v);
            if (!s) throw Error(cw + ": expected text");
            longs.emplace_back(c.number, naming([&] {
                                   return format_.format == Format::Jet3
                                              ? textOut_->encode(*s, false, cw)
                                              : encode::encodeMemo(*s, c.compressedText);
                               }));
        } else {
            const auto* b = std::get_if<Bytes>(&v);
            if (!b) throw Error(cw + ": expected bytes");
            longs.emplace_back(c.number, *b);
        }
        if (longs.back().second.size() > long_value::kLengthMask >> 8)
            throw ColumnError(cw + ": a value of " + std::to_string(longs.back().second.size()) +
                                  " bytes is longer than Jet allows in one field",
                              ErrorKind::ValueDoesNotFit, table_.columns[i].name);
        cells[c.number] = Bytes(long_value::kReferenceSize, 0);  // measured as a reference
    }
    // Short long values stay in the row while it still fits a page, the smallest first.
    std::size_t size = encode::encodeRow(layout_, cells, format_).size();
    std::vector<std::size_t> order(longs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return longs[a].second.size() < longs[b].second.size();
    });
    std::vector<bool> inRow(longs.size(), false);
    for (std::size_t i : order) {
        const std::size_t len = longs[i].second.size();
        if (len <= encode::kMaxInlineLongValue && size + len <= maxRowSize(format_)) {
            inRow[i] = true;
            size += len;
        }
    }
    for (std::size_t i = 0; i < longs.size(); ++i) {
        auto& [number, bytes] = longs[i];
        cells[number] = longValues_.at(number)->store(bytes, inRow[i]);
    }
    return encode::encodeRow(layout_, cells, format_);
}

void TableWriter::setRowCount(std::uint32_t count) {
    Bytes tdef = copyOf(file_, table_.tdefPage);
    encode::set32(tdef, format_.tdefRowCountOffset, count);
    file_.write(table_.tdefPage, tdef);
    table_.rowCount = count;
}

std::vector<TableWriter::Keyed> TableWriter::keysOf(const std::vector<Value>& values,
                                                    const std::vector<Value>* unchangedFrom,
                                                    bool lenient) const {
    std::vector<Keyed> out;
    for (std::size_t i = 0; i < indexes_.size(); ++i) {
        const RealIndex& ri = *indexes_[i].def;
        const std::string iw = where() + ", index \"" + indexes_[i].name + "\"";
        bool same = unchangedFrom != nullptr;
        for (const auto& ic : ri.columns)
            for (const auto& c : table_.columns)
                if (same && c.number == ic.columnNumber) {
                    const Value& v = c.position < values.size() ? values[c.position] : Value{};
                    same = v == (*unchangedFrom)[c.position];
                }
        const auto [anyNull, allNull] = keyNulls(table_, ri, values);
        Keyed k{i, std::nullopt, anyNull, same, false};
        if (same) {
            out.push_back(std::move(k));
            continue;
        }
        if (anyNull && (ri.flags & index_flag::kRequired) && !lenient)
            throw Error(iw + ": its columns must have a value");
        if (allNull && (ri.flags & index_flag::kIgnoreNulls)) {
            out.push_back(std::move(k));
            continue;
        }
        std::string why;
        k.key = encodeIndexKey(table_, ri, values, &why);
        if (!k.key) {
            if (!lenient)
                throw Error(
                    iw + ": " + why + "; the row cannot be written without spoiling the index",
                    ErrorKind::IndexUnsupported);
            k.unknown = true;
        }
        out.push_back(std::move(k));
    }
    return out;
}

void TableWriter::checkUnique(const std::vector<Keyed>& keys, std::optional<RowId> self) const {
    for (const auto& k : keys) {
        const Index& ix = indexes_[k.index];
        if (k.unchanged || !k.key || !(ix.def->flags & index_flag::kUnique)) continue;
        if (k.anyNull) continue;  // several rows may leave a unique key empty
        for (const RowId& r : ix.tree->find(*k.key))
            if (!self || r != *self)
                throw Error(where() + ", index \"" + ix.name +
                            "\": another row already has this value, and the index allows each "
                            "value once");
    }
}

void TableWriter::setAutonumber(std::uint32_t value) {
    Bytes tdef = copyOf(file_, table_.tdefPage);
    encode::set32(tdef, format_.tdefAutonumberOffset, value);
    file_.write(table_.tdefPage, tdef);
    table_.nextAutonumber = value;
}

// The definition keeps the number last handed out; a new row without one takes the next.
// Returns the number to keep once the row is written (0: the definition stays as it is).
std::uint32_t TableWriter::numberAutomatically(std::vector<Value>& values,
                                               const std::vector<Value>* old) const {
    std::uint32_t last = 0;
    for (const auto& c : table_.columns) {
        if (!c.autoNumber()) continue;
        if (values.size() <= c.position) values.resize(c.position + 1);
        Value& v = values[c.position];
        if (old) {
            if (isNull(v)) v = (*old)[c.position];
            if (v != (*old)[c.position])
                throw Error(where() + ", column \"" + c.name +
                            "\" is numbered automatically; its value cannot be changed");
            continue;
        }
        if (isNull(v)) {
            if (table_.nextAutonumber >= static_cast<std::uint32_t>(INT32_MAX))
                throw Error(where() + ", column \"" + c.name + "\": no numbers are left");
            v = static_cast<std::int64_t>(table_.nextAutonumber) + 1;
        }
        const auto* n = std::get_if<std::int64_t>(&v);
        if (n && *n > 0 && *n > static_cast<std::int64_t>(table_.nextAutonumber))
            last =
                std::max(last, static_cast<std::uint32_t>(std::min<std::int64_t>(*n, UINT32_MAX)));
    }
    return last;
}

bool TableWriter::hasAutonumber() const {
    for (const auto& c : table_.columns)
        if (c.autoNumber()) return true;
    return false;
}

std::vector<Value> TableWriter::currentValues(RowId id) const {
    return readTableRow(file_, format_, *text_, table_, id, {});
}

// Fixed-size text is stored blank-padded; its keys and checks must see the same text.
void TableWriter::padFixedText(std::vector<Value>& values) const {
    for (std::size_t i = 0; i < values.size() && i < table_.columns.size(); ++i) {
        const Column& c = table_.columns[i];
        auto* s = std::get_if<std::string>(&values[i]);
        if (!s || !c.fixed() || c.type != ColumnType::Text) continue;
        // The column's length counts bytes: two a character in Jet 4, the code page's in Jet 3.
        const bool jet3 = format_.format == Format::Jet3;
        const std::size_t used =
            jet3 ? textOut_->encode(*s, false, where()).size() : encode::toUtf16(*s).size();
        const std::size_t room = jet3 ? c.length : c.length / 2u;
        if (used < room) s->append(room - used, ' ');
    }
}

RowId TableWriter::insert(const std::vector<Value>& given) {
    std::vector<Value> values = given;
    padFixedText(values);
    const std::uint32_t counter = numberAutomatically(values, nullptr);
    const auto keys = keysOf(values, nullptr, false);
    checkUnique(keys, std::nullopt);
    const Bytes row = encode(values);
    // A new row comes last, as the callers append (an import's rows follow the bank's own);
    // room freed on earlier pages serves rows that grow on update.
    const RowId id = rows_.place(row, 0, 0, true);
    for (const auto& k : keys)
        if (k.key)
            indexes_[k.index].tree->insert({*k.key, id.page, static_cast<std::uint8_t>(id.row), 0});
    setRowCount(table_.rowCount + 1);
    if (counter != 0) setAutonumber(counter);
    return id;
}

std::vector<RowId> TableWriter::stubsPointingAt(RowId home) const {
    std::vector<RowId> out;
    const std::uint32_t target = encode::pageRow(home.page, static_cast<std::uint8_t>(home.row));
    for (std::uint32_t p : tableDataPages(file_, format_, table_)) {
        auto page = file_.page(p);
        if (page[0] != page_type::kData || dataPageOwner(page, format_) != table_.tdefPage)
            continue;
        Bytes copy(page.begin(), page.end());
        DataPageEdit edit(copy);
        for (std::uint16_t r = 0; r < edit.rowCount(); ++r) {
            if ((edit.rawOffset(r) & row_offset::kFlags) != row_offset::kMoved) continue;
            auto b = edit.row(r);
            if (b.size() >= 4 && le32(b.data()) == target) out.push_back({p, r});
        }
    }
    return out;
}

TableWriter::Located TableWriter::locate(RowId id) const {
    auto fail = [&](const std::string& what) {
        throw Error(where() + ": page " + std::to_string(id.page) + ", row " +
                    std::to_string(id.row) + ": " + what);
    };
    auto slotOf = [&](RowId at) -> std::uint16_t {
        if (at.page == 0 || at.page >= file_.pageCount()) fail("there is no such row");
        auto page = file_.page(at.page);
        if (page[0] != page_type::kData || dataPageOwner(page, format_) != table_.tdefPage)
            fail("not a row of this table");
        const std::uint16_t count = le16(page.data() + format_.dataRowCountOffset);
        if (at.row >= count) fail("there is no such row");
        const std::uint16_t raw = le16(page.data() + format_.dataRowTableOffset + 2 * at.row);
        if ((raw & row_offset::kFlags) == row_offset::kDeleted) fail("the row is deleted");
        return raw;
    };
    Located loc;
    const std::uint16_t raw = slotOf(id);
    const std::uint16_t flags = raw & row_offset::kFlags;
    if (flags == row_offset::kMoved) {
        Bytes copy = copyOf(file_, id.page);
        auto b = DataPageEdit(copy).row(id.row);
        if (b.size() < 4) fail("a moved row without its pointer");
        const std::uint32_t to = le32(b.data());
        loc.home = {pointerPage(to), pointerRow(to)};
        const std::uint16_t homeRaw = slotOf(loc.home);
        if ((homeRaw & row_offset::kFlags) == row_offset::kMoved)
            fail("a moved row points to another moved row");
    } else {
        loc.home = id;
    }
    if ((slotOf(loc.home) & row_offset::kFlags) == row_offset::kMovedHere)
        loc.stubs = stubsPointingAt(loc.home);
    if (flags == row_offset::kMoved &&
        std::find(loc.stubs.begin(), loc.stubs.end(), id) == loc.stubs.end())
        loc.stubs.push_back(id);
    return loc;
}

RowId TableWriter::indexedAs(RowId id, const Located& loc, const std::vector<Keyed>& keys) const {
    if (loc.stubs.empty()) return id;
    std::vector<RowId> slots = loc.stubs;
    slots.push_back(loc.home);
    auto ofRow = [&](const RowId& r) {
        return std::find(slots.begin(), slots.end(), r) != slots.end();
    };
    for (const auto& k : keys) {
        if (!k.key) continue;
        for (const RowId& r : indexes_[k.index].tree->find(*k.key))
            if (ofRow(r)) return r;
    }
    for (const auto& k : keys) {
        if (!k.unknown) continue;
        for (const RowId& r : slots) {
            try {
                indexes_[k.index].tree->entryOf(r);
                return r;
            } catch (const Error&) {
            }
        }
    }
    return id;
}

std::vector<std::pair<std::uint16_t, Bytes>> TableWriter::longCells(RowId home) const {
    std::vector<std::pair<std::uint16_t, Bytes>> out;
    if (longValues_.empty()) return out;
    Bytes page = copyOf(file_, home.page);
    auto row = DataPageEdit(page).row(home.row);
    std::vector<CellRef> cells;
    crackRow(row, table_, format_, {}, cells, file_.path().string(), home.page, home.row);
    for (std::size_t i = 0; i < table_.columns.size(); ++i)
        if (encode::isLongValue(table_.columns[i].type) && cells[i].present && cells[i].data)
            out.emplace_back(table_.columns[i].number,
                             Bytes(cells[i].data, cells[i].data + cells[i].size));
    return out;
}

void TableWriter::releaseLongValues(const std::vector<std::pair<std::uint16_t, Bytes>>& cells) {
    for (const auto& [number, cell] : cells) {
        auto it = longValues_.find(number);
        if (it != longValues_.end()) it->second->release(cell);
    }
}

void TableWriter::update(RowId id, const std::vector<Value>& given) {
    const Located loc = locate(id);
    std::vector<Value> values = given;
    padFixedText(values);
    std::vector<Keyed> oldKeys, newKeys;
    RowId named = id;
    if (!indexes_.empty() || hasAutonumber()) {
        const auto old = currentValues(id);
        numberAutomatically(values, &old);
        // Only the indexes whose columns change are touched, so that a key the engine cannot
        // encode does not stop an edit of other columns.
        newKeys = keysOf(values, &old, false);
        oldKeys = keysOf(old, nullptr, true);
        for (std::size_t i = 0; i < newKeys.size(); ++i)
            if (!newKeys[i].unchanged && oldKeys[i].unknown)
                throw Error(where() + ", index \"" + indexes_[i].name +
                                "\": the row's present key cannot be read back by this engine, so "
                                "its indexed columns cannot be changed",
                            ErrorKind::IndexUnsupported);
        named = indexedAs(id, loc, oldKeys);
        checkUnique(newKeys, named);
    }
    const auto oldLongs = longCells(loc.home);
    const Bytes row = encode(values);
    Bytes page = copyOf(file_, loc.home.page);
    DataPageEdit edit(page);
    const std::uint16_t flags = edit.rawOffset(loc.home.row) & row_offset::kFlags;
    if (row.size() <= edit.roomFor(loc.home.row)) {
        edit.replace(loc.home.row, row, flags);
        file_.write(loc.home.page, page);
        rows_.noteRoom(loc.home.page, edit.roomForNew());
    } else {
        // The row moves; every slot that named it (its old home too) points to the new home.
        const RowId to = rows_.place(row, row_offset::kMovedHere, loc.home.page);
        Bytes pointer;
        encode::put32(pointer, encode::pageRow(to.page, static_cast<std::uint8_t>(to.row)));
        std::vector<RowId> slots = loc.stubs;
        slots.push_back(loc.home);
        for (const RowId& s : slots) {
            Bytes p = copyOf(file_, s.page);
            DataPageEdit e(p);
            e.replace(s.row, pointer, row_offset::kMoved);
            file_.write(s.page, p);
            rows_.noteRoom(s.page, e.roomForNew());
        }
    }
    releaseLongValues(oldLongs);
    const auto self = static_cast<std::uint8_t>(named.row);
    for (std::size_t i = 0; i < newKeys.size(); ++i) {
        if (newKeys[i].unchanged || newKeys[i].key == oldKeys[i].key) continue;
        if (oldKeys[i].key) indexes_[i].tree->remove({*oldKeys[i].key, named.page, self, 0});
        if (newKeys[i].key) indexes_[i].tree->insert({*newKeys[i].key, named.page, self, 0});
    }
}

void TableWriter::remove(RowId id) {
    const Located loc = locate(id);
    if (!indexes_.empty()) {
        const auto keys = keysOf(currentValues(id), nullptr, true);
        const RowId named = indexedAs(id, loc, keys);
        const auto self = static_cast<std::uint8_t>(named.row);
        for (const auto& k : keys) {
            IndexTree& tree = *indexes_[k.index].tree;
            if (k.key)
                tree.remove({*k.key, named.page, self, 0});
            else if (k.unknown)
                tree.remove(tree.entryOf(named));  // found by the row it names
        }
    }
    const auto oldLongs = longCells(loc.home);
    std::vector<RowId> slots = loc.stubs;
    slots.push_back(loc.home);
    for (const RowId& s : slots) {
        Bytes p = copyOf(file_, s.page);
        DataPageEdit e(p);
        e.remove(s.row);
        file_.write(s.page, p);
        rows_.noteRoom(s.page, e.roomForNew());
    }
    releaseLongValues(oldLongs);
    setRowCount(table_.rowCount > 0 ? table_.rowCount - 1 : 0);
}

}  // namespace jet
