#include "tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "memory_tiku.h"

using bank::TreeLevel;
using bank::TreeNode;
using bank::TreeWindow;

namespace {

using Tiku = store_test::MemoryTiku;

std::vector<std::string> texts(const std::vector<TreeNode>& nodes, TreeLevel level) {
    std::vector<std::string> r;
    for (const auto& n : nodes)
        if (n.level == level) r.push_back(n.text);
    return r;
}

const TreeWindow kAll[] = {TreeWindow::Export, TreeWindow::Study, TreeWindow::Test,
                           TreeWindow::Drill};

}  // namespace

TEST(Tree, KeysParentsAndValuesOfEveryWindow) {
    Tiku db;
    for (auto w : kAll) EXPECT_TRUE(bank::buildTree(w, db.query()).empty());  // an empty bank
    // Many questions per lesson, the same subject and lesson names under two grades.
    for (int i = 0; i < 3; ++i) {
        db.add("初一", "数学", "第一课");
        db.add("初一", "数学", "第二课");
        db.add("初一", "语文", "第一课");
        db.add("初二", "数学", "第一课");
    }
    for (auto w : kAll) {
        if (w == TreeWindow::Drill) continue;  // no marked questions here
        SCOPED_TRACE(static_cast<int>(w));
        auto nodes = bank::buildTree(w, db.query());
        ASSERT_EQ(nodes.size(), 2u + 3u + 4u);

        // Counters run on through the whole tree; each node names its parent's key and values.
        std::vector<std::string> seen;
        for (const auto& n : nodes) {
            EXPECT_FALSE(n.expanded);
            seen.push_back(n.key + "<" + n.parentKey + " " + n.grade + "/" + n.subject + "/" +
                           n.lesson + " " + n.text);
        }
        EXPECT_EQ(seen,
                  (std::vector<std::string>{
                      "年级 1< 初一// 初一", "科目 1<年级 1 初一/数学/ 数学",
                      "科程 1<科目 1 初一/数学/第一课 第一课",
                      "科程 2<科目 1 初一/数学/第二课 第二课", "科目 2<年级 1 初一/语文/ 语文",
                      "科程 3<科目 2 初一/语文/第一课 第一课", "年级 2< 初二// 初二",
                      "科目 3<年级 2 初二/数学/ 数学", "科程 4<科目 3 初二/数学/第一课 第一课"}));
    }
}

TEST(Tree, LevelsKeepTheEnginesGroupOrder) {
    // A stand-in engine that returns its groups unsorted: the tree keeps that order.
    auto grouped = [](std::vector<std::string> values, std::size_t column = 0) {
        sql::Result r;
        for (auto& v : values) {
            std::vector<jet::Value> row(column + 1, std::string("x"));
            row[column] = v;
            r.rows.push_back(row);
        }
        return r;
    };
    auto run = [&](const std::string& text) {
        if (text == bank::sql::treeGrades(TreeWindow::Study)) return grouped({"乙", "甲", "丙"});
        if (text.starts_with("Select tiku.nianji,tiku.kemu,tiku.kecheng"))
            return grouped({"z", "a"}, 2);
        return grouped({"二", "一"}, 1);
    };
    auto nodes = bank::buildTree(TreeWindow::Study, run);
    EXPECT_EQ(texts(nodes, TreeLevel::Grade), (std::vector<std::string>{"乙", "甲", "丙"}));
    EXPECT_EQ(texts(nodes, TreeLevel::Subject).front(), "二");
    EXPECT_EQ(texts(nodes, TreeLevel::Lesson).front(), "z");
}

TEST(Tree, FailingInnerQueries) {
    Tiku db;
    db.add("初一", "数学", "第一课");
    db.add("初二", "数学", "第一课");
    auto failing = [&](const std::string& text) -> sql::Result {
        if (text.find("'初一'") != std::string::npos) throw std::runtime_error("unreadable");
        return sql::execute(db, text);
    };
    // Export and study go on with the next grade; the grade that failed stays, childless.
    EXPECT_EQ(bank::buildTree(TreeWindow::Study, failing).size(), 4u);
    auto nodes = bank::buildTree(TreeWindow::Export, failing);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].text, "初一");
    EXPECT_EQ(nodes[1].key, "年级 2");
    EXPECT_EQ(nodes[2].parentKey, "年级 2");
    // Test and drill let the window see it; so does a failing grade query everywhere.
    EXPECT_THROW(bank::buildTree(TreeWindow::Test, failing), std::runtime_error);
    auto broken = [](const std::string&) -> sql::Result { throw std::runtime_error("gone"); };
    EXPECT_THROW(bank::buildTree(TreeWindow::Study, broken), std::runtime_error);

    // The windows' tests click each level; an empty grade text still gives a subject's query.
    EXPECT_EQ(bank::treeClickQuery(TreeWindow::Export, TreeLevel::Subject, "", "S", ""),
              bank::sql::exportSubject("", "S"));
}
