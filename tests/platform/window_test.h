// What the window tests share: the Qt widgets they drive, message and input boxes answered by
// the test, another program at the bank, and small ways to reach and settle widgets.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DataGrid.h"
#include "bank_path.h"
#include "exchange_test_util.h"
#include "message_box.h"
#include "tree_click.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace mozhou_test {

// Every message is kept in `messages`; the input box gets `answers` in turn (nullopt for a
// cancel).
struct AnswerBoxes {
    QStringList messages;
    std::vector<std::optional<QString>> answers;

    AnswerBoxes() {
        mozhou::setMessageHandler([this](const QString& m) { messages << m; });
        mozhou::setAskTextHandler([this] { return next(); });
    }
    // The next answer; a box shown once too often fails the test.
    std::optional<QString> next() {
        EXPECT_FALSE(answers.empty()) << "a box was shown once too often";
        if (answers.empty()) return std::nullopt;
        const auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    ~AnswerBoxes() {
        mozhou::setAskTextHandler({});
        mozhou::setMessageHandler({});
    }
    // The handlers hold `this`.
    AnswerBoxes(const AnswerBoxes&) = delete;
    AnswerBoxes& operator=(const AnswerBoxes&) = delete;
};

// A bank of the test's own in a fresh folder, the one the windows use while the test runs.
struct BankTest : ::testing::Test, AnswerBoxes {
    std::filesystem::path dir =
        exchange_test::scratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::path bank = dir / "shujuku.mdb";

    void useBank(const std::vector<exchange_test::Row>& rows, bool onlyTiku = false) {
        exchange_test::makeBank(bank, rows, onlyTiku);
        mozhou::setBankPath(bank);
    }
    ~BankTest() override { mozhou::setBankPath({}); }
};

// A new window of type W, shown and active.
template <typename W>
W* openWindow() {
    auto* w = new W;
    w->show();
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
}

// Another program changing `file` while this lives: a write lock over the whole file, or over
// its first `length` bytes (as Access holds its lock file).
struct OtherProgram {
    int fd;
    explicit OtherProgram(const std::filesystem::path& file, off_t length = 0)
        : fd(::open(file.c_str(), O_RDWR | O_CLOEXEC)) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_len = length;
        EXPECT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0) << file;
    }
    ~OtherProgram() { ::close(fd); }
};

// `file` read-only for this process while this lives, where `made` (root writes to any file that
// is not immutable).
struct ReadOnly {
    std::string quoted;
    bool made = ::geteuid() == 0
                    ? std::system(("chattr +i " + quoted + " 2>/dev/null").c_str()) == 0
                    : ::chmod(quoted.substr(1, quoted.size() - 2).c_str(), 0444) == 0;
    explicit ReadOnly(const std::filesystem::path& file) : quoted("'" + file.string() + "'") {}
    ~ReadOnly() {
        if (made && ::geteuid() == 0) std::system(("chattr -i " + quoted).c_str());
    }
};

template <typename W = QWidget>
W* child(const QObject* parent, const QString& name) {
    auto* w = parent->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

inline void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

// Windows closed by the test are deleted.
inline void settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The grid's data rows, their cells joined by '|' (or one column's cells).
inline QStringList gridRows(const mozhou::DataGrid* grid, int column = -1) {
    QStringList out;
    for (int r = 0; r < grid->dataRowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            if (column < 0 || c == column) row << grid->cellText(r, c);
        out << row.join('|');
    }
    return out;
}

// Hands the modal box of type `Box` to `answer` once it shows, from inside its event loop.
template <typename Box, typename F>
void whenShown(F answer) {
    QTimer::singleShot(0, [answer] {
        auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        answer(box);
    });
}

}  // namespace mozhou_test
