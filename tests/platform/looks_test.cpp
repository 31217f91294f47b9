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

TEST(Looks, SystemColoursFollowThePalette) {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::WindowText, QColor(4, 5, 6));
    palette.setColor(QPalette::ButtonText, QColor(7, 8, 9));
    palette.setColor(QPalette::Highlight, QColor(10, 11, 12));
    palette.setColor(QPalette::HighlightedText, QColor(13, 14, 15));
    EXPECT_EQ(colour(kSysWindowBackground, palette), QColor(1, 2, 3));
    EXPECT_EQ(colour(kSysWindowText, palette), QColor(4, 5, 6));
    EXPECT_EQ(colour(kSysCaptionText, palette), QColor(7, 8, 9));
    EXPECT_EQ(colour(kSysHighlight, palette), QColor(10, 11, 12));
    EXPECT_EQ(colour(kSysHighlightText, palette), QColor(13, 14, 15));
}

TEST(Looks, SongFontWithFallbacks) {
    const QFont font = songFont(12);
    ASSERT_FALSE(font.families().isEmpty());
    EXPECT_EQ(font.families().first(), "SimSun");
    EXPECT_TRUE(font.families().contains(QStringLiteral("宋体")));
    EXPECT_TRUE(font.families().contains("Noto Serif CJK SC"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 12.0);
    EXPECT_FALSE(font.bold());
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
