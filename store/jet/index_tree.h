// One index of a Jet 3 or Jet 4 table as a tree of index pages, for lookups and for keeping it in
// step with the table's rows. The root page is the one the table definition names and never moves.
// A node entry equals the last entry of its child; a node's tail field may name one more
// leaf after the last child (Access appends there without touching the nodes). Leaves of one
// level are linked through their previous/next fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index_page.h"
#include "table_scan.h"

namespace jet {

class PageFile;

class IndexTree {
  public:
    // `usedPages`: the page/row pointer of the index's usage map (0: none).
    IndexTree(PageFile& file, std::uint32_t owner, std::uint32_t root, std::uint32_t usedPages,
              std::string where);

    // Every leaf entry in order: the leftmost leaf, then along the next links.
    std::vector<IndexEntry> entries() const;
    // The rows whose key is `key`, in index order.
    std::vector<RowId> find(const Bytes& key) const;
    // The entry that names `row`, found by walking every leaf; throws when there is none.
    IndexEntry entryOf(RowId row) const;

    // Adds or removes one entry; throws jet::Error when the pages are not as expected (the
    // caller's statement is then undone).
    void insert(const IndexEntry& entry);
    void remove(const IndexEntry& entry);

  private:
    struct Step {
        std::uint32_t page;
        IndexPage content;
        std::size_t slot;  // the entry followed down
    };
    IndexPage read(std::uint32_t page) const;
    void write(std::uint32_t page, const IndexPage& content);
    std::uint32_t newPage(const IndexPage& content);
    void dropPage(std::uint32_t page);
    void relink(std::uint32_t page, bool prevField, std::uint32_t value);
    // From the root to the leaf where `entry` belongs.
    std::vector<Step> descend(const IndexEntry& entry) const;
    // Stores path.back() after its entries changed, splitting it and mending its parents.
    void store(std::vector<Step>& path, const Bytes& lastBefore);
    // After path.back() lost all of its entries.
    void dropEmpty(std::vector<Step>& path);
    // Takes the root's tail leaf in as its last child, so that every leaf has a node entry.
    void adoptTail();

    PageFile& file_;
    std::uint32_t owner_;
    std::uint32_t root_;
    std::uint32_t usedPages_;
    std::string where_;
};

}  // namespace jet
