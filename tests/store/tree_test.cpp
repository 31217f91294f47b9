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
    // An empty bank: no nodes, and only the grade query runs.
    for (auto w : kAll) EXPECT_TRUE(bank::buildTree(w, db.query()).empty());
    EXPECT_EQ(db.sent.size(), 4u);
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
        db.sent.clear();
        auto nodes = bank::buildTree(w, db.query());
        ASSERT_EQ(nodes.size(), 2u + 3u + 4u);
        // One query for the grades, one per grade, one per grade and subject.
        EXPECT_EQ(db.sent.size(), 1u + 2u + 3u);

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
    // The exact texts of the study window: grades, then per grade its subjects, per subject
    // its lessons, nested in the walk.
    db.sent.clear();
    bank::buildTree(TreeWindow::Study, db.query());
    EXPECT_EQ(db.sent[0], bank::sql::treeGrades(TreeWindow::Study));
    EXPECT_EQ(db.sent[1], bank::sql::treeSubjects(TreeWindow::Study, "初一"));
    EXPECT_EQ(db.sent[2], bank::sql::treeLessons(TreeWindow::Study, "初一", "数学"));
    EXPECT_EQ(db.sent[3], bank::sql::treeLessons(TreeWindow::Study, "初一", "语文"));
    EXPECT_EQ(db.sent[4], bank::sql::treeSubjects(TreeWindow::Study, "初二"));
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

    // And over the real executor the grades come in the order its grade query gives them.
    Tiku db;
    for (const char* g : {"高一", "初二", "初一", "Ab", "aa"}) db.add(std::string(g), "S", "C");
    std::vector<std::string> engine;
    for (const auto& row : sql::execute(db, bank::sql::treeGrades(TreeWindow::Test)).rows)
        engine.push_back(std::get<std::string>(row[0]));
    EXPECT_EQ(texts(bank::buildTree(TreeWindow::Test, db.query()), TreeLevel::Grade), engine);
}

TEST(Tree, DrillListsOnlyMarkedQuestions) {
    Tiku db;
    db.add("初一", "数学", "第一课", 0);
    db.add("初一", "数学", "第二课", 1);
    db.add("初一", "语文", "第一课", 0);
    db.add("初二", "英语", "第一课", 0);
    db.add("初三", "物理", "力", 1);
    db.add("初三", "物理", "力", 1);
    auto nodes = bank::buildTree(TreeWindow::Drill, db.query());
    EXPECT_EQ(texts(nodes, TreeLevel::Grade), (std::vector<std::string>{"初一", "初三"}));
    EXPECT_EQ(texts(nodes, TreeLevel::Subject), (std::vector<std::string>{"数学", "物理"}));
    EXPECT_EQ(texts(nodes, TreeLevel::Lesson), (std::vector<std::string>{"第二课", "力"}));
    EXPECT_EQ(bank::buildTree(TreeWindow::Test, db.query()).size(), 3u + 4u + 5u);

    Tiku none;
    none.add("初一", "数学", "第一课", 0);
    EXPECT_TRUE(bank::buildTree(TreeWindow::Drill, none.query()).empty());
}

TEST(Tree, QuotesBlanksAndNullValues) {
    Tiku db;
    db.add("初 一", "O'Neil", "it's");
    db.add("初 一", std::monostate{}, "无科目");
    db.add("初二", "", "空科目");
    for (auto w : kAll) {
        if (w == TreeWindow::Drill) continue;
        SCOPED_TRACE(static_cast<int>(w));
        auto nodes = bank::buildTree(w, db.query());
        // Values with quotes find their rows: the lesson under O'Neil is there.
        auto lessons = texts(nodes, TreeLevel::Lesson);
        EXPECT_NE(std::find(lessons.begin(), lessons.end(), "it's"), lessons.end());
        // A null subject becomes a node with empty text, and so does an empty one.
        auto subjects = texts(nodes, TreeLevel::Subject);
        EXPECT_EQ(std::count(subjects.begin(), subjects.end(), ""), 2);
        EXPECT_NE(std::find(lessons.begin(), lessons.end(), "空科目"), lessons.end());
    }
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
    auto nodes = bank::buildTree(TreeWindow::Export, failing);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].text, "初一");
    EXPECT_EQ(nodes[1].key, "年级 2");
    EXPECT_EQ(nodes[2].parentKey, "年级 2");
    // Test and drill let the window see it; so does a failing grade query everywhere.
    EXPECT_THROW(bank::buildTree(TreeWindow::Test, failing), std::runtime_error);
    auto broken = [](const std::string&) -> sql::Result { throw std::runtime_error("gone"); };
    EXPECT_THROW(bank::buildTree(TreeWindow::Study, broken), std::runtime_error);
}

TEST(Tree, ClickQueriesByWindowAndLevel) {
    namespace q = bank::sql;
    const std::tuple<TreeWindow, TreeLevel, std::string, std::string> cases[] = {
        {TreeWindow::Export, TreeLevel::Grade, "G", q::exportGrade("G")},
        {TreeWindow::Export, TreeLevel::Subject, "G", q::exportSubject("G", "S")},
        // An empty grade text still gives a subject's query, not a grade's.
        {TreeWindow::Export, TreeLevel::Subject, "", q::exportSubject("", "S")},
        {TreeWindow::Export, TreeLevel::Lesson, "G", q::exportLesson("G", "S", "C")},
        {TreeWindow::Study, TreeLevel::Lesson, "G", q::lessonQuestions("G", "S", "C")},
        {TreeWindow::Test, TreeLevel::Lesson, "G", q::testLesson("G", "S", "C")},
        {TreeWindow::Drill, TreeLevel::Lesson, "G", q::drillLesson("G", "S", "C")},
    };
    for (const auto& [window, level, grade, expected] : cases) {
        const bool lesson = level == TreeLevel::Lesson;
        EXPECT_EQ(bank::treeClickQuery(window, level, grade, level == TreeLevel::Grade ? "" : "S",
                                       lesson ? "C" : ""),
                  expected)
            << static_cast<int>(window) << " " << static_cast<int>(level);
    }
    // The other windows act on lessons only.
    for (auto w : {TreeWindow::Study, TreeWindow::Test, TreeWindow::Drill})
        for (auto level : {TreeLevel::Grade, TreeLevel::Subject})
            EXPECT_EQ(bank::treeClickQuery(w, level, "G", "S", ""), "");
}
