// Changing usage maps in place (Jet 3 and Jet 4: the page size says which). A map's row keeps its
// size: an inline map (type 0) whose 512-page window cannot take a page is moved to a window that
// holds all its pages, or, when none does, turned into a map of map pages (type 1) in the same row.
#pragma once

#include <cstdint>
#include <span>

namespace jet {

class PageFile;

// Marks (`on`) or clears `page` in the usage map kept in the row at `pageRow`.
void setInUsageMap(PageFile& file, std::uint32_t pageRow, std::uint32_t page, bool on);

// Appends a page to the file and takes it out of the file's map of free pages (row 0 of
// page 1, where Jet marks the pages it may hand out).
std::uint32_t allocatePage(PageFile& file, std::span<const std::uint8_t> content);

// Puts right a map of free pages that marks pages in use (as an earlier version of our creator
// wrote it); leaves a sound one alone. Every change calls it, so that a file that only ever
// changes rows in place is mended too.
void repairFreePageMap(PageFile& file);

}  // namespace jet
