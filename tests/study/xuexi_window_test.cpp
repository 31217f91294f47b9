#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "ListingView.h"
#include "XuexiWindow.h"
#include "bank_path.h"
#include "dao/dao.h"
#include "exchange_test_util.h"
#include "sql_texts.h"
#include "tree_click.h"
#include "window_registry.h"

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

QTreeWidgetItem* find(QTreeWidget* tree, const QString& text) {
    auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.front();
}

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
    // Room for a count of six digits.
    count->setText(QStringLiteral("共999999题"));
    EXPECT_LE(count->sizeHint().width(), count->width());

    mozhou_test::clickTreeItem(tree, find(tree, "第一课"));
    EXPECT_EQ(count->text(), "共2题");
    EXPECT_EQ(display->toPlainText(),
              "1.一加一(B)\n  A.甲\n  B.乙\n  C.丙\n  D.丁\n2.王's 题(答案二)\n");

    const QString before = display->toPlainText();
    mozhou_test::clickTreeItem(tree, find(tree, "数学"));
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

    keyword->clear();
    QTest::keyClicks(keyword, QStringLiteral("'s"));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(count->text(), "共1题");

    keyword->clear();
    keyword->setText(QStringLiteral("没有的"));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(display->toPlainText(), "在题库中找不到与关键字相匹配的题目");
    EXPECT_EQ(count->text(), "共1题");
}

// "离开" closes the window: opened again, it shows a lesson entered meanwhile.
TEST_F(XuexiTest, LeavingClosesAndTheNextOpeningIsNew) {
    auto& registry = mozhou::WindowRegistry::instance();
    registry.registerFactory("xuexi", [] { return new mozhou::XuexiWindow; });
    QPointer<QWidget> w = registry.show("xuexi");
    ASSERT_TRUE(w);
    {
        auto db = dao::Database::open(bank);
        auto rs = db.OpenRecordset(bank::sql::allQuestions());
        rs.AddNew();
        const auto row = question("初三", "物理", "第三课", "新题");
        for (std::size_t i = 0; i < row.size(); ++i) rs.Fields(i) = row[i];
        rs.Update();
    }
    QTest::mouseClick(w->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    QWidget* again = registry.show("xuexi");
    ASSERT_TRUE(again);
    EXPECT_TRUE(find(again->findChild<QTreeWidget*>("TreeView1"), "第三课"));
    delete again;
    registry.unregisterFactory("xuexi");
}

}  // namespace
