#include "tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

#include "memory_tiku.h"

using bank::TreeLevel;
using bank::TreeNode;
using bank::TreeWindow;

namespace {

// The memory tiku, recording every SQL text the builder runs, in order.
struct Tiku : store_test::MemoryTiku {
    std::vector<std::string> sent;
    bank::TreeQuery query() {
        return [this](const std::string& text) {
            sent.push_back(text);
            return sql::execute(*this, text);
        };
    }
};

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

        std::set<std::string> keys;
        std::map<std::string, const TreeNode*> byKey;
        for (const auto& n : nodes) {
            EXPECT_TRUE(keys.insert(n.key).second) << n.key;
            byKey[n.key] = &n;
            EXPECT_FALSE(n.expanded);
            if (n.level == TreeLevel::Grade) {
                EXPECT_TRUE(n.parentKey.empty());
            } else {
                // A child follows its parent and names the parent's values.
                ASSERT_TRUE(byKey.count(n.parentKey)) << n.key;
                const TreeNode& p = *byKey[n.parentKey];
                EXPECT_EQ(static_cast<int>(p.level) + 1, static_cast<int>(n.level));
                EXPECT_EQ(p.grade, n.grade);
                if (n.level == TreeLevel::Lesson) {
                    EXPECT_EQ(p.subject, n.subject);
                }
            }
        }
        // Counters run on through the whole tree.
        std::vector<std::string> k;
        for (const auto& n : nodes) k.push_back(n.key);
        EXPECT_EQ(k, (std::vector<std::string>{"年级 1", "科目 1", "科程 1", "科程 2", "科目 2",
                                               "科程 3", "年级 2", "科目 3", "科程 4"}));
        const TreeNode& last = nodes.back();
        EXPECT_EQ(last.parentKey, "科目 3");
        EXPECT_EQ(last.grade, "初二");
        EXPECT_EQ(last.subject, "数学");
        EXPECT_EQ(last.lesson, "第一课");
        EXPECT_EQ(nodes[4].text, "语文");
        EXPECT_EQ(nodes[4].grade, "初一");
        EXPECT_TRUE(nodes[4].lesson.empty());
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

TEST(Tree, PicturesAndLooksByWindow) {
    Tiku db;
    db.add("G", "S", "C");
    auto images = [&](TreeWindow w) {
        std::vector<int> r;
        for (const auto& n : bank::buildTree(w, db.query())) r.push_back(n.image);
        return r;
    };
    EXPECT_EQ(images(TreeWindow::Export), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(images(TreeWindow::Study), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(images(TreeWindow::Test), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(std::string(bank::treeLook(TreeWindow::Export).icons[2]), "ddd.ico");
    EXPECT_EQ(std::string(bank::treeLook(TreeWindow::Study).icons[2]), "aaa.ico");
    EXPECT_EQ(std::string(bank::treeLook(TreeWindow::Drill).icons[0]), "bbb.ico");
    EXPECT_EQ(bank::treeLook(TreeWindow::Study).indentationTwips, 10);
    EXPECT_EQ(bank::treeLook(TreeWindow::Drill).indentationTwips, 20);
    EXPECT_EQ(bank::treeLook(TreeWindow::Test).lineStyle, 1);
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
        // The other windows act on lessons only.
        {TreeWindow::Study, TreeLevel::Grade, "G", ""},
        {TreeWindow::Study, TreeLevel::Subject, "G", ""},
        {TreeWindow::Test, TreeLevel::Grade, "G", ""},
        {TreeWindow::Test, TreeLevel::Subject, "G", ""},
        {TreeWindow::Drill, TreeLevel::Grade, "G", ""},
        {TreeWindow::Drill, TreeLevel::Subject, "G", ""},
    };
    for (const auto& [window, level, grade, expected] : cases) {
        const bool lesson = level == TreeLevel::Lesson;
        EXPECT_EQ(bank::treeClickQuery(window, level, grade, level == TreeLevel::Grade ? "" : "S",
                                       lesson ? "C" : ""),
                  expected)
            << static_cast<int>(window) << " " << static_cast<int>(level);
    }
}
