// What the export and import windows share: their controls' naming and font, and the status
// label and progress bar they drive alike (the waiting text, the window's own reports, the bar
// while rows are copied, and the outcome).
#pragma once

#include <QString>
#include <filesystem>
#include <functional>

#include "looks.h"
#include "transfer.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace mozhou {

// Both windows name each control for its code and give it their 9 pt 宋体.
template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(name);
    w->setFont(looks::songFont(9));
    return w;
}

inline std::filesystem::path toPath(const QString& s) {
    return std::filesystem::path(s.toStdString());
}

// What one window says about its run.
struct TransferTexts {
    QString running;      // "正在导出" / "正在导入"
    QString done;         // "导出完毕" / "导入完毕"
    QString empty;        // the label when there is nothing to copy
    QString failed;       // the label after a failed write
    QString unreadable;   // message box; %1 is the number of rows that could not be read
    QString failMessage;  // message box, before the sentence that tells the failure
};

class TransferStatus {
  public:
    TransferStatus(QLabel* label, QProgressBar* bar, QString ready);

    // A report of the window's own (an empty selection, an unreadable file); it stays until a
    // usable selection brings the waiting text back.
    void report(const QString& status);
    // A usable selection was made: the waiting text replaces a report of ours, never a step.
    void selectionUsable();
    void showEmpty(const TransferTexts& texts) { report(texts.empty); }

    // Runs `transfer` into the file `target` inside the click, redrawing the label and the bar
    // as it goes, and shows its outcome in the label and, for a failure, in a message box over
    // `owner`.
    exchange::Outcome run(
        QWidget* owner, const TransferTexts& texts, const std::filesystem::path& target,
        const std::function<exchange::Outcome(const exchange::Progress&)>& transfer);

  private:
    QLabel* label_;
    QProgressBar* bar_;
    QString ready_;
    bool reportShown_ = false;
};

}  // namespace mozhou
