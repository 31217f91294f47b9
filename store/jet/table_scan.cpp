#include "table_scan.h"

#include <algorithm>
#include <string>

#include "bytes.h"
#include "column_value.h"
#include "data_page.h"
#include "long_value.h"
#include "page_file.h"
#include "usage_map.h"

namespace jet {

std::vector<std::uint32_t> tableDataPages(const PageFile& file, const Layout& layout,
                                          const TableDef& table) {
    return readUsageMap(file, layout, table.usedPages, table.tdefPage);
}

void decodeRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
               const TableDef& table, const std::vector<bool>& wanted, std::uint32_t page,
               std::uint16_t row, std::span<const std::uint8_t> bytes, std::vector<CellRef>& cells,
               std::vector<Value>& values, std::vector<std::string>* lastText) {
    const std::string& name = file.path().native();
    crackRow(bytes, table, layout, wanted, cells, name, page, row);
    values.resize(table.columns.size());
    if (lastText) lastText->resize(table.columns.size());
    CellContext ctx{file, layout, text, page, row};
    const bool all = wanted.empty();
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (!all && !(i < wanted.size() && wanted[i])) {
            values[i] = std::monostate{};
            continue;
        }
        const CellRef& cell = cells[i];
        if (lastText && cell.present && table.columns[i].type == ColumnType::Text) {
            // Neighbouring rows often repeat a short text (a grade, a lesson): the same
            // stored bytes decode to the text already there.
            std::string& last = (*lastText)[i];
            const std::string_view stored(reinterpret_cast<const char*>(cell.data), cell.size);
            if (std::holds_alternative<std::string>(values[i]) && last == stored) continue;
            decodeColumnInto(table.columns[i], cell, ctx, values[i]);
            last.assign(stored);
            continue;
        }
        decodeColumnInto(table.columns[i], cell, ctx, values[i]);
    }
}

RowCursor::RowCursor(const PageFile& file, const Layout& layout, const TextDecoder& text,
                     const TableDef& table, std::vector<bool> wanted, bool decode)
    : file_(file),
      layout_(layout),
      text_(text),
      table_(&table),
      wanted_(std::move(wanted)),
      decode_(decode) {
    pages_ = tableDataPages(file_, layout_, *table_);
}

void RowCursor::reposition(const TableDef& table) {
    table_ = &table;
    pages_ = tableDataPages(file_, layout_, *table_);
    if (!started_) return;
    // Continue after the current row: on its page if it is still ours, else on the next one.
    auto it = std::lower_bound(pages_.begin(), pages_.end(), current_.page);
    pageIndex_ = static_cast<std::size_t>(it - pages_.begin());
    nextRow_ = (it != pages_.end() && *it == current_.page) ? current_.row + 1u : 0u;
}

bool RowCursor::next() {
    const std::string& name = file_.path().native();
    while (pageIndex_ < pages_.size()) {
        const std::uint32_t pageNo = pages_[pageIndex_];
        // Between pages no span of the file is held here: pages passed may go.
        if (nextRow_ == 0) {
            file_.releasePages();
            // The pages of a table mostly follow one another: read a run of them at once.
            std::size_t run = 1;
            while (pageIndex_ + run < pages_.size() && run < 16 &&
                   pages_[pageIndex_ + run] == pageNo + run)
                ++run;
            if (run > 1) file_.preload(pageNo, static_cast<std::uint32_t>(run));
        }
        auto page = file_.page(pageNo);
        if (page[0] != page_type::kData || dataPageOwner(page, layout_) != table_->tdefPage) {
            ++pageIndex_;
            nextRow_ = 0;
            continue;
        }
        const std::uint16_t count = dataRowCount(page, layout_, name, pageNo);
        while (nextRow_ < count) {
            auto row = static_cast<std::uint16_t>(nextRow_++);
            RowSlot s = dataRowSlot(page, layout_, row, name, pageNo);
            if (s.deleted || s.moved) continue;
            if (decode_)
                decodeRow(file_, layout_, text_, *table_, wanted_, pageNo, row,
                          page.subspan(s.start, s.size()), cells_, values_, &lastText_);
            else
                crackRow(page.subspan(s.start, s.size()), *table_, layout_, wanted_, cells_, name,
                         pageNo, row);
            current_ = {pageNo, row};
            started_ = true;
            return true;
        }
        ++pageIndex_;
        nextRow_ = 0;
    }
    return false;
}

std::span<const std::uint8_t> findTableRow(const PageFile& file, const Layout& layout,
                                           const TableDef& table, RowId& id) {
    const std::string& name = file.path().native();
    // A moved row points on; Jet moves a row at most once, a few hops allow for slack and stop
    // a circle.
    for (int hop = 0; hop < 8; ++hop) {
        if (id.page == 0 || id.page >= file.pageCount())
            failAt(name, id.page,
                   "there is no such page for a row of table \"" + table.name + "\"");
        auto page = file.page(id.page);
        if (page[0] != page_type::kData || dataPageOwner(page, layout) != table.tdefPage)
            failAt(name, id.page, "not a data page of table \"" + table.name + "\"");
        RowSlot s = dataRowSlot(page, layout, id.row, name, id.page);
        if (s.deleted) failAt(name, id.page, "row " + std::to_string(id.row) + " is deleted");
        if (s.moved) {
            if (s.size() < 4)
                failAt(name, id.page,
                       "row " + std::to_string(id.row) + ": a moved row without its pointer");
            std::uint32_t to = le32(page.data() + s.start);
            id = {pointerPage(to), pointerRow(to)};
            continue;
        }
        return page.subspan(s.start, s.size());
    }
    failAt(name, id.page, "a moved row of table \"" + table.name + "\" points on in a circle");
}

std::vector<Value> readTableRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
                                const TableDef& table, RowId id, const std::vector<bool>& wanted) {
    const auto bytes = findTableRow(file, layout, table, id);
    std::vector<CellRef> cells;
    std::vector<Value> values;
    decodeRow(file, layout, text, table, wanted, id.page, id.row, bytes, cells, values);
    return values;
}

StoredRow::StoredRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
                     const TableDef& table, RowId id, const std::vector<CellRef>& cells)
    : file_(file), layout_(layout), text_(text), table_(table), id_(id), cells_(cells) {}

std::optional<std::span<const std::uint8_t>> StoredRow::text(std::size_t column,
                                                             Bytes& gathered) const {
    const CellRef& cell = cells_.at(column);
    if (!cell.present) return std::nullopt;
    const std::span<const std::uint8_t> bytes{cell.data, cell.size};
    if (table_.columns.at(column).type != ColumnType::Memo) return bytes;
    return longValueBytes(bytes, file_, layout_, id_.page, id_.row, gathered);
}

void StoredRow::decode(std::size_t column, Value& out) const {
    const CellContext ctx{file_, layout_, text_, id_.page, id_.row};
    decodeColumnInto(table_.columns.at(column), cells_.at(column), ctx, out);
}

}  // namespace jet
