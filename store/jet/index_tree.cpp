#include "index_tree.h"

#include <algorithm>
#include <set>

#include "encode.h"
#include "error.h"
#include "format.h"
#include "page_file.h"
#include "write_usage_map.h"

namespace jet {

namespace {

// Deeper trees than this do not occur in a Jet file; a deeper one is a loop.
constexpr std::size_t kMaxDepth = 16;

IndexEntry nodeEntry(const IndexEntry& last, std::uint32_t child) {
    IndexEntry e = last;
    e.child = child;
    return e;
}

bool fits(const IndexPage& p, std::size_t pageSize) {
    return encodedSize(p) <= indexPageLayoutOf(pageSize).room();
}

}  // namespace

IndexTree::IndexTree(PageFile& file, std::uint32_t owner, std::uint32_t root,
                     std::uint32_t usedPages, std::string where)
    : file_(file), owner_(owner), root_(root), usedPages_(usedPages), where_(std::move(where)) {}

IndexPage IndexTree::read(std::uint32_t page) const {
    if (page == 0 || page >= file_.pageCount())
        throw Error(where_ + ": names index page " + std::to_string(page) +
                    ", which is not in the file");
    IndexPage p = decodeIndexPage(file_.page(page), file_.path().string(), page);
    if (p.owner != owner_)
        throw Error(where_ + ": index page " + std::to_string(page) + " belongs to another table");
    return p;
}

void IndexTree::write(std::uint32_t page, const IndexPage& content) {
    IndexPage c = content;
    c.owner = owner_;
    auto bytes = encodeIndexPage(c, file_.pageSize());
    if (!bytes) throw Error(where_ + ": index page " + std::to_string(page) + " overflows");
    file_.write(page, *bytes);
}

std::uint32_t IndexTree::newPage(const IndexPage& content) {
    IndexPage c = content;
    c.owner = owner_;
    auto bytes = encodeIndexPage(c, file_.pageSize());
    if (!bytes) throw Error(where_ + ": a new index page overflows");
    const std::uint32_t n = allocatePage(file_, *bytes);
    if (usedPages_ != 0) setInUsageMap(file_, usedPages_, n, true);
    return n;
}

void IndexTree::dropPage(std::uint32_t page) {
    // Pages are never handed out again by this engine; the page leaves the index and is
    // blanked so that nobody takes it for part of the tree.
    if (usedPages_ != 0) setInUsageMap(file_, usedPages_, page, false);
    file_.write(page, Bytes(file_.pageSize(), 0));
}

void IndexTree::relink(std::uint32_t page, bool prevField, std::uint32_t value) {
    read(page);  // checks that it is one of ours
    auto now = file_.page(page);
    Bytes copy(now.begin(), now.end());
    const IndexPageLayout& L = indexPageLayoutOf(file_.pageSize());
    encode::set32(copy, prevField ? L.prevOffset : L.nextOffset, value);
    file_.write(page, copy);
}

std::vector<IndexEntry> IndexTree::entries() const {
    std::vector<IndexEntry> out;
    std::uint32_t p = root_;
    for (std::size_t depth = 0;; ++depth) {
        IndexPage c = read(p);
        if (c.leaf) break;
        if (c.entries.empty() || depth > kMaxDepth)
            throw Error(where_ + ": index page " + std::to_string(p) + " leads nowhere");
        p = c.entries.front().child;
    }
    std::set<std::uint32_t> seen;
    while (p != 0) {
        if (!seen.insert(p).second)
            throw Error(where_ + ": the leaves of an index run in a circle at page " +
                        std::to_string(p));
        IndexPage c = read(p);
        if (!c.leaf)
            throw Error(where_ + ": page " + std::to_string(p) + " among the leaves is a node");
        out.insert(out.end(), c.entries.begin(), c.entries.end());
        p = c.next;
    }
    return out;
}

std::vector<IndexTree::Step> IndexTree::descend(const IndexEntry& entry) const {
    std::vector<Step> path;
    std::uint32_t p = root_;
    while (true) {
        if (path.size() > kMaxDepth)
            throw Error(where_ + ": the index tree is deeper than any Jet writes");
        IndexPage c = read(p);
        if (c.leaf) {
            path.push_back({p, std::move(c), 0});
            return path;
        }
        if (c.entries.empty())
            throw Error(where_ + ": index page " + std::to_string(p) + " has no entries");
        if (c.tail != 0)
            throw Error(where_ + ": index page " + std::to_string(p) +
                        " has a tail leaf below the top of the tree");
        std::size_t i = 0;
        while (i + 1 < c.entries.size() && compareEntries(c.entries[i], entry) < 0) ++i;
        const std::uint32_t child = c.entries[i].child;
        path.push_back({p, std::move(c), i});
        p = child;
    }
}

std::vector<RowId> IndexTree::find(const Bytes& key) const {
    std::vector<RowId> out;
    IndexEntry probe;
    probe.key = key;
    // A tail leaf is not under any node entry: look along the leaves from the leaf found.
    std::uint32_t p = root_;
    for (std::size_t depth = 0;; ++depth) {
        IndexPage c = read(p);
        if (c.leaf || depth > kMaxDepth) break;
        std::size_t i = 0;
        while (i + 1 < c.entries.size() && compareEntries(c.entries[i], probe) < 0) ++i;
        if (c.entries.empty()) return out;
        p = c.entries[i].child;
    }
    std::set<std::uint32_t> seen;
    while (p != 0 && seen.insert(p).second) {
        IndexPage c = read(p);
        for (const auto& e : c.entries) {
            if (compareEntries(e, probe) < 0) continue;
            if (e.key != key) return out;
            out.push_back({e.page, e.row});
        }
        p = c.next;
    }
    return out;
}

IndexEntry IndexTree::entryOf(RowId row) const {
    for (const auto& e : entries())
        if (e.page == row.page && e.row == row.row) return e;
    throw Error(where_ + ": the index has no entry for page " + std::to_string(row.page) +
                ", row " + std::to_string(row.row));
}

void IndexTree::store(std::vector<Step>& path, const Bytes& lastBefore) {
    Step& s = path.back();
    if (fits(s.content, file_.pageSize())) {
        write(s.page, s.content);
        if (path.size() == 1 || s.content.entries.empty()) return;
        const IndexEntry last = s.content.entries.back();  // a copy: the step goes next
        if (last.sortBytes() == lastBefore) return;
        const std::uint32_t child = s.page;
        path.pop_back();
        Step& parent = path.back();
        const Bytes parentBefore = parent.content.entries.back().sortBytes();
        parent.content.entries[parent.slot] = nodeEntry(last, child);
        store(path, parentBefore);
        return;
    }

    // Split: the left part goes to a new page, the right part stays, so that the parent's
    // entry for this page still names the greater entries. At the right edge (appends) the
    // left page is filled; elsewhere the entries are halved.
    auto& all = s.content.entries;
    if (all.size() < 2) throw Error(where_ + ": an index entry larger than a page");
    IndexPage left, right;
    left.leaf = right.leaf = s.content.leaf;
    std::size_t cut = s.content.next == 0 ? all.size() - 1 : all.size() / 2;
    auto part = [&](std::size_t from, std::size_t to) {
        return std::vector<IndexEntry>(all.begin() + static_cast<std::ptrdiff_t>(from),
                                       all.begin() + static_cast<std::ptrdiff_t>(to));
    };
    for (;; --cut) {
        if (cut == 0) throw Error(where_ + ": index entries that no split can hold");
        left.entries = part(0, cut);
        if (fits(left, file_.pageSize())) break;
    }
    right.entries = part(cut, all.size());
    if (!fits(right, file_.pageSize())) {
        cut = all.size() / 2;
        left.entries = part(0, cut);
        right.entries = part(cut, all.size());
        if (!fits(left, file_.pageSize()) || !fits(right, file_.pageSize()))
            throw Error(where_ + ": index entries that no split can hold");
    }

    if (path.size() == 1) {
        // The root keeps its page (the table definition names it): both halves move down.
        const std::uint32_t l = newPage(left);
        const std::uint32_t r = newPage(right);
        left.next = r;
        right.prev = l;
        write(l, left);
        write(r, right);
        IndexPage root;
        root.leaf = false;
        root.entries = {nodeEntry(left.entries.back(), l), nodeEntry(right.entries.back(), r)};
        write(s.page, root);
        return;
    }
    left.prev = s.content.prev;
    left.next = s.page;
    const std::uint32_t l = newPage(left);
    if (left.prev != 0) relink(left.prev, false, l);
    right.prev = l;
    right.next = s.content.next;
    write(s.page, right);
    const std::uint32_t self = s.page;
    path.pop_back();
    Step& parent = path.back();
    const Bytes parentBefore = parent.content.entries.back().sortBytes();
    parent.content.entries[parent.slot] = nodeEntry(right.entries.back(), self);
    parent.content.entries.insert(
        parent.content.entries.begin() + static_cast<std::ptrdiff_t>(parent.slot),
        nodeEntry(left.entries.back(), l));
    store(path, parentBefore);
}

void IndexTree::dropEmpty(std::vector<Step>& path) {
    Step& s = path.back();
    if (path.size() == 1) {
        write(s.page, IndexPage{});  // an empty index is one empty leaf
        return;
    }
    if (s.content.prev != 0) relink(s.content.prev, false, s.content.next);
    if (s.content.next != 0) relink(s.content.next, true, s.content.prev);
    dropPage(s.page);
    path.pop_back();
    Step& parent = path.back();
    const Bytes parentBefore = parent.content.entries.back().sortBytes();
    parent.content.entries.erase(parent.content.entries.begin() +
                                 static_cast<std::ptrdiff_t>(parent.slot));
    if (parent.content.entries.empty())
        dropEmpty(path);
    else
        store(path, parentBefore);
}

void IndexTree::adoptTail() {
    IndexPage root = read(root_);
    if (root.leaf || root.tail == 0) return;
    const std::uint32_t tail = root.tail;
    IndexPage t = read(tail);
    IndexPage lastChild = read(root.entries.empty() ? tail : root.entries.back().child);
    if (!t.leaf || !lastChild.leaf)
        throw Error(where_ + ": the index has a tail leaf this engine cannot take into the tree");
    std::vector<Step> path{{root_, root, root.entries.size()}};
    const Bytes before = root.entries.empty() ? Bytes{} : root.entries.back().sortBytes();
    path.back().content.tail = 0;
    if (t.entries.empty()) {
        if (t.prev != 0) relink(t.prev, false, 0);
        dropPage(tail);
        write(root_, path.back().content);
        return;
    }
    path.back().content.entries.push_back(nodeEntry(t.entries.back(), tail));
    store(path, before);
}

void IndexTree::insert(const IndexEntry& entry) {
    adoptTail();
    auto path = descend(entry);
    auto& leaf = path.back().content.entries;
    auto at = std::lower_bound(leaf.begin(), leaf.end(), entry, [](const auto& a, const auto& b) {
        return compareEntries(a, b) < 0;
    });
    if (at != leaf.end() && compareEntries(*at, entry) == 0)
        throw Error(where_ + ": the index already holds an entry for page " +
                    std::to_string(entry.page) + ", row " + std::to_string(entry.row));
    const Bytes before = leaf.empty() ? Bytes{} : leaf.back().sortBytes();
    IndexEntry e = entry;
    e.child = 0;
    leaf.insert(at, std::move(e));
    store(path, before);
}

void IndexTree::remove(const IndexEntry& entry) {
    adoptTail();
    auto path = descend(entry);
    auto& leaf = path.back().content.entries;
    auto at = std::find_if(leaf.begin(), leaf.end(),
                           [&](const auto& e) { return compareEntries(e, entry) == 0; });
    if (at == leaf.end())
        throw Error(where_ + ": the index lacks the entry of page " + std::to_string(entry.page) +
                    ", row " + std::to_string(entry.row));
    const Bytes before = leaf.back().sortBytes();
    leaf.erase(at);
    if (leaf.empty())
        dropEmpty(path);
    else
        store(path, before);
}

}  // namespace jet
