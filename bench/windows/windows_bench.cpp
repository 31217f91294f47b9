// The windows a user waits for, driven offscreen as the user drives them, over two generated
// banks of 100,000 questions: one of realistic lessons (one of them 12,000 questions), and one
// whose questions are all one lesson. Each action is timed from the click until the window has
// painted its answer; the median of several runs is printed, then the program's resident memory
// after the widest search and at its peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "ChengjiWindow.h"
#include "CheshiWindow.h"
#include "ShujudaochuWindow.h"
#include "ShujudaoruWindow.h"
#include "ShujuluruWindow.h"
#include "XuexiWindow.h"
#include "bank_path.h"
#include "bench/bankgen/bankgen.h"
#include "lesson_records.h"
#include "message_box.h"
#include "store/bank_backup.h"
#include "store/bank_tables.h"
#include "tests/platform/tree_click.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 5;
constexpr double kTargetMs = 100;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Lets the window lay out and paint what the action changed.
void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

double peakMb() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1e3;
}

// The median of kRuns runs of `action`, each after `prepare` (not timed).
double medianMs(const std::function<void()>& prepare, const std::function<void()>& action) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        prepare();
        const double t0 = now();
        action();
        settle();
        times.push_back((now() - t0) * 1000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int over = 0;
void countAsFault(const QString& m) {
    std::printf("  message: %s\n", m.toUtf8().constData());
    ++over;
}

void report(const char* what, double ms) {
    std::printf("  %-46s %8.1f ms%s\n", what, ms, ms > kTargetMs ? "  (over 100 ms)" : "");
    if (ms > kTargetMs) ++over;
}

QTreeWidgetItem* findLesson(QTreeWidget* tree, const QString& lesson) {
    for (auto* item : tree->findItems(lesson, Qt::MatchExactly | Qt::MatchRecursive))
        if (item->parent() && item->parent()->parent()) return item;
    return nullptr;
}

template <class T>
T* named(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

template <class Window, class... Args>
void timeOpening(const char* what, Args... args) {
    std::unique_ptr<Window> w;
    report(what, medianMs([&] { w.reset(); },
                          [&] {
                              w = std::make_unique<Window>(args...);
                              w->show();
                          }));
}

void studyWindow(const QString& largestLesson) {
    timeOpening<mozhou::XuexiWindow>("open the study window (tree built)");
    mozhou::XuexiWindow w;
    w.show();
    settle();
    auto* tree = named<QTreeWidget>(&w, "TreeView1");
    QTreeWidgetItem* lesson = findLesson(tree, largestLesson);
    if (!lesson) {
        std::printf("  no lesson %s in the tree\n", largestLesson.toUtf8().constData());
        ++over;
        return;
    }
    for (auto* p = lesson->parent(); p; p = p->parent()) p->setExpanded(true);
    settle();
    report("choose the largest lesson",
           medianMs([] {}, [&] { mozhou_test::clickTreeItem(tree, lesson); }));

    auto* keyword = named<QLineEdit>(&w, "Text1");
    auto* search = named<QPushButton>(&w, "Command1");
    for (const char* k : {"中国", "学", "*"}) {
        const std::string what = std::string("search \"") + k + "\"";
        report(what.c_str(), medianMs([&] { keyword->setText(QString::fromUtf8(k)); },
                                      [&] { QTest::mouseClick(search, Qt::LeftButton); }));
    }
    std::printf("  resident after the widest search: %.0f MB\n", residentMb());
}

// Answers the question on show, right or wrong as it falls.
void answerShown(QWidget* w) {
    auto* option = named<QRadioButton>(w, "Option1(1)");
    if (option->isEnabled()) return QTest::mouseClick(option, Qt::LeftButton);
    named<QLineEdit>(w, "Text1")->setText(QStringLiteral("答"));
    QTest::mouseClick(named<QPushButton>(w, "Command1"), Qt::LeftButton);
}

// The number of questions of the test under way ("共N 题").
int testSize(QWidget* w) {
    return named<QLabel>(w, "Label8")
        ->text()
        .remove(QStringLiteral("共"))
        .section(' ', 0, 0)
        .toInt();
}

void testWindow(const QString& largestLesson) {
    mozhou::CheshiWindow w(mozhou::CheshiWindow::Mode::Test);
    w.show();
    settle();
    auto* tree = named<QTreeWidget>(&w, "TreeView1");
    QTreeWidgetItem* lesson = findLesson(tree, largestLesson);
    if (!lesson) return;
    report("test: start the largest lesson",
           medianMs([] {}, [&] { mozhou_test::clickTreeItem(tree, lesson); }));
    report("test: answer a question", medianMs([] {}, [&] { answerShown(&w); }));

    // A whole test of a lesson of at most 200 questions, then its score saved.
    std::vector<QTreeWidgetItem*> small;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->parent()->parent() && small.size() < kRuns) {
            mozhou_test::clickTreeItem(tree, *it);
            if (testSize(&w) <= 200) small.push_back(*it);
        }
    if (small.size() < kRuns) return;  // a bank of one big lesson
    auto* save = named<QPushButton>(&w, "Command3");
    std::size_t next = 0;
    report("test: save the score", medianMs(
                                       [&] {
                                           mozhou_test::clickTreeItem(tree, small[next++]);
                                           for (int n = testSize(&w) + 1;
                                                n > 0 && !save->isEnabled(); --n)
                                               answerShown(&w);
                                       },
                                       [&] { QTest::mouseClick(save, Qt::LeftButton); }));
}

// The entry window's lists filled as the user picks grade and subject, then the lesson chosen:
// its questions fill the grid.
void entryWindow(const QString& largestLesson) {
    timeOpening<mozhou::ShujuluruWindow>("open the entry window");
    mozhou::ShujuluruWindow w;
    w.show();
    settle();
    named<QComboBox>(&w, "Combo1")->setEditText(QStringLiteral("初一"));
    named<QComboBox>(&w, "Combo2")->setEditText(QStringLiteral("语文"));
    auto* lesson = named<QComboBox>(&w, "Combo3");
    lesson->addItem(largestLesson);
    lesson->setCurrentIndex(lesson->count() - 1);
    report("entry: choose the largest lesson (grid)",
           medianMs([] {}, [&] { emit lesson->activated(lesson->currentIndex()); }));
}

void otherWindows(const fs::path& bank) {
    timeOpening<mozhou::CheshiWindow>("open the test window (tree built)",
                                      mozhou::CheshiWindow::Mode::Test);
    timeOpening<mozhou::CheshiWindow>("open the drill window (tree built)",
                                      mozhou::CheshiWindow::Mode::Drill);
    timeOpening<mozhou::ShujudaochuWindow>("open the export window (tree built)");
    timeOpening<mozhou::ShujudaoruWindow>("open the import window");
    timeOpening<mozhou::ChengjiWindow>("open the score records");

    // Clearing keeps a copy of the whole bank first, which is most of its time.
    mozhou::ChengjiWindow w;
    w.show();
    settle();
    mozhou::setAskTextHandler([] { return QString::fromLatin1(bank::kAccessCode); });
    mozhou::setMessageHandler([](const QString&) {});  // "成绩记录已清空…"
    const cheshi::ScoreRow score{
        std::string("初一"),
        std::string("语文"),
        "大课",
        std::chrono::year_month_day{std::chrono::year(2026) / std::chrono::December / 8},
        "9",
        "1",
        90};
    report("clear the score records (30 rows)",
           medianMs(
               [&] {
                   for (int i = 0; i < 30; ++i) cheshi::appendScore(bank, score);
               },
               [&] { QTest::mouseClick(named<QPushButton>(&w, "Command1"), Qt::LeftButton); }));
    mozhou::setAskTextHandler({});
    fs::remove_all(bank::backupFolder(bank));
    mozhou::setMessageHandler(countAsFault);
}

fs::path benchFolder() {
    const fs::path dir =
        fs::temp_directory_path() / ("windows_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// 100,000 generated questions; the first `lessonSize` of them made one lesson. Made by a child
// process, so that the memory of generating them is not counted as the windows'.
fs::path makeBank(std::size_t lessonSize, const std::string& lesson) {
    // A folder of its own: the import and export windows list the bank's folder, and the
    // temporary folder may hold thousands of others.
    const fs::path path = benchFolder() / (lessonSize == 100000 ? "one.mdb" : "real.mdb");
    const pid_t child = ::fork();
    if (child != 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return path;
    }
    auto tiku = bank::tikuSpec();
    tiku.rows = bankgen::generate(100000);
    for (std::size_t i = 0; i < lessonSize && i < tiku.rows.size(); ++i) {
        tiku.rows[i][0] = std::string("初一");
        tiku.rows[i][1] = std::string("语文");
        tiku.rows[i][2] = lesson;
    }
    jet::createDatabase(path, {tiku, bank::chengjiSpec(), bank::backSpec()});
    ::_exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A message box would wait for a click no one makes; count it as a fault instead.
    mozhou::setMessageHandler(countAsFault);

    const std::string big = "大课";
    for (const auto& [name, lessonSize] :
         {std::pair<const char*, std::size_t>{"realistic", 12000}, {"one lesson", 100000}}) {
        const fs::path path = makeBank(lessonSize, big);
        std::printf("bank of 100,000 questions, %s (largest lesson %zu), %.1f MB\n", name,
                    lessonSize, static_cast<double>(fs::file_size(path)) / 1e6);
        mozhou::setBankPath(path);
        studyWindow(QString::fromStdString(big));
        testWindow(QString::fromStdString(big));
        entryWindow(QString::fromStdString(big));
        otherWindows(path);
        mozhou::setBankPath({});
        fs::remove(path);
    }
    fs::remove_all(benchFolder());
    std::printf("peak resident: %.0f MB\n", peakMb());
    std::printf("%d actions over 100 ms or faulty\n", over);
    return 0;
}
