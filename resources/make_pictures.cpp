// Draws the program's tree icons and answer pictures and writes them into a folder.
//
//   make_pictures <output folder>
//   make_pictures --app-icon <name> <hicolor folder>
//
// bbb.ico  a grade: a stack of closed books
// ccc.ico  a subject: an open book
// aaa.ico  a lesson in the study tree: a written page
// ddd.ico  a lesson in the export tree: a page with a pencil
// dui.jpg  a right answer: a green tick
// cuo.jpg  a wrong answer: a red cross
//
// The program's own icon (an open book on an ink-blue tile, with a green tick) goes into a
// freedesktop hicolor tree as <size>x<size>/apps/<name>.png, for the desktop's menus.
//
// Every icon file holds a 16 x 16 and a 32 x 32 picture. Each picture is drawn on a 32 x 32
// design grid and scaled, so both sizes show the same shapes.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Drawing = std::function<void(QPainter&)>;

QImage render(const Drawing& draw, int size, const QColor& background) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    return image;
}

QPen outline(qreal width = 1.4) {
    return QPen(QColor(40, 40, 60), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void book(QPainter& p, const QRectF& r, const QColor& cover) {
    p.setPen(outline());
    p.setBrush(cover);
    p.drawRoundedRect(r, 1.5, 1.5);
    // the page edges on the right side of the closed book
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(QRectF(r.right() - 4, r.top() + 1.2, 3, r.height() - 2.4));
}

void gradeIcon(QPainter& p) {
    book(p, QRectF(4, 21, 24, 7), QColor(200, 60, 50));
    book(p, QRectF(6, 13.5, 22, 7), QColor(50, 110, 200));
    book(p, QRectF(3, 6, 23, 7), QColor(60, 160, 80));
}

void subjectIcon(QPainter& p) {
    p.setPen(outline());
    p.setBrush(QColor(60, 110, 190));
    QPainterPath cover;
    cover.moveTo(2, 9);
    cover.lineTo(16, 11);
    cover.lineTo(30, 9);
    cover.lineTo(30, 27);
    cover.lineTo(16, 29);
    cover.lineTo(2, 27);
    cover.closeSubpath();
    p.drawPath(cover);
    p.setBrush(QColor(252, 250, 240));
    QPainterPath left;
    left.moveTo(4, 6);
    left.quadTo(10, 5, 16, 8);
    left.lineTo(16, 27);
    left.quadTo(10, 24, 4, 25);
    left.closeSubpath();
    p.drawPath(left);
    QPainterPath right;
    right.moveTo(28, 6);
    right.quadTo(22, 5, 16, 8);
    right.lineTo(16, 27);
    right.quadTo(22, 24, 28, 25);
    right.closeSubpath();
    p.drawPath(right);
    p.setPen(QPen(QColor(120, 120, 140), 1.2, Qt::SolidLine, Qt::RoundCap));
    for (qreal y : {11.0, 15.0, 19.0}) {
        p.drawLine(QPointF(6.5, y), QPointF(13.5, y + 1));
        p.drawLine(QPointF(18.5, y + 1), QPointF(25.5, y));
    }
}

void page(QPainter& p, const QRectF& r) {
    p.setPen(outline());
    p.setBrush(QColor(255, 255, 255));
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - 6, r.top());
    sheet.lineTo(r.right(), r.top() + 6);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.setBrush(QColor(215, 215, 225));
    QPainterPath fold;
    fold.moveTo(r.right() - 6, r.top());
    fold.lineTo(r.right() - 6, r.top() + 6);
    fold.lineTo(r.right(), r.top() + 6);
    fold.closeSubpath();
    p.drawPath(fold);
}

void lessonIcon(QPainter& p) {
    page(p, QRectF(6, 3, 20, 26));
    p.setPen(QPen(QColor(50, 100, 190), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 11), QPointF(18, 11));
    for (qreal y : {16.0, 20.0, 24.0}) p.drawLine(QPointF(10, y), QPointF(22, y));
}

void exportLessonIcon(QPainter& p) {
    page(p, QRectF(3, 3, 19, 26));
    p.setPen(QPen(QColor(50, 100, 190), 1.8, Qt::SolidLine, Qt::RoundCap));
    for (qreal y : {11.0, 15.5, 20.0}) p.drawLine(QPointF(7, y), QPointF(15, y));
    // a yellow pencil lying across the lower right corner
    p.save();
    p.translate(23, 19);
    p.rotate(-50);
    p.setPen(outline(1.2));
    p.setBrush(QColor(245, 190, 40));
    p.drawRect(QRectF(-11, -2.6, 15, 5.2));
    p.setBrush(QColor(230, 120, 140));
    p.drawRect(QRectF(-14, -2.6, 3, 5.2));
    p.setBrush(QColor(240, 215, 170));
    QPainterPath tip;
    tip.moveTo(4, -2.6);
    tip.lineTo(9, 0);
    tip.lineTo(4, 2.6);
    tip.closeSubpath();
    p.drawPath(tip);
    p.setBrush(QColor(40, 40, 60));
    QPainterPath lead;
    lead.moveTo(7.4, -0.8);
    lead.lineTo(9, 0);
    lead.lineTo(7.4, 0.8);
    lead.closeSubpath();
    p.drawPath(lead);
    p.restore();
}

void tickPicture(QPainter& p) {
    QPainterPath tick;
    tick.moveTo(6, 17);
    tick.lineTo(13, 24);
    tick.lineTo(26, 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 150, 50), 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void crossPicture(QPainter& p) {
    p.setPen(QPen(QColor(210, 30, 30), 5.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(24, 24));
    p.drawLine(QPointF(24, 8), QPointF(8, 24));
}

void appIcon(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 60, 100));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.save();
    p.translate(3.5, 2.5);
    p.scale(0.78, 0.78);
    subjectIcon(p);
    p.restore();
    p.save();
    p.translate(15, 15);
    p.scale(0.5, 0.5);
    p.setPen(QPen(QColor(255, 255, 255), 9.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(6, 17);
    tick.lineTo(13, 24);
    tick.lineTo(26, 8);
    p.drawPath(tick);
    tickPicture(p);
    p.restore();
}

bool writeAppIcons(const QString& name, const QDir& hicolor) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = hicolor.filePath(folder + "/" + name + ".png");
        if (!hicolor.mkpath(folder) || !render(appIcon, size, Qt::transparent).save(path, "png")) {
            std::fprintf(stderr, "make_pictures: cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    return true;
}

// Qt's ico writer puts one picture into each file it writes. Each size is written on its own
// into memory and the entries are joined into one icon directory: a 6-byte header (reserved,
// type 1, count) followed by one 16-byte entry per picture, whose last field is the offset of
// the picture's data from the start of the file.
bool writeIcon(const QString& path, const Drawing& draw) {
    QByteArray entries;
    QByteArray data;
    const std::vector<int> sizes{16, 32};
    const quint32 start = 6 + 16 * static_cast<quint32>(sizes.size());
    for (int size : sizes) {
        QBuffer single;
        single.open(QIODevice::WriteOnly);
        QImageWriter writer(&single, "ico");
        if (!writer.write(render(draw, size, Qt::transparent))) {
            std::fprintf(stderr, "make_pictures: %s: %s\n", qPrintable(path),
                         qPrintable(writer.errorString()));
            return false;
        }
        const QByteArray bytes = single.data();
        if (bytes.size() < 22) return false;
        QByteArray entry = bytes.mid(6, 16);
        const quint32 offset = start + static_cast<quint32>(data.size());
        for (int i = 0; i < 4; ++i) entry[12 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
        const quint32 own = static_cast<quint8>(bytes[18]) | static_cast<quint8>(bytes[19]) << 8 |
                            static_cast<quint8>(bytes[20]) << 16 |
                            static_cast<quint32>(static_cast<quint8>(bytes[21])) << 24;
        entries += entry;
        data += bytes.mid(static_cast<qsizetype>(own));
    }
    QByteArray file("\0\0\1\0", 4);
    file += static_cast<char>(sizes.size());
    file += '\0';
    file += entries;
    file += data;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
        std::fprintf(stderr, "make_pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writeJpeg(const QString& path, const Drawing& draw) {
    QImageWriter writer(path, "jpeg");
    writer.setQuality(92);
    const QImage picture = render(draw, 80, Qt::white).convertToFormat(QImage::Format_RGB32);
    if (!writer.write(picture)) {
        std::fprintf(stderr, "make_pictures: %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--app-icon")
        return writeAppIcons(QString::fromLocal8Bit(argv[2]), QDir(QString::fromLocal8Bit(argv[3])))
                   ? 0
                   : 1;
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: make_pictures <output folder>\n"
                     "       make_pictures --app-icon <name> <hicolor folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "make_pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    ok = writeIcon(out.filePath("bbb.ico"), gradeIcon) && ok;
    ok = writeIcon(out.filePath("ccc.ico"), subjectIcon) && ok;
    ok = writeIcon(out.filePath("aaa.ico"), lessonIcon) && ok;
    ok = writeIcon(out.filePath("ddd.ico"), exportLessonIcon) && ok;
    ok = writeJpeg(out.filePath("dui.jpg"), tickPicture) && ok;
    ok = writeJpeg(out.filePath("cuo.jpg"), crossPicture) && ok;
    return ok ? 0 : 1;
}
