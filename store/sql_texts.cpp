#include "sql_texts.h"

namespace bank::sql {

std::string quoted(std::string_view value) {
    std::string r = "'";
    for (char ch : value) {
        r += ch;
        if (ch == '\'') r += '\'';
    }
    return r + "'";
}

namespace {
const std::string kNj = "Select tiku.* From tiku Where (tiku.nianji = ";
std::string gsPrefix(std::string_view g, std::string_view s) {
    return kNj + quoted(g) + " ) And (tiku.kemu = " + quoted(s) + " )";
}
}  // namespace

std::string allGrades() { return "Select tiku.nianji From tiku Group By tiku.nianji"; }
std::string subjectsOfGrade(std::string_view g) {
    return "Select tiku.kemu From tiku Where (tiku.nianji = " + quoted(g) + " ) Group By tiku.kemu";
}
std::string lessonsOfSubject(std::string_view g, std::string_view s) {
    return "Select tiku.kecheng From tiku Where (tiku.nianji = " + quoted(g) +
           " ) And (tiku.kemu = " + quoted(s) + " ) Group By tiku.kecheng";
}
std::string lessonQuestions(std::string_view g, std::string_view s, std::string_view c) {
    return gsPrefix(g, s) + " And (tiku.kecheng = " + quoted(c) + " )";
}
std::string lessonQuestionsOfType(std::string_view g, std::string_view s, std::string_view c,
                                  std::string_view t) {
    return lessonQuestions(g, s, c) + "  And (tiku.tixing = " + quoted(t) + " )";
}
std::string wholeBank() { return "Select tiku.* From tiku "; }
std::string keywordSearch(std::string_view k) {
    // The keyword keeps any wildcard of its own; only its quotes are doubled.
    std::string q = quoted(k);
    return "Select tiku.* From tiku Where (tiku.yuanti Like '*" + q.substr(1, q.size() - 2) + "*')";
}
std::string testRecords() { return "select*from chengji"; }
std::string testRecordsForClearing() { return "Select chengji.* From chengji"; }
std::string background() { return "select * from back"; }
std::string allQuestions() { return "Select tiku.* From tiku"; }

std::string treeGrades(TreeWindow w) {
    switch (w) {
        case TreeWindow::Test:
            return "Select tiku.nianji From tiku  Group By tiku.nianji";
        case TreeWindow::Drill:
            return "Select tiku.nianji From tiku Where (tiku.zhuangtai = 1 ) Group By tiku.nianji";
        default:
            return allGrades();
    }
}
std::string treeSubjects(TreeWindow w, std::string_view g) {
    switch (w) {
        case TreeWindow::Test:
            return "Select tiku.kemu From tiku Where (tiku.nianji = " + quoted(g) +
                   ") Group By tiku.kemu";
        case TreeWindow::Drill:
            return "Select tiku.kemu From tiku Where (tiku.nianji = " + quoted(g) +
                   " And tiku.zhuangtai = 1) Group By tiku.kemu";
        default:
            return "Select tiku.nianji,tiku.kemu From tiku Where (tiku.nianji = " + quoted(g) +
                   " ) Group By tiku.nianji,tiku.kemu";
    }
}
std::string treeLessons(TreeWindow w, std::string_view g, std::string_view s) {
    switch (w) {
        case TreeWindow::Test:
            return "Select tiku.kecheng From tiku Where (tiku.nianji = " + quoted(g) +
                   " And tiku.kemu = " + quoted(s) + ") Group By tiku.kecheng";
        case TreeWindow::Drill:
            return "Select tiku.kecheng From tiku Where (tiku.nianji = " + quoted(g) +
                   " And tiku.kemu = " + quoted(s) +
                   " And tiku.zhuangtai =1)  Group By tiku.kecheng";
        default: {
            std::string gap = w == TreeWindow::Export ? "  " : " ";
            return "Select tiku.nianji,tiku.kemu,tiku.kecheng From tiku Where (tiku.nianji = " +
                   quoted(g) + " ) And (tiku.kemu = " + quoted(s) + " )" + gap +
                   "Group By tiku.kecheng,tiku.nianji,tiku.kemu";
        }
    }
}
int treeSubjectColumn(TreeWindow w) {
    return w == TreeWindow::Export || w == TreeWindow::Study ? 1 : 0;
}
int treeLessonColumn(TreeWindow w) {
    return w == TreeWindow::Export || w == TreeWindow::Study ? 2 : 0;
}

std::string exportGrade(std::string_view g) { return kNj + quoted(g) + " )"; }
std::string exportSubject(std::string_view g, std::string_view s) { return gsPrefix(g, s); }
std::string exportLesson(std::string_view g, std::string_view s, std::string_view c) {
    return lessonQuestions(g, s, c);
}
std::string testLesson(std::string_view g, std::string_view s, std::string_view c) {
    return gsPrefix(g, s) + " And (tiku.kecheng = " + quoted(c) + ")";
}
std::string drillLesson(std::string_view g, std::string_view s, std::string_view c) {
    return testLesson(g, s, c) + " And (tiku.zhuangtai=1)";
}

}  // namespace bank::sql
