// The grade / subject / lesson catalogue that the export, study, test and drill windows show
// in their TreeView1: built from the grouped queries of each window, as plain nodes that the
// tree control adds in order.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "sql/sql.h"
#include "sql_texts.h"

namespace bank {

using sql::TreeWindow;

enum class TreeLevel { Grade = 1, Subject = 2, Lesson = 3 };

struct TreeNode {
    std::string key;        // "年级 1", "科目 7", "科程 12": unique within the tree
    std::string parentKey;  // empty for a grade
    std::string text;       // the value as the query returned it; empty for a null value
    TreeLevel level = TreeLevel::Grade;
    int image = 1;  // 1-based index into ImageList1
    bool expanded = false;
    // The lesson this node names as far as its level goes: the grandparent's, parent's and
    // own texts; the parts below the node's level are empty.
    std::string grade, subject, lesson;
};

// How each window's tree looks; the icons are added to ImageList1 in this order, so that
// icons[0] has index 1.
struct TreeLook {
    std::array<const char*, 3> icons;
    std::array<int, 3> images;  // picture of a grade, a subject and a lesson
    int indentationTwips;
    int lineStyle;  // 1: lines from the root level too
};
TreeLook treeLook(TreeWindow w);

// Runs one SQL text against the question bank.
using TreeQuery = std::function<::sql::Result(const std::string& sqlText)>;

// The whole catalogue in the order the nodes are added: each grade, then its subjects each
// followed by its lessons, every level in the order the engine returns its groups. A failing
// grade query throws; a failing subject or lesson query leaves that node without children in
// the export and study trees and throws in the test and drill trees.
std::vector<TreeNode> buildTree(TreeWindow w, const TreeQuery& run);

// The SQL text a click on a node of `level` sends in window `w`, or empty when a click on that
// level does nothing there (grades and subjects outside the export window).
std::string treeClickQuery(TreeWindow w, TreeLevel level, const std::string& grade,
                           const std::string& subject, const std::string& lesson);
inline std::string treeClickQuery(TreeWindow w, const TreeNode& n) {
    return treeClickQuery(w, n.level, n.grade, n.subject, n.lesson);
}

}  // namespace bank
