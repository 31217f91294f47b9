#include "HelpWindow.h"

#include <iconv.h>
#include <QFile>
#include <QTextEdit>
#include <cerrno>
#include <memory>

#include "bank_path.h"
#include "looks.h"

namespace mozhou {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(cd); }
};

}  // namespace

HelpWindow::HelpWindow(const QString& folder, QWidget* parent) : QWidget(parent) {
    setObjectName("help");
    setWindowTitle(QStringLiteral("帮助"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Fixed single border: a close box, no minimize and no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(looks::px(9285), looks::px(9510));

    RichTextBox1_ = new QTextEdit(this);
    RichTextBox1_->setObjectName("RichTextBox1");
    RichTextBox1_->setGeometry(looks::pxRect(120, 120, 9135, 9375));
    RichTextBox1_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichTextBox1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichTextBox1_->setAcceptRichText(false);
    // Nothing typed here would ever be read or saved, so the text only reads and selects.
    RichTextBox1_->setReadOnly(true);
    RichTextBox1_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    QPalette palette = RichTextBox1_->palette();
    palette.setColor(QPalette::Base, looks::colour(looks::kSysWindowBackground));
    RichTextBox1_->setPalette(palette);

    RichTextBox1_->setFont(looks::songFont(14));
    RichTextBox1_->setPlainText(readHelpText(folder));
}

QString HelpWindow::defaultFolder() { return QString::fromStdString(programFolder().string()); }

QString HelpWindow::readHelpText(const QString& folder) {
    QFile file(folder + QStringLiteral("/help.txt"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {};
    const QString content = decodeCp936(bytes);

    // A line ends at CR, CR LF or (for files written on this system) LF alone.
    QString text;
    const QString indent = QStringLiteral("    ");
    const QString lineEnd = QStringLiteral("\r\n");
    qsizetype start = 0;
    const qsizetype n = content.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && content[end] != u'\r' && content[end] != u'\n') ++end;
        text += indent + content.mid(start, end - start) + lineEnd;
        if (end < n && content[end] == u'\r' && end + 1 < n && content[end + 1] == u'\n') ++end;
        start = end + 1;
    }
    return text;
}

QString HelpWindow::decodeCp936(QByteArrayView bytes) {
    const iconv_t opened = ::iconv_open("UTF-8", "CP936");
    // Without the converter only the ASCII half of the text could be trusted.
    if (opened == iconv_t(-1)) return QString::fromLatin1(bytes.data(), bytes.size());
    const std::unique_ptr<void, IconvCloser> cd(opened);
    QByteArray utf8;
    utf8.reserve(bytes.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = std::size_t(bytes.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = ::iconv(opened, &in, &inLeft, &out, &outLeft);
        utf8.append(buffer, out - buffer);
        if (done != std::size_t(-1)) break;
        if (errno == E2BIG) continue;
        // A byte that starts no GBK character, or a character cut off at the end: mark it
        // and go on with the next byte.
        utf8.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
    }
    return QString::fromUtf8(utf8);
}

}  // namespace mozhou
