// The SQL texts the windows send to the question bank, as functions of their values. Every
// value goes through quoted(), which doubles each single quote so that a grade, lesson or
// keyword containing one still finds exactly its rows; values without quotes give the texts
// unchanged, blanks and all.
#pragma once

#include <string>
#include <string_view>

namespace bank::sql {

// A value between single quotes, each ' inside it doubled as Jet SQL expects.
std::string quoted(std::string_view value);

// The tree and list queries differ per window in blanks only; the engine sees the same meaning.
enum class TreeWindow { Export, Study, Test, Drill };

std::string allGrades();                                               // entry lists, export, study
std::string subjectsOfGrade(std::string_view g);                       // entry lists
std::string lessonsOfSubject(std::string_view g, std::string_view s);  // entry lists
std::string lessonQuestions(std::string_view g, std::string_view s, std::string_view c);
std::string lessonQuestionsOfType(std::string_view g, std::string_view s, std::string_view c,
                                  std::string_view t);
std::string wholeBank();  // with its trailing blank
std::string keywordSearch(std::string_view k);
std::string testRecords();
std::string testRecordsForClearing();
std::string background();
std::string allQuestions();  // export target, import source and target

std::string treeGrades(TreeWindow w);
std::string treeSubjects(TreeWindow w, std::string_view g);
std::string treeLessons(TreeWindow w, std::string_view g, std::string_view s);
// Which column of a tree query's row holds the level's text.
int treeSubjectColumn(TreeWindow w);
int treeLessonColumn(TreeWindow w);

std::string exportGrade(std::string_view g);
std::string exportSubject(std::string_view g, std::string_view s);
std::string exportLesson(std::string_view g, std::string_view s, std::string_view c);
std::string testLesson(std::string_view g, std::string_view s, std::string_view c);
std::string drillLesson(std::string_view g, std::string_view s, std::string_view c);

}  // namespace bank::sql
