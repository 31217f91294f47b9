#include "GuanyuWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "looks.h"
#include "maker.h"
#include "shell.h"

namespace mozhou {

GuanyuWindow::GuanyuWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("guanyu");
    setWindowTitle(QStringLiteral("关于"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Fixed dialog border without minimize and maximize buttons. A dialog, not a tool window:
    // it counts as an open window when the program decides whether to end.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(looks::px(5220), looks::px(3900));

    Shape1_ = new QFrame(this);
    Shape1_->setObjectName("Shape1");
    Shape1_->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1_->setLineWidth(1);
    Shape1_->setGeometry(looks::pxRect(120, 120, 4695, 3615));

    addLabel("Label1", QString::fromUtf8(maker::kProductTitle), looks::pxRect(840, 360, 3600, 435),
             21.75);
    addLabel("Label2", QString::fromUtf8(maker::kMakerName), looks::pxRect(1200, 960, 2700, 285),
             14.25);
    addLabel("Label3", QStringLiteral("编程：") + QString::fromUtf8(maker::kProgrammer),
             looks::pxRect(1320, 1320, 1260, 210), 10.5);
    addLabel("Label4", QStringLiteral("数据：") + QString::fromUtf8(maker::kQuestionSuppliers),
             looks::pxRect(1320, 1680, 2520, 210), 10.5);

    Text1_ =
        addTextBox("Text1", QStringLiteral("E-mail：") + QString::fromUtf8(maker::kEmailAddress),
                   looks::pxRect(1200, 2040, 2775, 270));
    Text2_ = addTextBox("Text2", QString::fromUtf8(maker::kWebSiteAddress),
                        looks::pxRect(1200, 2520, 2775, 270));
    Text2_->setCursor(looks::handCursor());
    Text2_->installEventFilter(this);

    Command1_ = new QPushButton(QStringLiteral("确定"), this);
    Command1_->setObjectName("Command1");
    Command1_->setGeometry(looks::pxRect(1920, 3000, 1215, 495));
    Command1_->setFont(looks::songFont(9));
    connect(Command1_, &QPushButton::clicked, this, &QWidget::close);
    Command1_->installEventFilter(this);

    // Tab indexes 4, 5, 6: the button first, then the two boxes.
    setTabOrder(Command1_, Text1_);
    setTabOrder(Text1_, Text2_);
    Command1_->setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QLabel* GuanyuWindow::addLabel(const char* name, const QString& text, QRect place,
                               double pointSize) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setFont(looks::songFont(pointSize));
    return label;
}

QLineEdit* GuanyuWindow::addTextBox(const char* name, const QString& text, QRect place) {
    auto* box = new QLineEdit(text, this);
    box->setObjectName(name);
    box->setGeometry(place);
    box->setFont(looks::songFont(9));
    box->setCursorPosition(0);
    return box;
}

bool GuanyuWindow::eventFilter(QObject* watched, QEvent* event) {
    // Any click into the address, with any button, opens the maker's site; what the box
    // shows is not read.
    if (watched == Text2_ && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (Text2_->rect().contains(mouse->position().toPoint()))
            shellOpen(QUrl(QString::fromUtf8(maker::kWebSiteAddress)));
    }
    // Enter presses the focused 确定, as in a dialog.
    if (watched == Command1_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Command1_->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace mozhou
