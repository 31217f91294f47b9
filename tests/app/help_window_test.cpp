#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include "HelpWindow.h"
#include "window_registry.h"
#include "window_test.h"
#include "windows.h"

using mozhou::HelpWindow;
using mozhou::WindowRegistry;

namespace {

struct HelpWindowTest : ::testing::Test {
    QTemporaryDir folder;

    void write(const QByteArray& bytes) {
        QFile file(folder.filePath("help.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QString read() { return HelpWindow::readHelpText(folder.path()); }

    void TearDown() override {
        delete WindowRegistry::instance().find("help");
        WindowRegistry::instance().unregisterFactory("help");
    }
};

// Every line indented and closed by a line break, decoded from code page 936.
TEST_F(HelpWindowTest, TextIndentedDecodedAndReadOnceWhileOpen) {
    EXPECT_EQ(read(), "");  // no file
    const std::pair<QByteArray, QString> cases[] = {
        {"", ""},
        {"first\r\nlast", "    first\r\n    last\r\n"},  // the last line needs no line end
        {"a\r\n\r\nb\r\n", "    a\r\n    \r\n    b\r\n"},
        {"a\rb\nc\n\rd", "    a\r\n    b\r\n    c\r\n    \r\n    d\r\n"},  // lone CR, lone LF
        // "帮助：中文" in GBK, then the euro sign (0x80 in code page 936).
        {"\xB0\xEF\xD6\xFA\xA3\xBA\xD6\xD0\xCE\xC4\r\n\x80 ok",
         QStringLiteral("    帮助：中文\r\n    € ok\r\n")},
        // A byte that starts no character and a character cut off do not lose the rest.
        {"\xFF"
         "a\r\n\xD6",
         QStringLiteral("    \uFFFDa\r\n    \uFFFD\r\n")},
    };
    for (const auto& [bytes, expected] : cases) {
        write(bytes);
        EXPECT_EQ(read(), expected) << bytes.toStdString();
    }
    // A folder cannot be read as a file: an empty text too.
    ASSERT_TRUE(QFile::remove(folder.filePath("help.txt")));
    ASSERT_TRUE(QDir(folder.path()).mkdir("help.txt"));
    EXPECT_EQ(read(), "");

    // The window reads its text once while open, and again once closed and opened.
    mozhou::registerWindows();
    QWidget* shown = WindowRegistry::instance().show("help");
    ASSERT_NE(qobject_cast<HelpWindow*>(shown), nullptr);
    // The registered window reads the program folder's help text.
    if (QFile::exists(HelpWindow::defaultFolder() + "/help.txt")) {
        EXPECT_TRUE(qobject_cast<HelpWindow*>(shown)->richTextBox1()->toPlainText().startsWith(
            QStringLiteral("    墨舟题苑 使用帮助\n")));
    }
    delete shown;

    // The same window over a help text of the test's own.
    ASSERT_TRUE(QDir(folder.path()).rmdir("help.txt"));
    write("\xB5\xDA\xD2\xBB\xD0\xD0\r\n\r\none");  // "第一行", a blank line, "one"
    WindowRegistry::instance().registerFactory("help",
                                               [this] { return new HelpWindow(folder.path()); });
    QPointer<QWidget> first = WindowRegistry::instance().show("help");
    auto text = [&] { return qobject_cast<HelpWindow*>(first)->richTextBox1()->toPlainText(); };
    EXPECT_EQ(text(), QStringLiteral("    第一行\n    \n    one\n"));
    write("two");
    EXPECT_EQ(WindowRegistry::instance().show("help"), first);
    EXPECT_TRUE(text().endsWith("one\n"));  // a second request only raises the window

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    first = WindowRegistry::instance().show("help");
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(text(), "    two\n");
}

}  // namespace
