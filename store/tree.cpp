#include "tree.h"

#include <exception>

#include "dao/dao.h"

namespace bank {

namespace {

// The level's running number as the number-to-text conversion writes it: its sign place is
// a blank for a positive number.
std::string key(const char* word, int counter) { return word + (" " + std::to_string(counter)); }

std::string columnText(const std::vector<jet::Value>& row, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.size()) return {};
    return dao::toText(row[static_cast<std::size_t>(column)]);
}

// The export and study trees go on past a level that cannot be read; the test and drill
// trees stop at it and let the window see the failure.
bool skipsFailures(TreeWindow w) { return w == TreeWindow::Export || w == TreeWindow::Study; }

}  // namespace

TreeLook treeLook(TreeWindow w) {
    switch (w) {
        case TreeWindow::Export:
            return {{"bbb.ico", "ccc.ico", "ddd.ico"}, {1, 2, 3}, 10, 1};
        case TreeWindow::Study:
            return {{"bbb.ico", "ccc.ico", "aaa.ico"}, {1, 2, 3}, 10, 1};
        case TreeWindow::Test:
        case TreeWindow::Drill:
            break;
    }
    return {{"bbb.ico", "ccc.ico", "aaa.ico"}, {1, 1, 1}, 20, 1};
}

std::vector<TreeNode> buildTree(TreeWindow w, const TreeQuery& run) {
    const TreeLook look = treeLook(w);
    const int subjectColumn = sql::treeSubjectColumn(w);
    const int lessonColumn = sql::treeLessonColumn(w);
    const bool tolerant = skipsFailures(w);

    auto inner = [&](const std::string& text) -> ::sql::Result {
        if (!tolerant) return run(text);
        try {
            return run(text);
        } catch (const std::exception&) {
            return {};
        }
    };

    std::vector<TreeNode> nodes;
    int gradeCounter = 1, subjectCounter = 1, lessonCounter = 1;
    const ::sql::Result grades = run(sql::treeGrades(w));
    for (const auto& gradeRow : grades.rows) {
        TreeNode grade;
        grade.key = key("年级", gradeCounter);
        grade.text = columnText(gradeRow, 0);
        grade.level = TreeLevel::Grade;
        grade.image = look.images[0];
        grade.grade = grade.text;
        nodes.push_back(grade);

        const ::sql::Result subjects = inner(sql::treeSubjects(w, grade.text));
        for (const auto& subjectRow : subjects.rows) {
            TreeNode subject;
            subject.key = key("科目", subjectCounter);
            subject.parentKey = grade.key;
            subject.text = columnText(subjectRow, subjectColumn);
            subject.level = TreeLevel::Subject;
            subject.image = look.images[1];
            subject.grade = grade.text;
            subject.subject = subject.text;
            nodes.push_back(subject);

            const ::sql::Result lessons = inner(sql::treeLessons(w, grade.text, subject.text));
            for (const auto& lessonRow : lessons.rows) {
                TreeNode lesson;
                lesson.key = key("科程", lessonCounter);
                lesson.parentKey = subject.key;
                lesson.text = columnText(lessonRow, lessonColumn);
                lesson.level = TreeLevel::Lesson;
                lesson.image = look.images[2];
                lesson.grade = grade.text;
                lesson.subject = subject.text;
                lesson.lesson = lesson.text;
                nodes.push_back(lesson);
                ++lessonCounter;
            }
            ++subjectCounter;
        }
        ++gradeCounter;
    }
    return nodes;
}

std::string treeClickQuery(TreeWindow w, TreeLevel level, const std::string& grade,
                           const std::string& subject, const std::string& lesson) {
    if (w == TreeWindow::Export) {
        switch (level) {
            case TreeLevel::Grade:
                return sql::exportGrade(grade);
            case TreeLevel::Subject:
                return sql::exportSubject(grade, subject);
            case TreeLevel::Lesson:
                return sql::exportLesson(grade, subject, lesson);
        }
    }
    if (level != TreeLevel::Lesson) return {};
    switch (w) {
        case TreeWindow::Study:
            return sql::lessonQuestions(grade, subject, lesson);
        case TreeWindow::Test:
            return sql::testLesson(grade, subject, lesson);
        case TreeWindow::Drill:
            return sql::drillLesson(grade, subject, lesson);
        case TreeWindow::Export:
            break;
    }
    return {};
}

}  // namespace bank
