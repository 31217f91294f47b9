#include "ChengjiWindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <array>
#include <filesystem>

#include "DataGrid.h"
#include "bank_backup.h"
#include "bank_path.h"
#include "failure_text.h"
#include "looks.h"
#include "message_box.h"
#include "sql_texts.h"
#include "window_data.h"

namespace mozhou {

namespace fs = std::filesystem;

namespace {

// nianji, kemu, kecheng, riqi, zhengque, cuowu, defen
constexpr std::array<int, 7> kColumnWidths{1200, 600, 1800, 1400, 600, 600, 600};

QString pathText(const fs::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

ChengjiWindow::ChengjiWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("chengji");
    setWindowTitle(QStringLiteral("成绩记录"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Fixed single border: a close box, no minimize and no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(looks::px(8880), looks::px(7695));

    DBGrid1_ = new DataGrid(this);
    DBGrid1_->setObjectName("DBGrid1");
    DBGrid1_->setGeometry(looks::pxRect(240, 240, 7335, 6615));
    DBGrid1_->setFont(looks::songFont(10.5));
    DBGrid1_->horizontalHeader()->setFont(looks::songFont(14.25));
    // Results are only looked at here: the grid neither adds, deletes nor changes a row.
    DBGrid1_->setAllowAddNew(false);
    DBGrid1_->setAllowDelete(false);
    DBGrid1_->setAllowUpdate(false);
    DBGrid1_->setAllowArrows(true);
    // Tab leaves the grid for the next control instead of walking its cells.
    DBGrid1_->setTabKeyNavigation(false);

    Command1_ = new QPushButton(QStringLiteral("数据清空"), this);
    Command1_->setObjectName("Command1");
    Command1_->setGeometry(looks::pxRect(4320, 6960, 1695, 375));
    Command2_ = new QPushButton(QStringLiteral("离开"), this);
    Command2_->setObjectName("Command2");
    Command2_->setGeometry(looks::pxRect(6240, 6960, 1095, 375));
    connect(Command1_, &QPushButton::clicked, this, &ChengjiWindow::Command1_Click);
    connect(Command2_, &QPushButton::clicked, this, &ChengjiWindow::Command2_Click);

    // Tab order: Command1, DBGrid1, Command2.
    setTabOrder(Command1_, DBGrid1_);
    setTabOrder(DBGrid1_, Command2_);
    Command1_->setFocus();

    Form_Load();
}

ChengjiWindow::~ChengjiWindow() { closeHandles(); }

void ChengjiWindow::closeEvent(QCloseEvent* event) {
    closeHandles();
    DBGrid1_->closeData();
    event->accept();
}

void ChengjiWindow::Form_Load() {
    // A bank or a chengji that cannot be opened is told by the grid, which stays empty.
    DBGrid1_->setDatabaseName(bankPath());
    DBGrid1_->setRecordSource(bank::sql::testRecords());
    DBGrid1_->refresh();
    for (std::size_t c = 0; c < kColumnWidths.size(); ++c)
        DBGrid1_->setColumnWidthTwips(int(c), kColumnWidths[c]);
}

void ChengjiWindow::Command1_Click() {
    if (askText(this) == QString::fromLatin1(bank::kAccessCode))
        clearRecords();
    else
        showMessage(this, QStringLiteral("密码不对！"));
    // Shows the table as it now is, also after a failed clear.
    DBGrid1_->refresh();
}

void ChengjiWindow::Command2_Click() { close(); }

// Deletes every result as one transaction, after a copy of the bank has been kept: either all
// rows go, or none does and the user is told why.
void ChengjiWindow::clearRecords() {
    closeHandles();
    const fs::path bankFile = bankPath();
    std::error_code ec;
    if (!fs::exists(bankFile, ec)) {
        showMessage(this, QStringLiteral("找不到题库文件 %1，成绩记录没有清空。"
                                         "请确认它没有被删除或移到别处。")
                              .arg(pathText(bankFile)));
        return;
    }
    try {
        ws_.emplace();
        db_ = ws_->OpenDatabase(bankFile);
        rs_.emplace(db_.OpenRecordset(bank::sql::testRecordsForClearing()));
    } catch (const std::exception& e) {
        closeHandles();
        showFailure(this, e, {QStringLiteral("成绩记录没有清空")});
        return;
    }
    if (db_.readOnly()) {
        closeRecordset();
        showFailure(this, dao::Error("read-only", jet::ErrorKind::ReadOnly),
                    {QStringLiteral("成绩记录没有清空")});
        return;
    }
    // With nothing to delete the previous copy is worth more than a copy of an empty table.
    if (rs_->RecordCount() == 0) {
        closeRecordset();
        return;
    }
    std::optional<bank::Backup> copy;
    try {
        copy.emplace(bankFile);
    } catch (const bank::BackupError& e) {
        closeRecordset();
        showFailure(this, e,
                    {QStringLiteral("成绩记录没有清空：清空前要先备份题库，备份没能做成"),
                     bank::backupFolder(bankFile)});
        return;
    }
    try {
        bank::deleteAllRows(*ws_, *rs_);
    } catch (const std::exception& e) {
        closeRecordset();
        copy->discard();
        showFailure(this, e, {QStringLiteral("成绩记录没有清空，原有的记录都还在")});
        return;
    }
    closeRecordset();
    copy->keep();
    showMessage(
        this,
        QStringLiteral("成绩记录已清空。清空前的题库备份在 %1。").arg(pathText(copy->path())));
}

void ChengjiWindow::closeRecordset() {
    try {
        if (rs_) rs_->Close();
    } catch (...) {
    }
    rs_.reset();
}

void ChengjiWindow::closeHandles() { bank::closeHandles(rs_, db_, ws_); }

}  // namespace mozhou
