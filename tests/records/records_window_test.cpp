// The score records window on its real widgets, over a bank of the test's own: the listing of
// saved tests, the read-only grid, the clear behind the code with its copy, and failures.
#include <QDate>
#include <QHeaderView>

#include "ChengjiWindow.h"
#include "window_test.h"

namespace {

using exchange_test::Row;
using mozhou::ChengjiWindow;
using S = std::string;
namespace fs = std::filesystem;

jet::Value day(int y, int m, int d) {
    return jet::DateTime{double(QDate(1899, 12, 30).daysTo(QDate(y, m, d)))};
}

std::vector<Row> chengji(const fs::path& path) { return exchange_test::ourRows(path, "chengji"); }

struct RecordsWindowTest : mozhou_test::BankTest {
    fs::path backups = dir / "shujuku-备份";
    std::vector<Row> questions{exchange_test::question("初一", "数学", "方程", "x+1=2")};
    std::vector<Row> records{
        {S("初一"), S("数学"), S("方程"), day(2024, 9, 1), S("2"), S("1"), 66.0},
        {S("初二"), S("英语"), S("O'Brien 语法"), day(2025, 1, 15), S("10"), S("0"), 100.0},
        {S("高一"), S("语文"), S("古诗"), day(1999, 12, 31), S("0"), S("3"), 0.0}};
    QPointer<ChengjiWindow> window;

    void SetUp() override {
        useBank(questions);
        for (const auto& r : records) exchange_test::appendRow(bank, "select*from chengji", r);
    }
    void TearDown() override { delete window.data(); }
    void open() { window = mozhou_test::openWindow<ChengjiWindow>(); }
    QWidget* get(const char* name) { return mozhou_test::child(window, name); }
    mozhou::DataGrid* grid() { return mozhou_test::child<mozhou::DataGrid>(window, "DBGrid1"); }
    void clear(std::optional<QString> answer) {
        answers = {answer};
        QTest::mouseClick(get("Command1"), Qt::LeftButton);
    }
    // The columns' widths among the rest: a refresh must not lay the columns out anew.
    QByteArray widths() { return grid()->horizontalHeader()->saveState(); }
    QStringList cells() { return mozhou_test::gridRows(grid()); }
    void expectSaid(int count, const QString& part) {
        ASSERT_EQ(messages.size(), count) << messages.join("\n").toStdString();
        EXPECT_TRUE(messages.back().contains(part)) << messages.back().toStdString();
    }
};

// It lists the saved tests and refuses every change; only the exact code empties chengji, after
// a copy of the bank; "离开" closes it.
TEST_F(RecordsWindowTest, ListsRefusesChangesAndOnlyTheExactCodeEmptiesChengji) {
    open();
    const QByteArray opened = widths();
    // In the engine's order, dates as dates, scores as whole numbers.
    const QStringList shown{QStringLiteral("初一|数学|方程|2024-09-01|2|1|66"),
                            QStringLiteral("初二|英语|O'Brien 语法|2025-01-15|10|0|100"),
                            QStringLiteral("高一|语文|古诗|1999-12-31|0|3|0")};
    EXPECT_EQ(cells(), shown);

    // No row to append; typing, a double click and Delete change nothing; arrows move.
    EXPECT_EQ(grid()->model()->rowCount(), 3);
    const QPoint at = grid()->visualRect(grid()->model()->index(0, 2)).center();
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::keyClicks(grid(), "99");
    QTest::keyClick(grid(), Qt::Key_Return);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(QApplication::focusWidget(), grid());  // no cell editor took the focus
    grid()->selectRow(1);
    QTest::keyClick(grid(), Qt::Key_Delete);
    EXPECT_EQ(chengji(bank), records);
    EXPECT_EQ(cells(), shown);
    grid()->setCurrentIndex(grid()->model()->index(0, 0));
    QTest::keyClick(grid(), Qt::Key_Down);
    QTest::keyClick(grid(), Qt::Key_Right);
    EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, 1));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // Anything else deletes nothing, but refreshes: a test saved meanwhile shows.
    records.push_back({S("初一"), S("数学"), S("方程"), day(2026, 3, 8), S("3"), S("0"), 100.0});
    exchange_test::appendRow(bank, "select*from chengji", records.back());
    const std::vector<std::optional<QString>> tries{
        std::nullopt, QString("583904 "), QString("58390"), QStringLiteral("５８３９０４")};
    for (const auto& t : tries) clear(t);
    EXPECT_EQ(messages, QStringList(int(tries.size()), QStringLiteral("密码不对！")));
    EXPECT_EQ(chengji(bank), records);
    EXPECT_EQ(grid()->dataRowCount(), 4);
    EXPECT_EQ(widths(), opened);  // kept over the refreshes
    EXPECT_FALSE(fs::exists(backups));

    // The code: every row goes, the questions stay, and the copy is the bank as it was.
    messages.clear();
    clear(QString("583904"));
    const auto copies = exchange_test::backupsOf(bank);
    ASSERT_EQ(copies.size(), 1u);
    const fs::path backup = copies[0];
    EXPECT_EQ(messages, QStringList() << QStringLiteral("成绩记录已清空。清空前的题库备份在 %1。")
                                             .arg(QString::fromStdString(backup.string())));
    EXPECT_EQ(grid()->dataRowCount(), 0);
    EXPECT_TRUE(chengji(bank).empty());
    EXPECT_TRUE(exchange_test::mdbtoolsLines(bank, "chengji").empty());
    exchange_test::expectOraclesSee(bank, questions);
    EXPECT_EQ(chengji(backup), records);
    EXPECT_EQ(exchange_test::ourRows(backup), questions);
    for (const auto& f : fs::directory_iterator(dir))  // no temporary copy left
        EXPECT_TRUE(f.path() == bank || f.path() == backups) << f.path();

    // Clearing the empty table says nothing and keeps the copy of the rows.
    messages.clear();
    clear(QString("583904"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(exchange_test::backupsOf(bank), copies);
    EXPECT_EQ(widths(), opened);

    QTest::mouseClick(get("Command2"), Qt::LeftButton);
    mozhou_test::settle();
    EXPECT_TRUE(window.isNull());
}

TEST_F(RecordsWindowTest, AClearThatCannotBeDoneDeletesNothingAndSaysSo) {
    open();
    // No room for the copy: a file stands where its folder would go.
    std::ofstream(backups) << "x";
    clear(QString("583904"));
    expectSaid(1, QStringLiteral("成绩记录没有清空"));
    EXPECT_EQ(grid()->dataRowCount(), 3);
    fs::remove_all(backups);
    delete window.data();
    EXPECT_EQ(chengji(bank), records);
    EXPECT_FALSE(fs::exists(backups));

    // Another program is changing the bank: the window says so and shows no rows.
    auto other = std::make_unique<mozhou_test::OtherProgram>(bank);
    open();
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    clear(QString("583904"));
    other.reset();
    expectSaid(4, QStringLiteral("没有读出来"));  // the refresh after the refusal
    EXPECT_TRUE(messages[2].contains(QStringLiteral("没有清空"))) << messages[2].toStdString();
    delete window.data();
    EXPECT_EQ(chengji(bank), records);

    // A bank the user may not change: listed, but not cleared.
    {
        mozhou_test::ReadOnly readOnly(bank);
        if (!readOnly.made) GTEST_SKIP() << "cannot make the bank read-only here";
        open();
        clear(QString("583904"));
    }
    expectSaid(5, QStringLiteral("只读"));
    EXPECT_EQ(grid()->dataRowCount(), 3);
    delete window.data();
    EXPECT_EQ(chengji(bank), records);
}

TEST_F(RecordsWindowTest, ABankWithoutChengjiOrNoBankGivesAMessageAndAnEmptyGrid) {
    exchange_test::makeBank(bank, questions, /*onlyTiku=*/true);
    open();
    expectSaid(1, QStringLiteral("缺少题库的表"));
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    delete window.data();
    fs::remove(bank);  // gone: nothing is cleared and no file made
    open();
    clear(QString("583904"));
    EXPECT_TRUE(messages[2].contains(QStringLiteral("没有清空"))) << messages[2].toStdString();
    EXPECT_FALSE(fs::exists(bank) || fs::exists(backups));
}

}  // namespace
