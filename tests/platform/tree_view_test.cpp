#include "TreeView.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
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

TEST(TreeView, PicturesByIndexAndMissingFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    const char* names[] = {"bbb.ico", "ccc.ico", "aaa.ico"};
    for (int i = 0; i < 3; ++i) {
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(colours[i]);
        ASSERT_TRUE(picture.save(dir.filePath(names[i]), "ICO"));
    }
    mozhou::ImageList images;
    images.add(dir.filePath("bbb.ico"));
    images.add(dir.filePath("missing.ico"));  // silent, keeps the next index in place
    images.add(dir.filePath("aaa.ico"));
    ASSERT_EQ(images.count(), 3);
    EXPECT_TRUE(images.icon(2).isNull());
    EXPECT_TRUE(images.icon(0).isNull());
    EXPECT_TRUE(images.icon(4).isNull());
    EXPECT_EQ(images.icon(3).pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));

    // Each node shows the picture of its index.
    TreeView tree;
    tree.setImageList(&images);
    tree.addNodes({node("年级 1", "", "G", TreeLevel::Grade, 1),
                   node("科目 1", "年级 1", "S", TreeLevel::Subject, 2),
                   node("科程 1", "科目 1", "C", TreeLevel::Lesson, 3)});
    EXPECT_EQ(tree.item("年级 1")->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8),
              QColor(Qt::red));
    EXPECT_TRUE(tree.item("科目 1")->icon(0).isNull());
    EXPECT_EQ(tree.item("科程 1")->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8),
              QColor(Qt::blue));

    // The build reads the icons of the program folder; without them it still builds.
    Tiku db = sampleBank();
    tree.build(TreeWindow::Export, images, db.query());
    const QString folder = QCoreApplication::applicationDirPath();
    for (int i = 1; i <= 3; ++i) {
        const char* file =
            bank::treeLook(TreeWindow::Export).icons[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(images.icon(i).isNull(), !QFileInfo::exists(folder + "/" + file)) << file;
    }
    EXPECT_EQ(tree.topLevelItemCount(), 2);
}

TEST(TreeView, RefusesOrphansAndTakenKeys) {
    TreeView tree;
    tree.addNodes({node("年级 1", "", "G", TreeLevel::Grade, 1),
                   node("年级 1", "", "again", TreeLevel::Grade, 1),
                   node("科目 1", "年级 9", "orphan", TreeLevel::Subject, 1),
                   node("科目 2", "年级 1", "S", TreeLevel::Subject, 1)});
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "G");
    EXPECT_EQ(tree.item("科目 1"), nullptr);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 1);
    tree.clearNodes();
    EXPECT_EQ(tree.item("年级 1"), nullptr);
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

    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centre(tree, grade));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].level, TreeLevel::Grade);
    EXPECT_EQ(clicks[0].grade, grade->text(0));
    EXPECT_TRUE(clicks[0].subject.isEmpty());

    QTreeWidgetItem* subject = grade->child(0);
    subject->setExpanded(true);
    QTreeWidgetItem* lesson = subject->child(0);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centre(tree, lesson));
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1].key, TreeView::keyOf(lesson));
    EXPECT_EQ(clicks[1].level, TreeLevel::Lesson);
    EXPECT_EQ(clicks[1].grade + clicks[1].subject + clicks[1].lesson,
              grade->text(0) + QStringLiteral("数学第一课"));

    // Enter on the current node chooses it too.
    tree.setCurrentItem(subject);
    QTest::keyClick(&tree, Qt::Key_Return);
    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[2].level, TreeLevel::Subject);
    EXPECT_EQ(clicks[2].subject, "数学");

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
