#include "message_box.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

TEST(MessageBox, TitleOneOkButtonNoIcon) {
    QString title, text;
    int buttons = -1;
    QMessageBox::Icon icon = QMessageBox::Critical;
    // The box is modal; inspect and dismiss it from inside its own event loop.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = int(box->buttons().size());
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    mozhou::showMessage(nullptr, QStringLiteral("测试完毕!"));
    EXPECT_EQ(title, QStringLiteral("墨舟题苑"));
    EXPECT_EQ(text, QStringLiteral("测试完毕!"));
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}
