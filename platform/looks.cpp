#include "looks.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStringList>
#include <iterator>

namespace mozhou::looks {

QRect pxRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

namespace {

// The classic Windows scheme's system colours, by index (0x00RRGGBB here for reading ease).
// Fixed values rather than the desktop theme's: the windows were drawn for these, so light
// frame edges are light, captions stay readable on the window's cyan and the text is black.
constexpr std::uint32_t kSystemColours[] = {
    0xC0C0C0,  //  0 scroll bar
    0x008080,  //  1 desktop
    0x000080,  //  2 active caption
    0x808080,  //  3 inactive caption
    0xC0C0C0,  //  4 menu
    0xFFFFFF,  //  5 window background
    0x000000,  //  6 window frame
    0x000000,  //  7 menu text
    0x000000,  //  8 window text
    0xFFFFFF,  //  9 caption text
    0xC0C0C0,  // 10 active border
    0xC0C0C0,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x000080,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xC0C0C0,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xC0C0C0,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x000000,  // 21 3-D dark shadow
    0xDFDFDF,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip background
};

}  // namespace

QColor colour(std::uint32_t value) {
    if (value & 0x80000000u) {
        const std::uint32_t index = value & 0xFFu;
        if (index >= std::size(kSystemColours)) return QColor(Qt::black);
        return QColor::fromRgb(kSystemColours[index]);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QFont songFont(double pointSize) {
    QFont font;
    font.setFamilies(
        QStringList{"SimSun", QStringLiteral("宋体"), "AR PL SungtiL GB", "Noto Serif CJK SC"});
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

namespace {

QPixmap handPixmap() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // A hand pointing up: the index finger's tip is the hot spot at (12, 1).
    QPainterPath hand;
    hand.moveTo(10, 3);
    hand.arcTo(10, 0, 5, 4, 180, -180);  // fingertip
    hand.lineTo(15, 11);
    hand.lineTo(19, 11);
    hand.lineTo(19, 12);
    hand.lineTo(23, 12);
    hand.lineTo(23, 13);
    hand.lineTo(26, 14);
    hand.lineTo(26, 22);
    hand.lineTo(23, 28);
    hand.lineTo(11, 28);
    hand.lineTo(5, 20);
    hand.lineTo(4, 16);
    hand.lineTo(6, 15);
    hand.lineTo(10, 18);
    hand.closeSubpath();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    // Knuckle creases between the folded fingers.
    painter.drawLine(15, 11, 15, 16);
    painter.drawLine(19, 12, 19, 17);
    painter.drawLine(23, 13, 23, 18);
    return pixmap;
}

}  // namespace

QCursor handCursor() {
    static const QPixmap pixmap = handPixmap();
    return QCursor(pixmap, 12, 1);
}

}  // namespace mozhou::looks
