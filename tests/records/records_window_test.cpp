// The score records window on its real widgets, over a bank of the test's own: the listing of
// saved tests, the read-only grid, the clear behind the code with its copy, and failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "ChengjiWindow.h"
#include "DataGrid.h"
#include "MainWindow.h"
#include "answer_boxes.h"
#include "bank_path.h"
#include "exchange_test_util.h"
#include "message_box.h"
#include "oracle_util.h"
#include "window_registry.h"
#include "windows.h"

namespace {

using exchange_test::Row;
using mozhou::ChengjiWindow;
namespace fs = std::filesystem;

const QString kWrong = QStringLiteral("密码不对！");
const QStringList kHeaders{"nianji", "kemu", "kecheng", "riqi", "zhengque", "cuowu", "defen"};

jet::Value day(int y, int m, int d) {
    return jet::DateTime{double(QDate(1899, 12, 30).daysTo(QDate(y, m, d)))};
}
Row record(const char* grade, const char* subject, const char* lesson, jet::Value date,
           const char* right, const char* wrong, double score) {
    return {std::string(grade),
            std::string(subject),
            std::string(lesson),
            date,
            std::string(right),
            std::string(wrong),
            score};
}

// Appends a row the way a finished test is saved: a new row, fields by position.
void saveTest(const fs::path& bank, const Row& row) {
    dao::Workspace ws;
    dao::Database db = ws.OpenDatabase(bank);
    dao::Recordset rs = db.OpenRecordset("select*from chengji");
    rs.AddNew();
    for (std::size_t i = 0; i < row.size(); ++i) rs.Fields(i) = row[i];
    rs.Update();
}

std::vector<Row> tableRows(const fs::path& path, const char* table) {
    auto db = jet::Database::open(path, jet::PageFile::Mode::ReadOnly);
    std::vector<Row> rows;
    auto s = db->scan(table);
    while (s.next()) rows.push_back(s.values());
    return rows;
}

std::vector<jet::ColumnType> chengjiTypes() {
    std::vector<jet::ColumnType> types;
    for (const auto& c : jet::bank::chengjiSpec().columns) types.push_back(c.type);
    return types;
}

// chengji as each independent reader prints it, and what it should print for `rows`.
void expectOraclesSeeRecords(const fs::path& path, const std::vector<Row>& rows) {
    const auto types = chengjiTypes();
    auto reader = jet_test::run(std::string("node ") + MOZHOU_ORACLE_DIR + "/export.mjs rows " +
                                jet_test::shellQuote(path.string()) + " chengji");
    ASSERT_EQ(reader.status, 0) << "mdb-reader could not read " << path;
    std::vector<std::vector<std::string>> seen, expected;
    for (const auto& line : jet_test::splitLines(reader.out))
        seen.push_back(jet_test::canonicalJsonRow(line, types));
    for (const auto& r : rows) expected.push_back(jet_test::canonicalOurRow(r, types));
    EXPECT_EQ(seen, expected) << "mdb-reader on " << path;

    auto tools = jet_test::run("mdb-export -H -Q -T '%Y-%m-%d %H:%M:%S' -d '\x1f' " +
                               jet_test::shellQuote(path.string()) + " chengji");
    ASSERT_EQ(tools.status, 0) << "mdb-export could not read " << path;
    seen.clear();
    expected.clear();
    for (const auto& line : jet_test::splitLines(tools.out))
        if (!line.empty()) seen.push_back(jet_test::split(line, "\x1f"));
    for (const auto& r : rows) {
        std::vector<std::string> cells;
        for (std::size_t i = 0; i < r.size(); ++i)
            cells.push_back(jet_test::mdbtoolsText(r[i], types[i]));
        expected.push_back(cells);
    }
    EXPECT_EQ(seen, expected) << "mdbtools on " << path;
}

struct RecordsWindowTest : ::testing::Test, mozhou_test::AnswerBoxes {
    fs::path dir =
        exchange_test::scratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path bank = dir / "shujuku.mdb";
    fs::path backup = dir / "shujuku.mdb.bak";
    std::vector<Row> questions{exchange_test::question("初一", "数学", "方程", "x+1=2")};
    std::vector<Row> records{
        record("初一", "数学", "方程", day(2024, 9, 1), "2", "1", 66),
        record("初二", "英语", "O'Brien 语法", day(2025, 1, 15), "10", "0", 100),
        record("高一", "语文", "古诗", day(1999, 12, 31), "0", "3", 0)};
    QPointer<ChengjiWindow> window;

    void SetUp() override {
        exchange_test::makeBank(bank, questions);
        for (const auto& r : records) saveTest(bank, r);
        mozhou::setBankPath(bank);
    }
    void TearDown() override {
        delete window.data();
        mozhou::setBankPath({});
    }
    void open() {
        window = new ChengjiWindow;
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    template <typename W>
    W* get(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    mozhou::DataGrid* grid() { return get<mozhou::DataGrid>("DBGrid1"); }
    void clear(std::optional<QString> answer) {
        answers = {answer};
        QTest::mouseClick(get<QPushButton>("Command1"), Qt::LeftButton);
    }
    QStringList headers() {
        QStringList out;
        for (int c = 0; c < grid()->model()->columnCount(); ++c)
            out << grid()->model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    std::vector<int> widths() {
        std::vector<int> out;
        for (int c = 0; c < grid()->model()->columnCount(); ++c)
            out.push_back(grid()->columnWidth(c));
        return out;
    }
    QStringList gridRow(int row) {
        QStringList out;
        for (int c = 0; c < grid()->model()->columnCount(); ++c) out << grid()->cellText(row, c);
        return out;
    }
    std::vector<QStringList> gridRows() {
        std::vector<QStringList> out;
        for (int r = 0; r < grid()->dataRowCount(); ++r) out.push_back(gridRow(r));
        return out;
    }
};

const std::vector<int> kWidths{80, 40, 120, 93, 40, 40, 40};  // the twips widths in pixels

TEST_F(RecordsWindowTest, ListsTheSavedTestsInPlaceWithDatesAsDates) {
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("成绩记录"));
    EXPECT_EQ(window->size(), QSize(592, 513));
    EXPECT_FALSE(window->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(grid()->geometry(), QRect(16, 16, 489, 441));
    EXPECT_EQ(get<QPushButton>("Command1")->text(), QStringLiteral("数据清空"));
    EXPECT_EQ(get<QPushButton>("Command1")->geometry(), QRect(288, 464, 113, 25));
    EXPECT_EQ(get<QPushButton>("Command2")->text(), QStringLiteral("离开"));
    EXPECT_EQ(get<QPushButton>("Command2")->geometry(), QRect(416, 464, 73, 25));
    EXPECT_DOUBLE_EQ(grid()->font().pointSizeF(), 10.5);
    EXPECT_DOUBLE_EQ(grid()->horizontalHeader()->font().pointSizeF(), 14.25);
    EXPECT_GE(grid()->rowHeight(0), grid()->fontMetrics().height());  // cells not cut off

    EXPECT_EQ(headers(), kHeaders);
    EXPECT_EQ(widths(), kWidths);
    const std::vector<QStringList> expected{
        {QStringLiteral("初一"), QStringLiteral("数学"), QStringLiteral("方程"), "2024-09-01", "2",
         "1", "66"},
        {QStringLiteral("初二"), QStringLiteral("英语"), QStringLiteral("O'Brien 语法"),
         "2025-01-15", "10", "0", "100"},
        {QStringLiteral("高一"), QStringLiteral("语文"), QStringLiteral("古诗"), "1999-12-31", "0",
         "3", "0"}};
    EXPECT_EQ(gridRows(), expected);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // Tab order: 数据清空, the grid, 离开.
    EXPECT_EQ(QApplication::focusWidget(), get<QWidget>("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), grid());
    QTest::keyClick(grid(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), get<QWidget>("Command2"));
}

TEST_F(RecordsWindowTest, TheGridRefusesChangesAndArrowsMove) {
    open();
    EXPECT_FALSE(grid()->AllowAddNew() || grid()->AllowDelete() || grid()->AllowUpdate());
    EXPECT_TRUE(grid()->AllowArrows());
    EXPECT_EQ(grid()->model()->rowCount(), 3);  // no empty row for appending
    for (int c = 0; c < 7; ++c)
        EXPECT_FALSE(grid()->model()->flags(grid()->model()->index(0, c)) & Qt::ItemIsEditable);

    // Typing, a double click and Delete on a selected row change nothing.
    const QModelIndex cell = grid()->model()->index(0, 2);
    const QPoint at = grid()->visualRect(cell).center();
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::keyClicks(grid(), "99");
    QTest::keyClick(grid(), Qt::Key_Return);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(QApplication::focusWidget(), grid());  // no cell editor took the focus
    grid()->selectRow(1);
    QTest::keyClick(grid(), Qt::Key_Delete);
    EXPECT_EQ(tableRows(bank, "chengji"), records);
    EXPECT_EQ(grid()->dataRowCount(), 3);
    EXPECT_EQ(grid()->cellText(0, 2), QStringLiteral("方程"));

    grid()->setCurrentIndex(grid()->model()->index(0, 0));
    QTest::keyClick(grid(), Qt::Key_Down);
    QTest::keyClick(grid(), Qt::Key_Right);
    EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, 1));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

TEST_F(RecordsWindowTest, AnyOtherTextThanTheCodeDeletesNothingButRefreshes) {
    open();
    // A test saved while the window is open shows after the next attempt, right or wrong.
    const Row later = record("初一", "数学", "方程", day(2026, 3, 8), "3", "0", 100);
    saveTest(bank, later);
    EXPECT_EQ(grid()->dataRowCount(), 3);
    const std::vector<std::optional<QString>> tries{
        QString("123456"), std::nullopt,       QString(" 583904"),     QString("583904 "),
        QString("58390"),  QString("5839040"), QString("５８３９０４")};
    for (const auto& t : tries) clear(t);
    EXPECT_EQ(messages, QStringList(int(tries.size()), kWrong));
    records.push_back(later);
    EXPECT_EQ(tableRows(bank, "chengji"), records);
    EXPECT_EQ(grid()->dataRowCount(), 4);
    EXPECT_EQ(grid()->cellText(3, 3), "2026-03-08");
    EXPECT_EQ(widths(), kWidths);  // kept over the refreshes
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(RecordsWindowTest, TheCodeEmptiesChengjiOnlyAfterKeepingACopy) {
    exchange_test::makeBank(backup, {});  // an older copy, to be replaced
    open();
    clear(QString("583904"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(grid()->dataRowCount(), 0);
    EXPECT_EQ(headers(), kHeaders);
    EXPECT_TRUE(tableRows(bank, "chengji").empty());
    expectOraclesSeeRecords(bank, {});
    // The questions are not touched.
    EXPECT_EQ(exchange_test::ourRows(bank), questions);
    exchange_test::expectOraclesSee(bank, questions);
    // The copy is the bank as it was, readable by others too; no temporary file is left.
    EXPECT_EQ(tableRows(backup, "chengji"), records);
    expectOraclesSeeRecords(backup, records);
    EXPECT_EQ(exchange_test::ourRows(backup), questions);
    for (const auto& f : fs::directory_iterator(dir))
        EXPECT_TRUE(f.path() == bank || f.path() == backup) << f.path();

    // Clearing the empty table again deletes nothing, says nothing and keeps the copy of the
    // rows; a test saved afterwards lists and can be cleared in turn.
    clear(QString("583904"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(tableRows(backup, "chengji"), records);
    saveTest(bank, records[0]);
    clear(QString("583904"));
    EXPECT_TRUE(tableRows(bank, "chengji").empty());
    EXPECT_EQ(tableRows(backup, "chengji"), std::vector<Row>{records[0]});
    EXPECT_EQ(widths(), kWidths);
}

TEST_F(RecordsWindowTest, AClearThatCannotBeDoneDeletesNothingAndSaysSo) {
    open();
    // No room for the copy: a folder stands where it would go.
    fs::create_directories(backup / "x");
    clear(QString("583904"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("成绩记录没有清空")))
        << messages[0].toStdString();
    EXPECT_EQ(tableRows(bank, "chengji"), records);
    EXPECT_EQ(grid()->dataRowCount(), 3);
    fs::remove_all(backup);

    // A journal of an unfinished change beside the bank: its pages may be half changed.
    std::ofstream(jet::PageFile::journalPath(bank).string()) << "x";
    clear(QString("583904"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(QStringLiteral("成绩记录没有清空")))
        << messages[1].toStdString();
    EXPECT_FALSE(fs::exists(backup));
    fs::remove(jet::PageFile::journalPath(bank));
    delete window.data();
    EXPECT_EQ(tableRows(bank, "chengji"), records);

    // A bank the user may not change: listed, but not cleared.
    const bool root = ::geteuid() == 0;
    if (root ? std::system(("chattr +i " + jet_test::shellQuote(bank.string())).c_str()) != 0
             : ::chmod(bank.c_str(), 0444) != 0)
        GTEST_SKIP() << "cannot make the bank read-only here";
    open();
    clear(QString("583904"));
    if (root) std::system(("chattr -i " + jet_test::shellQuote(bank.string())).c_str());
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[2].contains(QStringLiteral("只读"))) << messages[2].toStdString();
    EXPECT_EQ(grid()->dataRowCount(), 3);
    delete window.data();
    EXPECT_EQ(tableRows(bank, "chengji"), records);
}

TEST_F(RecordsWindowTest, ABankThatCannotBeOpenedGivesAMessageAndAnEmptyGrid) {
    // Another program is changing the bank: it holds the write lock.
    {
        const int fd = ::open(bank.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &fl), 0);
        open();
        EXPECT_EQ(messages.size(), 1);
        EXPECT_EQ(grid()->model()->rowCount(), 0);
        clear(QString("583904"));
        ::close(fd);
    }
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[1].contains(QStringLiteral("没有清空"))) << messages[1].toStdString();
    delete window.data();
    EXPECT_EQ(tableRows(bank, "chengji"), records);
    EXPECT_FALSE(fs::exists(backup));

    // A file without chengji, and no file at all.
    messages.clear();
    exchange_test::makeBank(bank, questions, /*onlyTiku=*/true);
    open();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    delete window.data();
    fs::remove(bank);
    open();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("shujuku.mdb")) << messages[1].toStdString();
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    clear(QString("583904"));
    EXPECT_EQ(messages.size(), 4);  // not cleared; the refresh says again what is wrong
    EXPECT_FALSE(fs::exists(bank));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(RecordsWindowTest, OpenedOnceFromTheMainWindowAndLeft) {
    mozhou::registerWindows();
    mozhou::MainWindow main;
    main.show();
    main.findChild<QAction*>("ctjl")->trigger();
    auto* opened = qobject_cast<ChengjiWindow*>(mozhou::WindowRegistry::instance().find("chengji"));
    ASSERT_NE(opened, nullptr);
    main.findChild<QAction*>("ctjl")->trigger();
    EXPECT_EQ(mozhou::WindowRegistry::instance().find("chengji"), opened);
    window = opened;
    EXPECT_EQ(grid()->dataRowCount(), 3);
    QTest::mouseClick(get<QPushButton>("Command2"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(tableRows(bank, "chengji"), records);
}

}  // namespace
