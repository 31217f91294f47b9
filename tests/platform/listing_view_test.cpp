// The long listing shows, scrolls, selects and copies as one text while reading only the
// entries that come into view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "ListingView.h"

namespace {

QString entry(std::size_t i) {
    // Entries of one and of five lines, some wrapping, ended with CR LF as the listing ends them.
    QString text = QString::number(i + 1) + QStringLiteral(".题") + QString(int(i % 7) * 9, u'字') +
                   QStringLiteral("(A)\r\n");
    if (i % 2 == 0)
        for (const char* letter : {"  A.", "  B.", "  C.", "  D."})
            text += QLatin1String(letter) + QStringLiteral("项\r\n");
    return text;
}

QString asShown(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

TEST(ListingView, ReadsOnlyWhatIsSeenYetCopiesTheWhole) {
    constexpr std::size_t kCount = 100000;
    std::size_t asked = 0;
    mozhou::ListingView view;
    view.resize(480, 300);
    view.setEntries(kCount, [&](std::size_t i) {
        ++asked;
        return entry(i);
    });
    view.show();
    QApplication::processEvents();
    EXPECT_LT(asked, 200u);

    // To the end and back: the last entry is reached, still without reading the rest.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_GT(view.topEntry(), kCount - 20);
    EXPECT_LT(asked, 400u);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.topEntry(), 0u);

    // A drag from the first entry's start down the screen selects across entry boundaries.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 120),
                     view.viewport()->mapToGlobal(QPointF(60, 120)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    const QString part = view.selectedText();
    EXPECT_TRUE(asShown(entry(0) + entry(1) + entry(2) + entry(3)).startsWith(part));
    EXPECT_GT(part.size(), asShown(entry(0)).size());

    // Select all and copy: every entry in order, lines ended by LF as a text box copies them.
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QString whole;
    for (std::size_t i = 0; i < kCount; ++i) whole += entry(i);
    EXPECT_TRUE(copied == asShown(whole));
    EXPECT_TRUE(view.toPlainText() == copied);

    view.setPlainText(QStringLiteral("一行\r二行"));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("一行\n二行"));
    EXPECT_EQ(view.selectedText(), QString());
}

}  // namespace
