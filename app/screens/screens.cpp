// mozhou-screens OUTDIR: opens each window of the program over a fresh sample bank, drives it
// into a typical state through its own controls and saves a picture of it in OUTDIR.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "MainWindow.h"
#include "bank_path.h"
#include "common_dialog.h"
#include "first_run.h"
#include "language.h"
#include "message_box.h"
#include "window_registry.h"
#include "windows.h"

namespace fs = std::filesystem;
using namespace mozhou;

namespace {

QString outDir;
int failures = 0;

void save(QWidget* w, const QString& name) {
    QTest::qWait(150);
    // A first drawing lets lazy views read their rows and settle (a grid whose rows went away
    // reads its query again), as on screen.
    if (w) w->grab();
    QTest::qWait(50);
    const QString file = outDir + "/" + name + ".png";
    if (!w || !w->grab().save(file)) {
        std::fprintf(stderr, "could not draw %s\n", qPrintable(name));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

template <typename T = QWidget>
T* child(QWidget* w, const char* name) {
    return w ? w->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// Clicks the first node whose text is `text`, opening its ancestors first.
void clickNode(QWidget* window, const QString& text) {
    auto* tree = child<QTreeWidget>(window, "TreeView1");
    if (!tree) return;
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) return;
    for (auto* p = found.front()->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(found.front());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(found.front()).center());
}

QWidget* open(const char* name) {
    QWidget* w = WindowRegistry::instance().show(QString::fromLatin1(name));
    if (!w) std::fprintf(stderr, "no window %s\n", name);
    QTest::qWait(100);
    return w;
}

void click(QWidget* window, const char* button) {
    if (auto* b = child<QAbstractButton>(window, button)) QTest::mouseClick(b, Qt::LeftButton);
}

// Answers every question of the running test or drill: multiple choice with option A, fill-in
// with `typed`. Stops after `answers` answers.
void answer(QWidget* window, int answers, const QString& typed) {
    for (int i = 0; i < answers; ++i) {
        const auto options = window->findChildren<QRadioButton*>();
        auto* box = child<QLineEdit>(window, "Text1");
        if (!options.isEmpty() && options.front()->isEnabled()) {
            QTest::mouseClick(options.front(), Qt::LeftButton);
        } else if (box && box->isEnabled()) {
            box->setText(typed);
            click(window, "Command1");
        } else {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    mozhou::useChinese();  // the windows as the program shows them
    if (argc != 2) {
        std::fprintf(stderr, "usage: mozhou-screens OUTDIR\n");
        return 1;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    const fs::path work = fs::path(argv[1]) / "bank";
    fs::remove_all(work);
    fs::create_directories(work);
    setBankPath(work / "shujuku.mdb");
    bank::ensureBank(bankPath(), programFolder() / "sample_bank.jsonl");
    // Messages go to the terminal: nothing may wait for a click here.
    setMessageHandler(
        [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
    registerWindows();

    // A background picture larger than the window, so its top-left part shows.
    const QString picture = QString::fromStdString((work / "back.jpg").string());
    {
        QImage image(1600, 1200, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient g(0, 0, 1600, 1200);
        g.setColorAt(0, QColor(90, 150, 200));
        g.setColorAt(1, QColor(240, 230, 200));
        p.fillRect(image.rect(), g);
        p.setPen(QPen(Qt::white, 6));
        for (int x = 0; x < 1600; x += 100) p.drawLine(x, 0, x + 300, 1200);
        p.end();
        image.save(picture, "JPG");
    }
    QString exportTarget = QString::fromStdString((work / "export.mdb").string());
    QString importSource;
    CommonDialog::setHandler(
        [&](const CommonDialog& d, CommonDialog::Kind) -> std::optional<QString> {
            if (d.DialogTitle == QStringLiteral("请输入图片名")) return picture;
            if (d.DialogTitle == QStringLiteral("请输入数据库名")) return exportTarget;
            return importSource;
        });

    MainWindow main;
    main.show();
    main.changeBackground();
    save(&main, "main");

    save(open("help"), "help");
    save(open("guanyu"), "guanyu");

    if (QWidget* w = open("shujuluru")) {
        auto* grade = child<QComboBox>(w, "Combo1");
        auto* subject = child<QComboBox>(w, "Combo2");
        auto* lesson = child<QComboBox>(w, "Combo3");
        if (grade && subject && lesson) {
            grade->setCurrentText(QStringLiteral("初一"));
            subject->setCurrentText(QStringLiteral("语文"));
            lesson->setCurrentText(QStringLiteral("古诗词"));
            emit lesson->activated(lesson->currentIndex());
        }
        save(w, "shujuluru");
    }

    if (QWidget* w = open("xuexi")) {
        clickNode(w, QStringLiteral("古诗词"));
        save(w, "xuexi");
    }

    if (QWidget* w = open("shujudaochu")) {
        clickNode(w, QStringLiteral("初一"));
        click(w, "Command2");
        click(w, "Command1");
        save(w, "shujudaochu");
    }

    if (QWidget* w = open("shujudaoru")) {
        importSource = exportTarget;
        click(w, "Command2");
        // The target: the bank itself, chosen in the file list that starts in its folder.
        if (auto* files = child<QListWidget>(w, "File2")) {
            const auto found = files->findItems(QStringLiteral("shujuku.mdb"), Qt::MatchExactly);
            if (!found.isEmpty())
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                                  files->visualItemRect(found.front()).center());
        }
        save(w, "shujudaoru-chosen");
        click(w, "Command1");
        save(w, "shujudaoru");
    }

    for (const char* name : {"cheshi", "cuoti"}) {
        if (QWidget* w = open(name)) {
            clickNode(w, QStringLiteral("古诗词"));
            answer(w, 2, QStringLiteral("王"));
            save(w, QString::fromLatin1(name) + "-running");
            answer(w, 1000, QStringLiteral("王"));
            save(w, QString::fromLatin1(name) + "-finished");
            click(w, "Command3");
        }
    }

    save(open("chengji"), "chengji");
    return failures ? 2 : 0;
}
