#include "message_box.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QInputDialog>
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

namespace {

// Answers the next input box from inside its event loop.
void answerInputBox(const QString& typed, bool accept, QString* title, QString* prompt) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        *title = dialog->windowTitle();
        *prompt = dialog->labelText();
        dialog->setTextValue(typed);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
}

}  // namespace

TEST(InputBox, EmptyPromptUnderTheTitleAndCancelGivesEmptyText) {
    QString title, prompt = "unset";
    answerInputBox("583904", true, &title, &prompt);
    EXPECT_EQ(mozhou::askText(nullptr), "583904");
    EXPECT_EQ(title, QStringLiteral("墨舟题苑"));
    EXPECT_TRUE(prompt.isEmpty());
    answerInputBox("583904", false, &title, &prompt);
    EXPECT_TRUE(mozhou::askText(nullptr).isEmpty());
}
