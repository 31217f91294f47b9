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

namespace {

// Which rows stayed out and why, the first twenty by name.
QString leftOutText(const std::vector<Outcome::LeftOut>& rows) {
    QString text =
        QStringLiteral("以下 %1 道题无法存入目标文件，没有导入，其余的题已导入：").arg(rows.size());
    const std::size_t listed = std::min<std::size_t>(rows.size(), 20);
    for (std::size_t i = 0; i < listed; ++i) {
        const auto& r = rows[i];
        const QString why = r.kind == jet::ErrorKind::Unencodable
                                ? QStringLiteral("含有目标文件无法保存的字符")
                                : QStringLiteral("有内容超出目标文件的长度或数值范围");
        QString name = QString::fromStdString(r.yuanti).simplified();
        if (name.size() > 20) name = name.left(20) + QStringLiteral("…");
        text += QStringLiteral("\n源文件第 %1 题“%2”：%3").arg(r.row).arg(name, why);
    }
    if (rows.size() > listed)
        text += QStringLiteral("\n……另有 %1 道题。").arg(rows.size() - listed);
    return text;
}

}  // namespace

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
            if (!outcome.leftOut.empty()) {
                label_->setText(texts.done +
                                QStringLiteral("，%1题未导入").arg(outcome.leftOut.size()));
                showMessage(owner, leftOutText(outcome.leftOut));
            }
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
