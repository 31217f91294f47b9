#include <gtest/gtest.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "XuexiWindow.h"
#include "bank_path.h"
#include "dao/dao.h"
#include "jet/create_bank.h"

namespace {

namespace fs = std::filesystem;

struct XuexiTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("xuexi_test_" + std::to_string(::getpid()));
    fs::path bank = dir / "shujuku.mdb";

    void SetUp() override {
        fs::create_directories(dir);
        jet::createBank(bank);
        mozhou::setBankPath(bank);
        dao::Workspace ws("", "admin", "");
        auto db = ws.OpenDatabase(bank);
        auto rs = db.OpenRecordset("select * from tiku");
        auto add = [&](const char* g, const char* s, const char* c, const char* q, const char* a,
                       const char* content) {
            rs.AddNew();
            rs.Fields(0) = jet::Value(std::string(g));
            rs.Fields(1) = jet::Value(std::string(s));
            rs.Fields(2) = jet::Value(std::string(c));
            rs.Fields(3) = jet::Value(std::string(q));
            for (int i = 4; i < 8; ++i)
                rs.Fields(i) = jet::Value(std::string("选") + char('A' + i - 4));
            rs.Fields(8) = jet::Value(std::string(a));
            rs.Fields(9) = jet::Value(std::string(content));
            rs.Update();
        };
        add("初一", "数学", "第一课", "一加一", "B", "选B");
        add("初一", "数学", "第一课", "王's 题", "", "二");
        add("初二", "语文", "第二课", "一字", "", "字");
    }
    void TearDown() override {
        mozhou::setBankPath({});
        fs::remove_all(dir);
    }
};

QTreeWidgetItem* find(QTreeWidget* tree, const QString& text) {
    auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.front();
}

void clickNode(QTreeWidget* tree, QTreeWidgetItem* item) {
    for (auto* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

TEST_F(XuexiTest, LessonSubjectAndSearch) {
    mozhou::XuexiWindow w;
    w.show();
    auto* tree = w.findChild<QTreeWidget*>("TreeView1");
    auto* display = w.findChild<QPlainTextEdit*>("RichTextBox1");
    auto* count = w.findChild<QLabel*>("Label3");
    ASSERT_TRUE(tree && display && count);
    EXPECT_EQ(display->toPlainText(), "您还没有选择学习内容！");
    EXPECT_EQ(count->text(), "*******");

    clickNode(tree, find(tree, "第一课"));
    EXPECT_EQ(count->text(), "共2题");
    EXPECT_EQ(display->toPlainText(),
              "1.一加一(B)\n  A.选A\n  B.选B\n  C.选C\n  D.选D\n2.王's 题(二)\n");

    const QString before = display->toPlainText();
    clickNode(tree, find(tree, "数学"));
    EXPECT_EQ(display->toPlainText(), before);
    EXPECT_EQ(count->text(), "共2题");

    auto* keyword = w.findChild<QLineEdit*>("Text1");
    auto* search = w.findChild<QPushButton*>("Command1");
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(display->toPlainText(), "您没有输入关键字！");

    keyword->setText(QStringLiteral("一"));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_EQ(count->text(), "共2题");
    EXPECT_TRUE(display->toPlainText().contains("一字(字)"));

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

}  // namespace
