#include "TreeView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "../store/memory_tiku.h"

using bank::TreeLevel;
using bank::TreeWindow;
using mozhou::TreeClick;
using mozhou::TreeView;

namespace {

using Tiku = store_test::MemoryTiku;

Tiku sampleBank() {
    Tiku db;
    db.add("初一", "数学", "第一课");
    db.add("初一", "数学", "第二课");
    db.add("初二", "数学", "第一课");
    return db;
}

bank::TreeNode node(const char* key, const char* parent, const char* text, TreeLevel level,
                    int image) {
    bank::TreeNode n;
    n.key = key, n.parentKey = parent, n.text = text, n.level = level, n.image = image;
    return n;
}

QPoint centre(TreeView& tree, QTreeWidgetItem* item) { return tree.visualItemRect(item).center(); }

}  // namespace

// A missing picture keeps the next index in place; each node shows the picture of its index.
TEST(TreeView, PicturesByIndexAndMissingFiles) {
    QTemporaryDir dir;
    auto save = [&](const char* name, QColor colour) {
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(colour);
        EXPECT_TRUE(picture.save(dir.filePath(name), "ICO"));
    };
    save("bbb.ico", Qt::red);
    save("aaa.ico", Qt::blue);
    mozhou::ImageList images;
    for (const char* name : {"bbb.ico", "missing.ico", "aaa.ico"}) images.add(dir.filePath(name));
    auto colour = [](const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixelColor(8, 8); };

    TreeView tree;
    tree.setImageList(&images);
    tree.addNodes({node("年级 1", "", "G", TreeLevel::Grade, 1),
                   node("科目 1", "年级 1", "S", TreeLevel::Subject, 2),
                   node("科程 1", "科目 1", "C", TreeLevel::Lesson, 3)});
    EXPECT_EQ(colour(tree.item("年级 1")->icon(0)), QColor(Qt::red));
    EXPECT_TRUE(tree.item("科目 1")->icon(0).isNull());
    EXPECT_EQ(colour(tree.item("科程 1")->icon(0)), QColor(Qt::blue));
}

TEST(TreeView, ClickReportsTheNodeItsLevelAndAncestors) {
    Tiku db = sampleBank();
    db.add("", "", "无名");  // empty texts still give the right level
    TreeView tree;
    mozhou::ImageList images;
    tree.build(TreeWindow::Export, images, db.query());
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) EXPECT_FALSE((*it)->isExpanded());

    std::vector<TreeClick> clicks;
    QObject::connect(&tree, &TreeView::NodeClick, [&](const TreeClick& c) { clicks.push_back(c); });

    QTreeWidgetItem* grade = tree.item("年级 2");
    ASSERT_TRUE(grade);
    // The plus box opens the node without reporting a click.
    const QRect row = tree.visualItemRect(grade);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(row.left() - tree.indentation() / 2, row.center().y()));
    EXPECT_TRUE(grade->isExpanded());
    EXPECT_TRUE(clicks.empty());

    // The export window's test holds each level's click to its ancestors; Enter on the current
    // node chooses it too.
    QTreeWidgetItem* lesson = grade->child(0)->child(0);
    grade->child(0)->setExpanded(true);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centre(tree, lesson));
    tree.setCurrentItem(grade->child(0));
    QTest::keyClick(&tree, Qt::Key_Return);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].level, TreeLevel::Lesson);
    EXPECT_EQ(clicks[1].level, TreeLevel::Subject);

    // A subject under an empty grade is still a subject.
    QTreeWidgetItem* unnamed = nullptr;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        if (tree.topLevelItem(i)->text(0).isEmpty()) unnamed = tree.topLevelItem(i)->child(0);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(TreeView::clickOf(unnamed).level, TreeLevel::Subject);

    // Rebuilding replaces the nodes.
    db.add("初三", "数学", "第一课");
    tree.build(TreeWindow::Test, images, db.query());
    EXPECT_EQ(tree.topLevelItemCount(), 4);
}
