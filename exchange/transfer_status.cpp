#include "transfer_status.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "failure_text.h"
#include "message_box.h"

namespace mozhou {

using exchange::Outcome;
using exchange::Progress;

TransferStatus::TransferStatus(QLabel* label, QProgressBar* bar, QString ready)
    : label_(label), bar_(bar), ready_(std::move(ready)) {
    label_->setText(ready_);
}

void TransferStatus::report(const QString& status) {
    label_->setText(status);
    reportShown_ = true;
}

void TransferStatus::selectionUsable() {
    if (!reportShown_) return;
    label_->setText(ready_);
    reportShown_ = false;
}

Outcome TransferStatus::run(QWidget* owner, const TransferTexts& texts,
                            const std::filesystem::path& target,
                            const std::function<Outcome(const Progress&)>& transfer) {
    label_->setText(texts.running);
    reportShown_ = false;
    // The copy runs without the event loop: the label and the bar are redrawn at once, the
    // bar once a percent.
    label_->repaint();
    int shownPercent = -1;
    const Progress progress{[this](long maximum) {
                                bar_->setMaximum(int(maximum));
                                bar_->setValue(0);
                            },
                            [this, &shownPercent](long value) {
                                bar_->setValue(int(value));
                                const int percent = int(value * 100 / std::max(1, bar_->maximum()));
                                if (percent != shownPercent) {
                                    shownPercent = percent;
                                    bar_->repaint();
                                }
                            }};
    const Outcome outcome = transfer(progress);
    using Status = Outcome::Status;
    switch (outcome.status) {
        case Status::Done:
            label_->setText(texts.done);
            break;
        case Status::Empty:
            report(texts.empty);
            break;
        case Status::Unreadable:
            report(QString::number(outcome.unreadable) + QStringLiteral("题无法读取"));
            showMessage(owner, texts.unreadable.arg(outcome.unreadable));
            break;
        case Status::Failed:
            report(texts.failed);
            try {
                std::rethrow_exception(outcome.failure);
            } catch (const std::exception& e) {
                showFailure(owner, e, {texts.failMessage, target, QStringLiteral("其中一道题")});
            }
            break;
    }
    return outcome;
}

}  // namespace mozhou
