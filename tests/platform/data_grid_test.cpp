// The grid over a real question bank: what it shows, what its switches allow, and that every
// change the user makes in it is in the file as our reader and both independent readers see it.
#include "dao/dao.h"
#include "sql_texts.h"
#include "window_test.h"

namespace {

using exchange_test::question;
using exchange_test::Row;
using mozhou::DataGrid;

struct DataGridTest : mozhou_test::BankTest {
    std::vector<Row> rows{question("初一", "数学", "方程", "x+1=2", 0, "1"),
                          question("初一", "数学", "方程", "2x=4", 1, "2"),
                          question("初一", "语文", "古诗", "床前明月光", 0, "3"),
                          question("初一", "数学", "方程", "3x=9", 0, "4")};
    DataGrid grid;

    void SetUp() override {
        useBank(rows);
        grid.resize(900, 400);
        grid.show();
        grid.setDatabaseName(bank);
    }

    void showLesson() {
        grid.setRecordSource(bank::sql::lessonQuestions("初一", "数学", "方程"));
        ASSERT_TRUE(grid.refresh());
    }
    // Types into the cell as a user does: start editing, replace the text, press Enter.
    void typeInto(int row, int column, const QString& text) {
        QModelIndex index = grid.model()->index(row, column);
        grid.setCurrentIndex(index);
        grid.edit(index);
        QLineEdit* editor = nullptr;
        for (auto* e : grid.viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        ASSERT_NE(editor, nullptr) << "no editor opened on " << row << "," << column;
        editor->selectAll();
        // Key events carrying the text, as an input method delivers Chinese characters.
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, text, Qt::NoModifier);
        QTest::keyClick(editor, Qt::Key_Return);
        // Enter commits through a queued call, and a refusal is said in one more.
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(DataGridTest, ShowsEditsAppendsAndDeletesStraightInTheFile) {
    showLesson();
    // The lesson's three rows in the file's order, values as text; no empty row for appending.
    ASSERT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.cellText(0, 3) + grid.cellText(1, 3) + grid.cellText(2, 3), "x+1=22x=43x=9");
    EXPECT_EQ(grid.cellText(1, 10) + grid.cellText(1, 11), QStringLiteral("1填空题"));
    // With the arrows off the keys do not move (the records window's test holds the grid to
    // refusing edits and deletes).
    grid.setCurrentIndex(grid.model()->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.currentIndex().row(), 0);

    grid.setAllowAddNew(true), grid.setAllowDelete(true), grid.setAllowUpdate(true);
    grid.setAllowArrows(true);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    ASSERT_EQ(grid.model()->rowCount(), 4);  // the empty row for appending

    // An edit of a text cell and of the mark.
    typeInto(1, 3, QStringLiteral("2x=4（改）"));
    typeInto(1, 10, "0");
    std::vector<Row> expected = rows;
    expected[1][3] = std::string("2x=4（改）");
    expected[1][10] = std::int64_t{0};
    EXPECT_EQ(grid.cellText(1, 3), QStringLiteral("2x=4（改）"));

    // A mark that is not a number is refused with a message and writes nothing.
    typeInto(0, 10, "abc");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("错题标记"))) << messages[0].toStdString();
    typeInto(0, 10, "70000");
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(exchange_test::ourRows(bank), expected);

    // Typing into the empty row appends a row with that one column set.
    typeInto(3, 0, QStringLiteral("初二"));
    expected.push_back(Row(12, jet::Value{}));
    expected.back()[0] = std::string("初二");
    EXPECT_EQ(grid.model()->rowCount(), 5);
    typeInto(3, 11, QStringLiteral("填空题"));
    expected.back()[11] = std::string("填空题");

    // Selecting a row and pressing Delete removes that row, and only it.
    grid.selectRow(0);
    QTest::keyClick(&grid, Qt::Key_Delete);
    expected.erase(expected.begin());
    EXPECT_EQ(grid.cellText(0, 3), QStringLiteral("2x=4（改）"));
    EXPECT_EQ(messages.size(), 2) << messages.join("\n").toStdString();
    EXPECT_EQ(exchange_test::ourRows(bank), expected);
    exchange_test::expectOraclesSee(bank, expected);
}

// Rows another window adds leave the shown rows as they are; rows another window deletes make
// the grid read its query again instead of showing blank lines.
TEST_F(DataGridTest, RowsDeletedElsewhereAreReadAgainNotLeftBlank) {
    showLesson();
    ASSERT_EQ(grid.cellText(0, 3), "x+1=2");
    exchange_test::appendRow(bank, bank::sql::allQuestions(), rows[0]);
    QApplication::processEvents();
    EXPECT_EQ(grid.dataRowCount(), 3);
    EXPECT_EQ(grid.cellText(2, 3), "3x=9");
    {
        dao::Workspace ws;
        auto db = ws.OpenDatabase(bank);
        auto rs = db.OpenRecordset(bank::sql::lessonQuestions("初一", "数学", "方程"));
        rs.MoveFirst();
        rs.Delete();
        rs.MoveNext();
        rs.Delete();
    }
    grid.viewport()->repaint();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    ASSERT_EQ(grid.dataRowCount(), 2);
    EXPECT_EQ(grid.cellText(0, 3), "3x=9");
    EXPECT_EQ(grid.cellText(1, 3), "x+1=2");
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // Typed text becomes the column's kind, or is refused.
    QString problem;
    using jet::ColumnType;
    EXPECT_EQ(DataGrid::valueFromText("12", ColumnType::Int16, "n", &problem),
              jet::Value{std::int64_t{12}});
    EXPECT_FALSE(DataGrid::valueFromText("1.5", ColumnType::Int16, "n", &problem));
    EXPECT_EQ(DataGrid::valueFromText("", ColumnType::Int16, "n", &problem), jet::Value{});
    EXPECT_EQ(DataGrid::valueFromText("", ColumnType::Text, "n", &problem),
              jet::Value{std::string()});
}

}  // namespace
