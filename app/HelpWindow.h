#pragma once

#include <QByteArrayView>
#include <QString>
#include <QWidget>

class QTextEdit;

namespace mozhou {

// The help window `help`: the text of help.txt, read once each time the window is opened.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    // `folder` holds help.txt; the program folder unless a test points elsewhere.
    explicit HelpWindow(const QString& folder = defaultFolder(), QWidget* parent = nullptr);

    QTextEdit* richTextBox1() const { return RichTextBox1_; }

    // The text the window shows for help.txt in `folder`: every line of the file, an empty one
    // too, after four blanks and closed by CR LF. A missing or unreadable file gives an empty
    // text.
    static QString readHelpText(const QString& folder);
    // Code page 936 (GBK) bytes as text; a byte sequence that is not GBK shows as U+FFFD.
    static QString decodeCp936(QByteArrayView bytes);
    static QString defaultFolder();

  private:
    QTextEdit* RichTextBox1_ = nullptr;
};

}  // namespace mozhou
