// Opening the data grid on the whole bank ("Select tiku.* From tiku ", 100,000 rows) in an
// offscreen window: the time until the grid knows its row count, until its first paint, and
// until it has painted the last rows after a jump to the end, each against one plain full scan
// of tiku in the same run. The grid reads only the rows it shows, so all three should be a
// small part of the scan.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "DataGrid.h"
#include "bench/bankgen/bankgen.h"
#include "dao/dao.h"
#include "sql_texts.h"

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Counts the paints of the grid's cells.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Processes events until the grid has painted once more.
void waitForPaint(PaintCounter& counter) {
    const int before = counter.paints;
    while (counter.paints == before) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 100000;
    const auto path = std::filesystem::temp_directory_path() /
                      ("grid_open_" + std::to_string(::getpid()) + ".mdb");
    bankgen::writeBank(path, count);

    // The scan opens the file for itself, as the grid does; the best of three runs, so that a
    // busy moment does not make the grid look faster than it is.
    std::size_t scanned = 0;
    double scan = 1e30;
    for (int run = 0; run < 3; ++run) {
        const double t0 = now();
        auto db = dao::Database::open(path);
        auto s = db.engine().scan("tiku");
        for (scanned = 0; s.next();) ++scanned;
        scan = std::min(scan, now() - t0);
    }

    mozhou::DataGrid grid;
    grid.resize(900, 600);
    PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);
    grid.setDatabaseName(path);
    grid.setRecordSource(bank::sql::wholeBank());

    const double t1 = now();
    const bool opened = grid.refresh();
    const int rows = grid.dataRowCount();
    const double toCount = now() - t1;
    grid.show();
    waitForPaint(counter);
    const double toPaint = now() - t1;

    const double t2 = now();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    waitForPaint(counter);
    const double toEnd = now() - t2;
    const QString last = grid.cellText(rows - 1, 3);

    std::printf("bank of %zu questions, %.1f MB\n", scanned,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    std::printf("full scan of tiku:               %8.1f ms\n", scan * 1000);
    std::printf("grid row count (%d rows):     %8.1f ms  (%.3f x the scan)\n", rows, toCount * 1000,
                toCount / scan);
    std::printf("grid first paint:                %8.1f ms  (%.3f x the scan)\n", toPaint * 1000,
                toPaint / scan);
    std::printf("jump to the last row and paint:  %8.1f ms  (%.3f x the scan)\n", toEnd * 1000,
                toEnd / scan);
    grid.closeData();
    std::filesystem::remove(path);
    const bool ok = opened && rows == static_cast<int>(scanned) && !last.isEmpty();
    if (!ok) std::printf("the grid did not show the bank's rows\n");
    return ok ? 0 : 1;
}
