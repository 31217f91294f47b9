// The tree icons and the answer pictures load the way the windows load them.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <set>
#include <utility>

namespace {

QString programFile(const char* name) {
    return QString::fromUtf8(MOZHOU_PROGRAM_DIR) + "/" + QString::fromUtf8(name);
}

class Pictures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "resources_tests";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc, argv);
    }
    static inline QGuiApplication* app_ = nullptr;
};

// Each icon holds a 16- and a 32-pixel picture; the four must be told apart in a tree.
TEST_F(Pictures, IconsHoldA16And32PixelPictureAndDiffer) {
    std::set<QByteArray> seen;
    for (const char* name : {"aaa.ico", "bbb.ico", "ccc.ico", "ddd.ico"}) {
        QImageReader reader(programFile(name));
        ASSERT_TRUE(reader.canRead()) << name << ": " << reader.errorString().toStdString();
        EXPECT_EQ(reader.format(), "ico") << name;
        std::set<std::pair<int, int>> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            ASSERT_TRUE(reader.jumpToImage(i)) << name;
            const QImage image = reader.read();
            ASSERT_FALSE(image.isNull()) << name << " picture " << i;
            EXPECT_TRUE(image.hasAlphaChannel()) << name;
            sizes.insert({image.width(), image.height()});
            const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
            if (i == 1) {
                EXPECT_TRUE(seen.insert(QByteArray(reinterpret_cast<const char*>(argb.constBits()),
                                                   argb.sizeInBytes()))
                                .second)
                    << name;
            }
        }
        EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{16, 16}, {32, 32}})) << name;
        EXPECT_EQ(QIcon(programFile(name)).pixmap(16, 16).size(), QSize(16, 16)) << name;
    }
}

// A right answer is mostly green, a wrong one mostly red; both fit a small picture box.
TEST_F(Pictures, AnswerPicturesAreJpegsOfTheRightColour) {
    struct Expected {
        const char* name;
        bool green;
    };
    for (const Expected& e : {Expected{"dui.jpg", true}, Expected{"cuo.jpg", false}}) {
        QImageReader reader(programFile(e.name));
        EXPECT_EQ(reader.format(), "jpeg") << e.name;
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << e.name;
        EXPECT_GE(image.width(), 64);
        EXPECT_LE(image.width(), 96);
        EXPECT_EQ(image.width(), image.height());
        long red = 0, green = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 100) ++red;
                if (c.green() > 110 && c.red() < 100) ++green;
            }
        }
        const long area = static_cast<long>(image.width()) * image.height();
        if (e.green) {
            EXPECT_GT(green, area / 20) << e.name;
            EXPECT_LT(red, area / 200) << e.name;
        } else {
            EXPECT_GT(red, area / 20) << e.name;
            EXPECT_LT(green, area / 200) << e.name;
        }
    }
}

}  // namespace
