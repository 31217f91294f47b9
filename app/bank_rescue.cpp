#include "bank_rescue.h"

#include <QMessageBox>
#include <QPushButton>
#include <string>

#include "bank_backup.h"
#include "failure_text.h"
#include "first_run.h"
#include "message_box.h"

namespace mozhou {

namespace {

namespace fs = std::filesystem;

QString shown(const fs::path& p) { return QString::fromStdString(p.string()); }

// A name beside the bank that nothing has: "<stem>-损坏-YYYYMMDD-HHMMSS[-n].mdb".
fs::path asideName(const fs::path& bank) {
    const std::string base = bank.stem().string() + "-损坏-" + bank::timeStamp();
    fs::path name = bank.parent_path() / (base + bank.extension().string());
    std::error_code ec;
    for (int n = 2; fs::exists(fs::symlink_status(name, ec)); ++n)
        name = bank.parent_path() / (base + "-" + std::to_string(n) + bank.extension().string());
    return name;
}

// Keeps the unusable bank under a new name before anything takes its place; the bank's own name
// still holds it afterwards. Returns the new name, or an empty path when there is no file.
fs::path keepAside(const fs::path& bank) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(bank, ec))) return {};
    const fs::path aside = asideName(bank);
    // A hard link costs nothing and never replaces a file; a copy serves where there are none.
    fs::create_hard_link(bank, aside, ec);
    if (ec) bank::copyReplacing(bank, aside);
    return aside;
}

enum class Choice { Restore, Fresh, Quit };

Choice ask(const std::exception& e, const fs::path& backup) {
    QString text = failureText(e, {QStringLiteral("题库现在无法使用")}) + QStringLiteral("\n\n");
    if (!backup.empty())
        text += QStringLiteral("可以恢复最近的备份 ") + shown(backup) +
                QStringLiteral("，也可以新建一个题库，或者退出程序。");
    else
        text += QStringLiteral("没有找到题库的备份。可以新建一个题库，或者退出程序。");
    text += QStringLiteral("原来的文件不会被删除，它改名后留在原处。");
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text);
    box.setDetailedText(QString::fromUtf8(e.what()));
    QPushButton* restore =
        backup.empty() ? nullptr
                       : box.addButton(QStringLiteral("恢复最近的备份"), QMessageBox::AcceptRole);
    QPushButton* fresh = box.addButton(QStringLiteral("新建题库"), QMessageBox::AcceptRole);
    QPushButton* quit = box.addButton(QStringLiteral("退出"), QMessageBox::RejectRole);
    box.setDefaultButton(restore ? restore : fresh);
    box.setEscapeButton(quit);
    box.exec();
    if (restore && box.clickedButton() == restore) return Choice::Restore;
    if (box.clickedButton() == fresh) return Choice::Fresh;
    return Choice::Quit;
}

}  // namespace

bool settleBank(const fs::path& bank, const fs::path& sampleJsonl) {
    fs::path aside;  // where the unusable file was kept
    for (;;) {
        try {
            const bool made = bank::ensureBank(bank, sampleJsonl);
            if (!aside.empty())
                showMessage(nullptr, (made ? QStringLiteral("新的题库已经建好。")
                                           : QStringLiteral("题库已经从备份恢复。")) +
                                         QStringLiteral("原来的题库文件改名为 ") + shown(aside) +
                                         QStringLiteral(" 留着。"));
            return true;
        } catch (const std::exception& e) {
            // Another program changing the bank (or Access holding it) is no damage: the bank
            // must not be replaced under it. The windows say so again when they need it.
            if (const auto* busy = dynamic_cast<const jet::Error*>(&e);
                busy && busy->kind() == jet::ErrorKind::Busy) {
                showFailure(nullptr, e, {QStringLiteral("题库暂时不能使用")});
                return true;
            }
            const fs::path backup = bank::newestBackup(bank);
            const Choice choice = ask(e, backup);
            if (choice == Choice::Quit) return false;
            try {
                const fs::path kept = keepAside(bank);
                if (!kept.empty()) aside = kept;
                std::error_code ec;
                if (choice == Choice::Restore)
                    bank::copyReplacing(backup, bank);
                else if (!kept.empty() && !fs::remove(bank, ec))
                    throw bank::BackupError(ec);  // the next check makes the new bank
            } catch (const std::exception& again) {
                showFailure(nullptr, again, {QStringLiteral("题库没有换掉")});
            }
        }
    }
}

}  // namespace mozhou
