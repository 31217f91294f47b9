#include "ListingView.h"
#include "XuexiWindow.h"
#include "window_test.h"

namespace {

using exchange_test::question;

struct XuexiTest : mozhou_test::BankTest {
    void SetUp() override {
        // Mark 0: a choice with the letter B; mark 1: a fill-in without a letter.
        useBank({question("初一", "数学", "第一课", "一加一"),
                 question("初一", "数学", "第一课", "王's 题", 1, "二"),
                 question("初二", "语文", "第二课", "一字", 1, "字")});
    }
};

using mozhou_test::treeItem;

// A lesson, a subject and searches are listed; "离开" closes the window.
TEST_F(XuexiTest, LessonSubjectSearchAndLeaving) {
    QPointer<mozhou::XuexiWindow> w = new mozhou::XuexiWindow;
    w->show();
    auto* tree = mozhou_test::child<QTreeWidget>(w, "TreeView1");
    auto* display = mozhou_test::child<mozhou::ListingView>(w, "RichTextBox1");
    auto* count = mozhou_test::child<QLabel>(w, "Label3");
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

    auto* keyword = mozhou_test::child<QLineEdit>(w, "Text1");
    auto* search = mozhou_test::child<QPushButton>(w, "Command1");
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

    mozhou_test::click(mozhou_test::child(w, "Command3"));
    mozhou_test::settle();
    EXPECT_TRUE(w.isNull());
}

}  // namespace
