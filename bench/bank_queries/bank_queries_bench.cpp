// The queries a user waits for, over a generated bank of 100,000 questions, each against one
// plain full scan of tiku in the same run: the study tree (one grouped query per level and
// parent), a lesson, and a keyword search.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "bench/bankgen/bankgen.h"
#include "dao/dao.h"
#include "sql_texts.h"

using bankgen::seconds;

int main(int argc, char** argv) {
    std::size_t count = argc > 1 ? std::stoul(argv[1]) : 100000;
    auto path = std::filesystem::temp_directory_path() /
                ("bank_queries_" + std::to_string(::getpid()) + ".mdb");
    bankgen::writeBank(path, count);

    dao::Workspace ws;
    auto db = ws.OpenDatabase(path);
    std::size_t seen = 0;
    double scan = seconds([&] {
        auto s = db.engine().scan("tiku");
        while (s.next()) ++seen;
    });

    std::size_t nodes = 0;
    std::string firstGrade, firstSubject, firstLesson;
    double tree = seconds([&] {
        using bank::sql::TreeWindow;
        auto grades = db.OpenRecordset(bank::sql::treeGrades(TreeWindow::Study));
        for (; !grades.Eof(); grades.MoveNext()) {
            auto g = grades.Fields(0).text();
            ++nodes;
            auto subjects = db.OpenRecordset(bank::sql::treeSubjects(TreeWindow::Study, g));
            for (; !subjects.Eof(); subjects.MoveNext()) {
                auto s = subjects.Fields(bank::sql::treeSubjectColumn(TreeWindow::Study)).text();
                ++nodes;
                auto lessons = db.OpenRecordset(bank::sql::treeLessons(TreeWindow::Study, g, s));
                for (; !lessons.Eof(); lessons.MoveNext()) {
                    ++nodes;
                    if (firstLesson.empty()) {
                        firstGrade = g;
                        firstSubject = s;
                        firstLesson =
                            lessons.Fields(bank::sql::treeLessonColumn(TreeWindow::Study)).text();
                    }
                }
            }
        }
    });

    long lessonRows = 0;
    double lesson = seconds([&] {
        auto rs =
            db.OpenRecordset(bank::sql::lessonQuestions(firstGrade, firstSubject, firstLesson));
        for (; !rs.Eof(); rs.MoveNext()) {
            for (std::size_t i = 0; i < rs.fieldCount(); ++i) rs.Fields(i).value();
            ++lessonRows;
        }
    });

    long found = 0;
    double keyword = seconds([&] {
        auto rs = db.OpenRecordset(bank::sql::keywordSearch("学"));
        for (; !rs.Eof(); rs.MoveNext()) {
            for (std::size_t i = 0; i < rs.fieldCount(); ++i) rs.Fields(i).value();
            ++found;
        }
    });

    std::printf("bank of %zu questions (%zu rows scanned)\n", count, seen);
    std::printf("full scan of tiku:      %8.1f ms\n", scan * 1000);
    std::printf("study tree (%zu nodes): %8.1f ms  (%.2f x the scan)\n", nodes, tree * 1000,
                tree / scan);
    std::printf("one lesson (%ld rows):  %8.1f ms  (%.2f x the scan)\n", lessonRows, lesson * 1000,
                lesson / scan);
    std::printf("keyword search (%ld):   %8.1f ms  (%.2f x the scan)\n", found, keyword * 1000,
                keyword / scan);
    db.Close();
    ws.Close();
    std::filesystem::remove(path);
}
