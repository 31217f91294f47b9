#include "looks.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStringList>

namespace mozhou::looks {

QRect pxRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

QColor colour(std::uint32_t value, const QPalette& palette) {
    if (value & 0x80000000u) {
        switch (value & 0xFFu) {
            case 5:
                return palette.color(QPalette::Base);
            case 8:
                return palette.color(QPalette::WindowText);
            case 9:
                // Qt has no caption-text role; button text is the nearest theme colour.
                return palette.color(QPalette::ButtonText);
            case 13:
                return palette.color(QPalette::Highlight);
            case 14:
                return palette.color(QPalette::HighlightedText);
            default:
                return QColor(Qt::black);
        }
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor colour(std::uint32_t value) { return colour(value, QApplication::palette()); }

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
