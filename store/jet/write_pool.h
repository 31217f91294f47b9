// The pages of one owner (a table's rows, or one long-value column) seen as room for new
// rows: which pages have how much room, kept in step with the owner's two usage maps (the
// pages it owns, and those of them with free space).
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <unordered_map>

#include "format.h"
#include "table_scan.h"
#include "value.h"

namespace jet {

class PageFile;

class PagePool {
  public:
    // `usedMap`/`freeMap` are page/row pointers of the maps, 0 when the owner has none.
    PagePool(PageFile& file, std::uint32_t owner, std::uint32_t usedMap, std::uint32_t freeMap);

    // Puts a row on a page with room (not on page `avoid`), starting a page when none has;
    // returns where it went. `inOrder` keeps to the newest page or a new one, so that the row
    // comes after every other in the engine's order (pages by number, rows by number).
    RowId place(std::span<const std::uint8_t> row, std::uint16_t flags = 0, std::uint32_t avoid = 0,
                bool inOrder = false);
    // Puts a row alone on a new page.
    RowId placeAlone(std::span<const std::uint8_t> row);
    // After a page of this owner changed: its room now (see DataPageEdit::roomForNew).
    void noteRoom(std::uint32_t page, std::size_t room);

  private:
    std::uint32_t newPage();
    void forget(std::uint32_t page);
    PageFile& file_;
    const Layout& layout_;
    std::uint32_t owner_;
    std::uint32_t usedMap_, freeMap_;
    std::multimap<std::size_t, std::uint32_t> byRoom_;  // pages in the free-space map
    std::unordered_map<std::uint32_t, std::multimap<std::size_t, std::uint32_t>::iterator> where_;
    std::uint32_t tail_ = 0;  // the newest page, tried first so that appended rows stay in order
};

}  // namespace jet
