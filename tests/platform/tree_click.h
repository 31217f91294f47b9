// A click on a tree node as the user makes it: its parents opened, the node scrolled into view,
// the mouse pressed at its centre.
#pragma once

#include <QTest>
#include <QTreeWidget>

namespace mozhou_test {

inline void clickTreeItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    for (auto* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

// The first node in tree order whose text is `text`.
inline QTreeWidgetItem* treeItem(QTreeWidget* tree, const QString& text) {
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

}  // namespace mozhou_test
