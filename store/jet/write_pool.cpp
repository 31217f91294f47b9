#include "write_pool.h"

#include "data_page.h"
#include "format.h"
#include "page_file.h"
#include "usage_map.h"
#include "write_page.h"
#include "write_usage_map.h"

namespace jet {

namespace {

// A page with less room than this is taken out of the free-space map.
constexpr std::size_t kUsefulRoom = 64;

Bytes copyOf(const PageFile& file, std::uint32_t n) {
    auto p = file.page(n);
    return Bytes(p.begin(), p.end());
}

}  // namespace

PagePool::PagePool(PageFile& file, std::uint32_t owner, std::uint32_t usedMap,
                   std::uint32_t freeMap)
    : file_(file),
      layout_(layoutOfPageSize(file.pageSize())),
      owner_(owner),
      usedMap_(usedMap),
      freeMap_(freeMap) {
    if (freeMap_ != 0) {
        for (std::uint32_t p : readUsageMap(file_, layout_, freeMap_, owner_)) {
            auto page = file_.page(p);
            if (page[0] != page_type::kData || dataPageOwner(page, layout_) != owner_) continue;
            Bytes copy(page.begin(), page.end());
            const std::size_t room = DataPageEdit(copy).roomForNew();
            where_[p] = byRoom_.emplace(room, p);
        }
    }
    if (usedMap_ != 0) {
        auto used = readUsageMap(file_, layout_, usedMap_, owner_);
        if (!used.empty()) tail_ = used.back();
    }
}

void PagePool::forget(std::uint32_t page) {
    auto it = where_.find(page);
    if (it == where_.end()) return;
    byRoom_.erase(it->second);
    where_.erase(it);
}

void PagePool::noteRoom(std::uint32_t page, std::size_t room) {
    const bool listed = where_.count(page) != 0;
    forget(page);
    if (room >= kUsefulRoom) {
        where_[page] = byRoom_.emplace(room, page);
        if (!listed && freeMap_ != 0) setInUsageMap(file_, freeMap_, page, true);
    } else if (listed && freeMap_ != 0) {
        setInUsageMap(file_, freeMap_, page, false);
    }
}

std::uint32_t PagePool::newPage() {
    const std::uint32_t n = allocatePage(file_, DataPageEdit::empty(owner_, layout_));
    if (usedMap_ != 0) setInUsageMap(file_, usedMap_, n, true);
    tail_ = n;
    return n;
}

RowId PagePool::place(std::span<const std::uint8_t> row, std::uint16_t flags, std::uint32_t avoid,
                      bool inOrder) {
    std::uint32_t target = 0;
    if (tail_ != 0 && tail_ != avoid && where_.count(tail_) && where_[tail_]->first >= row.size())
        target = tail_;
    for (auto it = byRoom_.lower_bound(row.size()); !inOrder && target == 0 && it != byRoom_.end();
         ++it)
        if (it->second != avoid) target = it->second;
    if (target == 0) target = newPage();
    Bytes page = copyOf(file_, target);
    DataPageEdit edit(page);
    if (edit.roomForNew() < row.size()) {
        // The room we knew of was wrong (the page changed behind us): use a new page.
        noteRoom(target, edit.roomForNew());
        target = newPage();
        page = copyOf(file_, target);
    }
    DataPageEdit fresh(page);
    const std::uint16_t r = fresh.add(row, flags);
    file_.write(target, page);
    noteRoom(target, fresh.roomForNew());
    return {target, r};
}

RowId PagePool::placeAlone(std::span<const std::uint8_t> row) {
    const std::uint32_t target = newPage();
    Bytes page = copyOf(file_, target);
    DataPageEdit edit(page);
    const std::uint16_t r = edit.add(row);
    file_.write(target, page);
    noteRoom(target, edit.roomForNew());
    return {target, r};
}

}  // namespace jet
