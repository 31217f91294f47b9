// The tree icons and the answer pictures load the way the windows load them.

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <set>

namespace {

QImageReader reader(const char* name) {
    return QImageReader(QString::fromUtf8(MOZHOU_PROGRAM_DIR) + "/" + QString::fromUtf8(name));
}

// Each icon holds a 16- and a 32-pixel picture; the four must be told apart in a tree.
TEST(Pictures, IconsDifferAndAnswerPicturesHaveTheirColours) {
    std::set<QByteArray> seen;
    for (const char* name : {"aaa.ico", "bbb.ico", "ccc.ico", "ddd.ico"}) {
        auto r = reader(name);
        ASSERT_EQ(r.format(), "ico") << name;
        std::set<int> widths;
        for (int i = 0; i < r.imageCount() && r.jumpToImage(i); ++i) {
            const QImage image = r.read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(image.width(), image.height()) << name;
            widths.insert(image.width());
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            if (image.width() == 16) {
                EXPECT_TRUE(seen.insert(bits).second) << name;
            }
        }
        EXPECT_EQ(widths, (std::set<int>{16, 32})) << name;
    }

    // A right answer is mostly green, a wrong one mostly red; both fit a small picture box.
    for (const auto& [name, green] : {std::pair{"dui.jpg", true}, std::pair{"cuo.jpg", false}}) {
        auto r = reader(name);
        EXPECT_EQ(r.format(), "jpeg") << name;
        const QImage image = r.read();
        ASSERT_TRUE(image.width() >= 64 && image.width() <= 96) << name;
        long reds = 0, greens = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                reds += c.red() > 150 && c.green() < 100;
                greens += c.green() > 110 && c.red() < 100;
            }
        }
        const long area = long(image.width()) * image.height();
        EXPECT_GT(green ? greens : reds, area / 20) << name;
        EXPECT_LT(green ? reds : greens, area / 200) << name;
    }
}

}  // namespace
