#include <gtest/gtest.h>

#include "memory_tiku.h"
#include "sql/sql.h"
#include "sql_texts.h"

using namespace bank::sql;

using Bank = store_test::MemoryTiku;

TEST(SqlTexts, ExactTextsForPlainValues) {
    EXPECT_EQ(subjectsOfGrade("初一"),
              "Select tiku.kemu From tiku Where (tiku.nianji = '初一' ) Group By tiku.kemu");
    EXPECT_EQ(lessonQuestionsOfType("G", "S", "C", "选择题"),
              "Select tiku.* From tiku Where (tiku.nianji = 'G' ) And (tiku.kemu = 'S' ) And "
              "(tiku.kecheng = 'C' )  And (tiku.tixing = '选择题' )");
    EXPECT_EQ(treeLessons(TreeWindow::Export, "G", "S"),
              "Select tiku.nianji,tiku.kemu,tiku.kecheng From tiku Where (tiku.nianji = 'G' ) "
              "And (tiku.kemu = 'S' )  Group By tiku.kecheng,tiku.nianji,tiku.kemu");
    EXPECT_EQ(treeLessons(TreeWindow::Study, "G", "S"),
              "Select tiku.nianji,tiku.kemu,tiku.kecheng From tiku Where (tiku.nianji = 'G' ) "
              "And (tiku.kemu = 'S' ) Group By tiku.kecheng,tiku.nianji,tiku.kemu");
    EXPECT_EQ(treeLessons(TreeWindow::Drill, "G", "S"),
              "Select tiku.kecheng From tiku Where (tiku.nianji = 'G' And tiku.kemu = 'S' And "
              "tiku.zhuangtai =1)  Group By tiku.kecheng");
    EXPECT_EQ(treeGrades(TreeWindow::Test), "Select tiku.nianji From tiku  Group By tiku.nianji");
    EXPECT_EQ(testLesson("G", "S", "C"),
              "Select tiku.* From tiku Where (tiku.nianji = 'G' ) And (tiku.kemu = 'S' ) And "
              "(tiku.kecheng = 'C')");
    EXPECT_EQ(drillLesson("G", "S", "C"), testLesson("G", "S", "C") + " And (tiku.zhuangtai=1)");
    EXPECT_EQ(wholeBank(), "Select tiku.* From tiku ");
}

TEST(SqlTexts, EveryTextParsesAndRunsWithAnyValue) {
    Bank db;
    db.add("初 一", "数学", "第1课", 1, "中国", "选择题");
    db.add("初'一", "数'学", "第'1课", 1, "中'国", "选择题");
    db.add("初'一", "数'学", "第'1课", 0, "其他", "填空题");
    for (std::string v : {"初 一", "初'一"}) {
        std::string s = v == "初 一" ? "数学" : "数'学";
        std::string c = v == "初 一" ? "第1课" : "第'1课";
        for (auto w :
             {TreeWindow::Export, TreeWindow::Study, TreeWindow::Test, TreeWindow::Drill}) {
            auto g = ::sql::execute(db, treeGrades(w));
            EXPECT_EQ(g.rows.size(), 2u);
            auto sub = ::sql::execute(db, treeSubjects(w, v));
            ASSERT_EQ(sub.rows.size(), 1u);
            EXPECT_EQ(std::get<std::string>(sub.rows[0][treeSubjectColumn(w)]), s);
            auto les = ::sql::execute(db, treeLessons(w, v, s));
            ASSERT_EQ(les.rows.size(), 1u);
            EXPECT_EQ(std::get<std::string>(les.rows[0][treeLessonColumn(w)]), c);
        }
        std::size_t n = v == "初 一" ? 1 : 2;
        EXPECT_EQ(::sql::execute(db, lessonQuestions(v, s, c)).rows.size(), n);
        EXPECT_EQ(::sql::execute(db, exportGrade(v)).rows.size(), n);
        EXPECT_EQ(::sql::execute(db, exportSubject(v, s)).rows.size(), n);
        EXPECT_EQ(::sql::execute(db, testLesson(v, s, c)).rows.size(), n);
        EXPECT_EQ(::sql::execute(db, drillLesson(v, s, c)).rows.size(), 1u);
        EXPECT_EQ(::sql::execute(db, lessonQuestionsOfType(v, s, c, "选择题")).rows.size(), 1u);
        EXPECT_EQ(::sql::execute(db, subjectsOfGrade(v)).rows.size(), 1u);
        EXPECT_EQ(::sql::execute(db, lessonsOfSubject(v, s)).rows.size(), 1u);
    }
    EXPECT_EQ(::sql::execute(db, keywordSearch("'")).rowIds, (std::vector<std::uint64_t>{2}));
    EXPECT_EQ(::sql::execute(db, keywordSearch("中")).rows.size(), 2u);
    EXPECT_EQ(::sql::execute(db, wholeBank()).rows.size(), 3u);
    EXPECT_EQ(::sql::execute(db, allQuestions()).rows.size(), 3u);
    EXPECT_EQ(::sql::execute(db, testRecords()).columns.size(), 7u);
    EXPECT_EQ(::sql::execute(db, testRecordsForClearing()).columns.size(), 7u);
    EXPECT_EQ(::sql::execute(db, background()).columns.size(), 1u);
}
