#include "looks.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QPixmap>

using namespace mozhou::looks;

TEST(Looks, TwipsToPixels) {
    EXPECT_EQ(px(15), 1);
    EXPECT_EQ(px(15240), 1016);
    EXPECT_EQ(px(10830), 722);
    EXPECT_EQ(pxRect(480, 240, 840, 300), QRect(32, 16, 56, 20));
}

TEST(Looks, PlainColoursAreBlueGreenRed) {
    EXPECT_EQ(colour(0x00C0C000), QColor(0, 192, 192));
    EXPECT_EQ(colour(0x000000FF), QColor(255, 0, 0));
    EXPECT_EQ(colour(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(colour(kWhite), QColor(255, 255, 255));
    EXPECT_EQ(colour(kBlack), QColor(0, 0, 0));
}

TEST(Looks, HandCursorIsOurs) {
    const QCursor cursor = handCursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(12, 1));
    const QImage image = cursor.pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    // The fingertip is drawn just at the hot spot; the corners stay clear.
    EXPECT_GT(qAlpha(image.pixel(12, 1)), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(31, 31)), 0);
}
