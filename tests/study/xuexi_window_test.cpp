#include "ListingView.h"
#include "XuexiWindow.h"
#include "exchange_test_util.h"
#include "sql_texts.h"
#include "window_registry.h"
#include "window_test.h"

namespace {

using exchange_test::question;

struct XuexiTest : ::testing::Test {
    std::filesystem::path bank = exchange_test::scratchDir("xuexi") / "shujuku.mdb";

    void SetUp() override {
        // Mark 0: a choice with the letter B; mark 1: a fill-in without a letter.
        exchange_test::makeBank(bank, {question("初一", "数学", "第一课", "一加一"),
                                       question("初一", "数学", "第一课", "王's 题", 1, "二"),
                                       question("初二", "语文", "第二课", "一字", 1, "字")});
        mozhou::setBankPath(bank);
    }
    void TearDown() override {
        mozhou::setBankPath({});
        std::filesystem::remove_all(bank.parent_path());
    }
};

using mozhou_test::treeItem;

TEST_F(XuexiTest, LessonSubjectAndSearch) {
    mozhou::XuexiWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.show();
    auto* tree = w.findChild<QTreeWidget*>("TreeView1");
    auto* display = w.findChild<mozhou::ListingView*>("RichTextBox1");
    auto* count = w.findChild<QLabel*>("Label3");
    ASSERT_TRUE(tree && display && count);
    EXPECT_EQ(display->toPlainText(), "您还没有选择学习内容！");
    EXPECT_EQ(count->text(), "*******");
    mozhou_test::clickTreeItem(tree, treeItem(tree, "第一课"));
    EXPECT_EQ(count->text(), "共2题");
    EXPECT_EQ(display->toPlainText(),
              "1.一加一(B)\n  A.甲\n  B.乙\n  C.丙\n  D.丁\n2.王's 题(答案二)\n");

    const QString before = display->toPlainText();
    mozhou_test::clickTreeItem(tree, treeItem(tree, "数学"));
    EXPECT_EQ(display->toPlainText(), before);
    EXPECT_EQ(count->text(), "共2题");

    auto* keyword = w.findChild<QLineEdit*>("Text1");
    auto* search = w.findChild<QPushButton*>("Command1");
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(display->toPlainText(), "您没有输入关键字！");

    keyword->setText(QStringLiteral("一"));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(count->text(), "共2题");
    EXPECT_TRUE(display->toPlainText().contains("一字(答案字)"));

    keyword->setText(QStringLiteral("没有的"));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(display->toPlainText(), "在题库中找不到与关键字相匹配的题目");
    EXPECT_EQ(count->text(), "共2题");
}

// "离开" closes the window: opened again, it shows a lesson entered meanwhile.
TEST_F(XuexiTest, LeavingClosesAndTheNextOpeningIsNew) {
    auto& registry = mozhou::WindowRegistry::instance();
    registry.registerFactory("xuexi", [] { return new mozhou::XuexiWindow; });
    QPointer<QWidget> w = registry.show("xuexi");
    ASSERT_TRUE(w);
    exchange_test::appendRow(bank, bank::sql::allQuestions(),
                             question("初三", "物理", "第三课", "新题"));
    QTest::mouseClick(w->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    mozhou_test::settle();
    EXPECT_TRUE(w.isNull());
    QWidget* again = registry.show("xuexi");
    ASSERT_TRUE(again);
    EXPECT_TRUE(treeItem(again->findChild<QTreeWidget*>("TreeView1"), "第三课"));
    delete again;
    registry.unregisterFactory("xuexi");
}

}  // namespace
