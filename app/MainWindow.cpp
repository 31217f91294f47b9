#include "MainWindow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>

#include "bank_path.h"
#include "failure_text.h"
#include "looks.h"
#include "message_box.h"
#include "shell.h"
#include "sql_texts.h"
#include "window_registry.h"

namespace mozhou {

namespace {

// The bytes of a regular file, nothing for anything else: opening a named pipe the usual way
// would wait for a writer that never comes, before any window shows.
QByteArray regularFileBytes(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray bytes;
    struct stat st {};
    QFile file;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        bytes = file.readAll();
    file.close();
    ::close(fd);
    return bytes;
}

constexpr std::uint32_t kBackground = 0x00C0C000;

struct CaptionLayout {
    const char* name;
    const char* text;
    int left, top, width, height;
    double pointSize;
};

constexpr CaptionLayout kCaptions[MainWindow::kLabels] = {
    {"Label1", "学习", 480, 240, 840, 300, 15},
    {"Label2", "测试", 1680, 240, 735, 255, 15},
    {"Label3", "错题演练", 2760, 240, 1095, 255, 12},
    {"Label4", "退出", 4200, 240, 615, 255, 12},
};

// Each caption's frame rectangle in twips: (x1, y1) to (x2, y2).
struct FrameLayout {
    int x1, y1, x2, y2;
};
constexpr FrameLayout kFrames[MainWindow::kLabels] = {
    {360, 120, 1440, 600},
    {1560, 120, 2520, 600},
    {2640, 120, 3960, 600},
    {4080, 120, 4920, 600},
};

// Lines 4(N-1)+1 … 4(N-1)+4 frame label N as left, top, right and bottom edge.
constexpr int kLeft = 0, kTop = 1, kRight = 2, kBottom = 3;

// With the standard system colours every frame starts raised.
constexpr std::uint32_t kStartColours[MainWindow::kLines] = {
    looks::kWhite,
    looks::kWhite,
    looks::kBlack,
    looks::kBlack,
    looks::kSysCaptionText,
    looks::kSysCaptionText,
    looks::kSysWindowText,
    looks::kSysWindowText,
    looks::kSysWindowBackground,
    looks::kSysWindowBackground,
    looks::kSysWindowText,
    looks::kSysWindowText,
    looks::kSysHighlightText,
    looks::kSysHighlightText,
    looks::kSysWindowText,
    looks::kSysWindowText,
};

// Where the installer archive of the newest version is offered.
constexpr const char* kDownloadAddress = "https://mozhou.example.org/download/setup.rar";

// The windows that caption buttons 1 to 3 open.
const char* const kCaptionWindows[3] = {"xuexi", "cheshi", "cuoti"};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("main");
    setWindowTitle(kAppTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    surface_ = new QWidget(this);
    surface_->setObjectName("surface");
    surface_->setAutoFillBackground(true);
    QPalette palette = surface_->palette();
    palette.setColor(QPalette::Window, looks::colour(kBackground));
    surface_->setPalette(palette);
    surface_->setMouseTracking(true);
    surface_->installEventFilter(this);
    setCentralWidget(surface_);

    for (int i = 0; i < kLines; ++i) lines_[i] = Line{kStartColours[i], 1};

    buildCaptions();
    buildMenus();
    loadBackground();

    const QSize client(looks::px(15240), looks::px(10830));
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void MainWindow::buildCaptions() {
    for (int i = 0; i < kLabels; ++i) {
        const CaptionLayout& place = kCaptions[i];
        auto* label = new QLabel(QString::fromUtf8(place.text), surface_);
        label->setObjectName(place.name);
        label->setGeometry(looks::pxRect(place.left, place.top, place.width, place.height));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(looks::songFont(place.pointSize));
        label->setAutoFillBackground(false);  // the window's colour or picture shows through
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, looks::colour(looks::kSysHighlight));
        label->setPalette(palette);
        label->setCursor(looks::handCursor());
        label->setMouseTracking(true);
        label->installEventFilter(this);
        labels_[i] = label;
    }
}

void MainWindow::buildMenus() {
    auto named = [](QAction* action, const char* name) {
        action->setObjectName(name);
        return action;
    };
    auto& registry = WindowRegistry::instance();

    QMenu* sjcl = menuBar()->addMenu(QStringLiteral("数据处理"));
    sjcl->setObjectName("sjcl");
    connect(named(sjcl->addAction(QStringLiteral("数据录入")), "sjlr"), &QAction::triggered, this,
            [&registry] {
                // The one show request whose failures are ignored.
                try {
                    registry.show("shujuluru");
                } catch (...) {
                }
            });
    named(sjcl->addSeparator(), "sjcl1");
    connect(named(sjcl->addAction(QStringLiteral("数据导入")), "sjdr"), &QAction::triggered, this,
            [&registry] { registry.show("shujudaoru"); });
    connect(named(sjcl->addAction(QStringLiteral("数据导出")), "sjdc"), &QAction::triggered, this,
            [&registry] { registry.show("shujudaochu"); });

    connect(named(menuBar()->addAction(QStringLiteral("错题记录")), "ctjl"), &QAction::triggered,
            this, [&registry] { registry.show("chengji"); });

    QMenu* bangzhu = menuBar()->addMenu(QStringLiteral("帮助"));
    bangzhu->setObjectName("bangzhu");
    connect(named(bangzhu->addAction(QStringLiteral("使用帮助")), "bangzhu1"), &QAction::triggered,
            this, [&registry] { registry.show("help"); });
    named(bangzhu->addSeparator(), "bangzhu2");
    connect(named(bangzhu->addAction(QStringLiteral("下载最新版")), "bangzhu11"),
            &QAction::triggered, this,
            [] { shellOpen(QUrl(QString::fromLatin1(kDownloadAddress))); });
    named(bangzhu->addSeparator(), "bangzhu10");
    connect(named(bangzhu->addAction(QStringLiteral("关于")), "bangzhu5"), &QAction::triggered,
            this, [&registry] { registry.show("guanyu"); });
    named(bangzhu->addSeparator(), "bangzhu6");
    connect(named(bangzhu->addAction(QStringLiteral("退出")), "bangzhu7"), &QAction::triggered,
            this, &QWidget::close);

    // The popup of the free surface; it never appears in the menu bar.
    pop_ = new QMenu(QStringLiteral("pop1"), this);
    pop_->setObjectName("pop");
    connect(named(pop_->addAction(QStringLiteral("更换背景")), "pop2"), &QAction::triggered, this,
            &MainWindow::changeBackground);
    connect(named(pop_->addAction(QStringLiteral("werrewrew")), "pop3"), &QAction::triggered, this,
            [this] { setCaptionBold(1, true); });
    named(pop_->addAction(QStringLiteral("sfsfsfd")), "pop4");
}

std::uint32_t MainWindow::lineColour(int n) const { return lines_.at(n - 1).colour; }

int MainWindow::lineWidth(int n) const { return lines_.at(n - 1).width; }

QLabel* MainWindow::label(int n) const { return labels_.at(n - 1); }

bool MainWindow::captionBold(int n) const { return label(n)->font().bold(); }

int MainWindow::labelIndex(QObject* object) const {
    for (int i = 0; i < kLabels; ++i)
        if (labels_[i] == object) return i + 1;
    return 0;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == surface_) {
        switch (event->type()) {
            case QEvent::Paint:
                paintLines();
                return true;
            case QEvent::MouseMove:
                surfaceMove();
                return true;
            case QEvent::MouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                surfaceDown(mouse->button(), mouse->globalPosition().toPoint());
                return true;
            }
            default:
                return QMainWindow::eventFilter(watched, event);
        }
    }
    const int n = labelIndex(watched);
    if (n == 0) return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            labelDown(n);
            return true;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool over = labels_[n - 1]->rect().contains(mouse->position().toPoint());
            labelUp(n);
            // A click is a press and release over the same caption; it follows the release.
            if (over) labelClick(n);
            return true;
        }
        case QEvent::MouseMove:
            labelMove(n);
            return true;
        default:
            return QMainWindow::eventFilter(watched, event);
    }
}

void MainWindow::paintLines() {
    QPainter painter(surface_);
    // At its own size from the top-left corner; the background colour shows beyond it.
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
    for (int f = 0; f < kLabels; ++f) {
        const FrameLayout& frame = kFrames[f];
        const int x1 = looks::px(frame.x1), y1 = looks::px(frame.y1);
        const int x2 = looks::px(frame.x2), y2 = looks::px(frame.y2);
        const QLine edges[4] = {QLine(x1, y1, x1, y2), QLine(x1, y1, x2, y1), QLine(x2, y1, x2, y2),
                                QLine(x1, y2, x2, y2)};
        for (int e = 0; e < 4; ++e) {
            const Line& line = lines_[f * 4 + e];
            painter.setPen(
                QPen(looks::colour(line.colour), line.width, Qt::SolidLine, Qt::SquareCap));
            painter.drawLine(edges[e]);
        }
    }
}

void MainWindow::labelDown(int n) {
    const int base = (n - 1) * 4;
    lines_[base + kLeft].colour = looks::kSysWindowText;
    lines_[base + kTop].colour = looks::kSysWindowText;
    lines_[base + kRight].colour = looks::kWhite;
    lines_[base + kBottom].colour = looks::kWhite;
    pressedLabel_ = n;
    surface_->update();
}

void MainWindow::labelUp(int n) {
    const int base = (n - 1) * 4;
    lines_[base + kLeft].colour = looks::kWhite;
    lines_[base + kTop].colour = looks::kWhite;
    lines_[base + kRight].colour = looks::kSysWindowText;
    lines_[base + kBottom].colour = looks::kSysWindowText;
    pressedLabel_ = 0;
    surface_->update();
}

void MainWindow::labelMove(int n) {
    const int base = (n - 1) * 4;
    for (int e = 0; e < 4; ++e) lines_[base + e].width = 2;
    setCaptionBold(n, true);
    surface_->update();
}

void MainWindow::labelClick(int n) {
    if (n == 4) {
        close();
        return;
    }
    WindowRegistry::instance().show(kCaptionWindows[n - 1]);
}

void MainWindow::surfaceMove() {
    for (Line& line : lines_) line.width = 1;
    for (int n = 1; n <= kLabels; ++n) setCaptionBold(n, false);
    surface_->update();
}

void MainWindow::surfaceDown(Qt::MouseButton button, const QPoint& globalPos) {
    if (button == Qt::RightButton) pop_->popup(globalPos);
}

void MainWindow::setCaptionBold(int n, bool bold) {
    QLabel* caption = label(n);
    QFont font = caption->font();
    if (font.bold() == bold) return;
    font.setBold(bold);
    caption->setFont(font);
}

void MainWindow::showPicture(const QString& path) {
    // A picture that cannot be loaded leaves the window as it was, without a word.
    if (path.isEmpty()) return;
    QPixmap loaded;
    if (!loaded.loadFromData(regularFileBytes(path))) return;
    loaded.setDevicePixelRatio(1);
    picture_ = loaded;
    surface_->update();
}

void MainWindow::loadBackground() {
    // The program has checked or created the bank before this window; a bank that still
    // cannot be read was reported there, and the window simply starts without a picture.
    QString path;
    try {
        dao::Workspace ws("", "admin", "");
        auto db = ws.OpenDatabase(bankPath());
        auto rs = db.OpenRecordset(bank::sql::background());
        if (!rs.Eof()) path = QString::fromStdString(rs.Fields(0).text());
        rs.Close();
    } catch (const std::exception&) {
        return;
    }
    showPicture(path);
}

void MainWindow::changeBackground() {
    CommonDialog1_.DialogTitle = QStringLiteral("请输入图片名");
    CommonDialog1_.Filter = QStringLiteral("jpg图片（*.jpg）|*.jpg");
    CommonDialog1_.ShowOpen(this);
    const QString name = CommonDialog1_.FileName;
    if (name.isEmpty()) return;
    QString stored;
    try {
        db_.reset();
        ws_.emplace("", "admin", "");
        db_ = ws_->OpenDatabase(bankPath());
    } catch (const std::exception& e) {
        showFailure(this, e, {QStringLiteral("背景图片没有保存")});
        return;
    }
    try {
        auto rs = db_->OpenRecordset(bank::sql::background());
        if (rs.RecordCount() != 0)
            rs.Edit();
        else
            rs.AddNew();
        rs.Fields(0) = jet::Value{name.toStdString()};
        rs.Update();
        if (!rs.Eof()) stored = QString::fromStdString(rs.Fields(0).text());
        rs.Close();
    } catch (const std::exception& e) {
        showFailure(this, e,
                    {QStringLiteral("背景图片没有保存"), {}, QStringLiteral("这次选的图片")});
        return;
    }
    showPicture(stored);
}

}  // namespace mozhou
