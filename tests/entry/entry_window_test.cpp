// The question entry window on its real widgets, over a bank of the test's own: the lists,
// the answer letter, adding questions, the grid, emptying the bank and leaving.
#include <QAbstractItemView>
#include <QComboBox>
#include <QPlainTextEdit>

#include "ShujuluruWindow.h"
#include "window_test.h"

namespace {

using exchange_test::question;
using exchange_test::Row;
using mozhou::ShujuluruWindow;
namespace fs = std::filesystem;

const QString kPlease = QStringLiteral("请选择");

struct EntryWindowTest : mozhou_test::BankTest {
    std::vector<Row> rows{question("初一", "数学", "方程", "x+1=2", 0, "1"),
                          question("初一", "数学", "方程", "2x=4", 1, "2"),
                          question("初一", "语文", "古诗", "床前明月光", 0, "3"),
                          question("初二", "英语", "语法", "She ___ a pupil.", 0, "4")};
    QPointer<ShujuluruWindow> window;

    void SetUp() override {
        useBank(rows);
        window = mozhou_test::openWindow<ShujuluruWindow>();
    }
    void TearDown() override { delete window.data(); }

    QComboBox* combo(int n) {
        return mozhou_test::child<QComboBox>(window, QString("Combo%1").arg(n));
    }
    QLineEdit* text(int n) {
        return mozhou_test::child<QLineEdit>(window, QString("Text%1").arg(n));
    }
    QPlainTextEdit* text1() { return mozhou_test::child<QPlainTextEdit>(window, "Text1"); }
    mozhou::DataGrid* grid() { return mozhou_test::child<mozhou::DataGrid>(window, "DBGrid1"); }

    static void type(QWidget* w, const QString& s) {
        // Key events carrying the text, as an input method delivers Chinese characters.
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, s, Qt::NoModifier);
    }
    // The user clicks into the box (which refills it) ...
    void enter(QComboBox* box) {
        if (box->hasFocus()) box->clearFocus();
        QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
        ASSERT_TRUE(box->hasFocus());
    }
    QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    }
    // ... and picks an item from its drop-down list with the mouse.
    void choose(QComboBox* box, const QString& item) {
        const int i = box->findText(item);
        ASSERT_GE(i, 0) << item.toStdString() << " is not in the list";
        box->showPopup();
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(i, 0)).center());
        QApplication::processEvents();
        ASSERT_EQ(box->currentText(), item);
    }
    void pickLesson(const QStringList& names) {
        for (int n = 1; n <= 3; ++n) enter(combo(n)), choose(combo(n), names[n - 1]);
    }
    void click(const char* name) { mozhou_test::click(mozhou_test::child(window, name)); }
    QStringList gridColumn(int column) { return mozhou_test::gridRows(grid(), column); }
};

// Typed into a cleared letter box or after the letter there: what the box then shows and the
// answer text then holds. Two letters, or one other than A to D, copy nothing, and changing the
// option afterwards does not reach the answer text.
TEST_F(EntryWindowTest, LetterBoxEditingSwitchAndLeaving) {
    text(2)->setText(QStringLiteral("甲"));
    text(3)->setText(QStringLiteral("乙"));
    const std::tuple<bool, QString, QString, QString> steps[] = {{true, "b", "B", "乙"},
                                                                 {false, "a", "BA", "乙"},
                                                                 {true, "e", "E", "乙"},
                                                                 {true, "a", "A", "甲"}};
    for (const auto& [clear, typed, letter, answer] : steps) {
        if (clear) text(6)->clear();
        type(text(6), typed);
        EXPECT_EQ(text(6)->text() + text(7)->text(), letter + answer);
        type(text(3), QStringLiteral("丙"));
    }
    // The editing switch turns every grid switch on and off; "离开" closes the window.
    click("Check1");
    EXPECT_TRUE(grid()->AllowAddNew() && grid()->AllowDelete() && grid()->AllowUpdate() &&
                grid()->AllowArrows());
    click("Check1");
    EXPECT_FALSE(grid()->AllowAddNew() || grid()->AllowDelete() || grid()->AllowUpdate() ||
                 grid()->AllowArrows());
    click("Command3");
    mozhou_test::settle();
    EXPECT_TRUE(window.isNull());
}

TEST_F(EntryWindowTest, ListsRefillOnFocusAndAQuestionIsAddedInColumnOrder) {
    // The window opens with the focus in Combo1: its list is filled, and typing replaces the
    // placeholder; the others wait until they are entered.
    EXPECT_EQ(combo(2)->currentText(), kPlease);
    EXPECT_EQ(combo(2)->count(), 0);
    QFocusEvent opening(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(combo(1), &opening);
    EXPECT_EQ(items(combo(1)), (QStringList{QStringLiteral("初一"), QStringLiteral("初二")}));
    EXPECT_EQ(combo(1)->currentText(), kPlease);
    QTest::keyClicks(combo(1)->lineEdit(), "G7");
    EXPECT_EQ(combo(1)->currentText(), "G7");
    // Coming back from another window keeps what is in the box.
    QApplication::sendEvent(combo(1), &opening);
    EXPECT_EQ(combo(1)->currentText(), "G7");
    text1()->setPlainText("left over");
    enter(combo(1));
    EXPECT_EQ(items(combo(1)), (QStringList{QStringLiteral("初一"), QStringLiteral("初二")}));
    EXPECT_EQ(combo(1)->currentText(), "");
    choose(combo(1), QStringLiteral("初一"));
    EXPECT_EQ(text1()->toPlainText(), "");  // choosing a grade empties the boxes
    enter(combo(2));
    EXPECT_EQ(items(combo(2)), (QStringList{QStringLiteral("数学"), QStringLiteral("语文")}));
    choose(combo(2), QStringLiteral("数学"));
    enter(combo(3));
    EXPECT_EQ(items(combo(3)), QStringList{QStringLiteral("方程")});
    choose(combo(3), QStringLiteral("方程"));
    // The lesson's questions of both types.
    EXPECT_EQ(gridColumn(3), (QStringList{"x+1=2", "2x=4"}));

    // A fill-in question: the option texts and the letter typed before the switch are kept in
    // the disabled boxes and stored with the question.
    type(text1(), QStringLiteral("解方程"));
    QTest::keyClick(text1(), Qt::Key_Return);
    type(text1(), "5x=10");
    for (int n = 2; n <= 5; ++n) type(text(n), QString(QChar('p' + n - 2)));  // p, q, r, s
    type(text(6), "b");
    click("Option2");
    text(7)->setText("2");
    click("Command1");
    ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    using S = std::string;
    rows.push_back({S("初一"), S("数学"), S("方程"), S("解方程\r\n5x=10"), S("p"), S("q"), S("r"),
                    S("s"), S("B"), S("2"), std::int64_t{0}, S("填空题")});
    EXPECT_EQ(exchange_test::ourRows(bank), rows);
    exchange_test::expectOraclesSee(bank, rows);
    // The grid now shows the lesson's fill-in questions only.
    EXPECT_EQ(gridColumn(3), (QStringList{"2x=4", QStringLiteral("解方程\r\n5x=10")}));

    // Adding with every box empty stores empty texts; choosing the lesson again shows both
    // types.
    click("Option1");
    click("Command1");
    EXPECT_EQ(gridColumn(11), (QStringList{QStringLiteral("选择题"), QStringLiteral("选择题")}));
    Row blank = rows.front();  // 初一, 数学, 方程, a choice marked 0
    std::fill(blank.begin() + 3, blank.begin() + 10, S());
    EXPECT_EQ(exchange_test::ourRows(bank).back(), blank);
    enter(combo(3));
    choose(combo(3), QStringLiteral("方程"));
    EXPECT_EQ(grid()->dataRowCount(), 4);
}

TEST_F(EntryWindowTest, EmptyingTakesTheCodeKeepsACopyAndDeletesEverything) {
    // A wrong or cancelled code deletes nothing; with no query yet the grid stays empty.
    answers = {QString("123456"), std::nullopt};
    click("Command2");
    click("Command2");
    EXPECT_EQ(messages, (QStringList{QStringLiteral("对不起，密码不对！"),
                                     QStringLiteral("对不起，密码不对！")}));
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    EXPECT_EQ(exchange_test::ourRows(bank), rows);
    EXPECT_TRUE(exchange_test::backupsOf(bank).empty());

    // The right code: the bank as it was becomes a dated copy beside it, every row goes, and
    // the user is told where the copy is.
    pickLesson({QStringLiteral("初一"), QStringLiteral("数学"), QStringLiteral("方程")});
    messages.clear();
    answers = {QString("583904")};
    click("Command2");
    auto copies = exchange_test::backupsOf(bank);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(messages, QStringList() << QStringLiteral("题库已清空。清空前的题库备份在 %1。")
                                             .arg(QString::fromStdString(copies[0].string())));
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    EXPECT_TRUE(exchange_test::ourRows(bank).empty());
    exchange_test::expectOraclesSee(bank, {});
    EXPECT_EQ(exchange_test::ourRows(copies[0]), rows);
    // Clearing the empty bank again and again adds one copy of it; the copy of the rows stays.
    for (int i = 0; i < 3; ++i) {
        answers = {QString("583904")};
        click("Command2");
    }
    copies = exchange_test::backupsOf(bank);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(exchange_test::ourRows(copies[0]), rows);
    EXPECT_TRUE(exchange_test::ourRows(copies[1]).empty());
    for (const auto& f : fs::directory_iterator(dir))  // no temporary copy left behind
        EXPECT_TRUE(f.path() == bank || f.path() == copies[0].parent_path()) << f.path();
}

TEST_F(EntryWindowTest, FailuresAreToldAndNothingTypedIsLost) {
    // A value too long for its column: the message says so, the boxes keep the question.
    enter(combo(1));  // a value of the user's own
    type(combo(1)->lineEdit(), QString(300, u'长'));
    enter(combo(3));  // which enables "录入"
    type(text1(), QStringLiteral("一道题"));
    click("Command1");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("这道题没有录入。这道题的“年级”太长")))
        << messages[0].toStdString();
    EXPECT_EQ(text1()->toPlainText(), QStringLiteral("一道题"));
    EXPECT_EQ(exchange_test::ourRows(bank), rows);

    // A bank that is not there: each list refill says so instead of staying silently empty.
    mozhou::setBankPath(dir / "gone.mdb");
    enter(combo(1));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("gone.mdb")) << messages[1].toStdString();
    EXPECT_EQ(combo(1)->count(), 0);
    answers = {QString("583904")};
    click("Command2");
    EXPECT_GE(messages.size(), 3);
    EXPECT_FALSE(fs::exists(dir / "gone.mdb"));
}

}  // namespace
