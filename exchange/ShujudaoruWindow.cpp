#include "ShujudaoruWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "DataGrid.h"
#include "ShujudaochuWindow.h"
#include "bank_path.h"
#include "failure_text.h"
#include "file_lists.h"
#include "looks.h"
#include "message_box.h"
#include "sql_texts.h"
#include "transfer.h"
#include "transfer_status.h"

namespace mozhou {

namespace fs = std::filesystem;

namespace {

const QString kReady = QStringLiteral("准备导入...");
const TransferTexts kTexts{
    QStringLiteral("正在导入"),
    QStringLiteral("导入完毕"),
    QStringLiteral("源文件没有题目"),
    QStringLiteral("导入失败"),
    QStringLiteral("源文件中有 %1 道题无法读取，导入没有进行，目标文件未作任何改动。"),
    QStringLiteral("导入失败，目标文件未作任何改动"),
};

// A folder and a name in it; the root folder already ends in the separator.
QString joined(const QString& folder, const QString& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString problemText(exchange::FileProblem p, const QString& side) {
    using P = exchange::FileProblem;
    switch (p) {
        case P::None:
            break;
        case P::NotDatabase:
            return QStringLiteral("所选的%1不是可以读取的数据库文件。").arg(side);
        case P::NoTiku:
            return QStringLiteral(
                       "所选的%1中没有题库表，请选择本程序导出的或与题库同样结构的文件。")
                .arg(side);
        case P::OtherShape:
            return QStringLiteral("所选的%1中的题库表与题库的结构不同，不能导入。").arg(side);
        case P::NotWritable:
            return QStringLiteral("所选的%1是只读文件，不能写入。请去掉它的只读属性或另选文件。")
                .arg(side);
        case P::Busy:
            return QStringLiteral("所选的%1正在被另一个程序修改，请等它改完或关闭那个程序后再选。")
                .arg(side);
    }
    return {};
}

}  // namespace

ShujudaoruWindow::ShujudaoruWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("shujudaoru");
    setWindowTitle(QStringLiteral("数据导入"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(looks::px(12390), looks::px(9225));
    setFont(looks::songFont(9));

    Frame1_ = named(new QGroupBox(QStringLiteral("请选择源文件"), this), "Frame1");
    Frame1_->setGeometry(looks::pxRect(120, 120, 5055, 8895));
    Text1_ = named(new QLineEdit(Frame1_), "Text1");
    Text1_->setGeometry(looks::pxRect(120, 240, 3855, 360));
    Command2_ = named(new QPushButton(QStringLiteral("源文件"), Frame1_), "Command2");
    Command2_->setGeometry(looks::pxRect(4080, 240, 855, 375));
    DBGrid1_ = named(new DataGrid(Frame1_), "DBGrid1");
    DBGrid1_->setGeometry(looks::pxRect(120, 720, 4815, 7935));

    Frame2_ = named(new QGroupBox(QStringLiteral("请选择目标文件"), this), "Frame2");
    Frame2_->setGeometry(looks::pxRect(5280, 120, 5055, 8895));
    Text2_ = named(new QLineEdit(Frame2_), "Text2");
    Text2_->setGeometry(looks::pxRect(240, 360, 4575, 375));
    Drive2_ = named(new DriveListBox(Frame2_), "Drive2");
    Drive2_->setGeometry(looks::pxRect(240, 840, 2295, 360));
    Dir2_ = named(new DirListBox(Frame2_), "Dir2");
    Dir2_->setGeometry(looks::pxRect(2640, 840, 2175, 1980));
    File2_ = named(new FileListBox(Frame2_), "File2");
    File2_->setGeometry(looks::pxRect(240, 1320, 2295, 1530));
    File2_->setPattern(QStringLiteral("*.mdb"));
    DBGrid2_ = named(new DataGrid(Frame2_), "DBGrid2");
    DBGrid2_->setGeometry(looks::pxRect(240, 3000, 4575, 5655));

    Frame3_ = named(new QGroupBox(QStringLiteral("说明"), this), "Frame3");
    Frame3_->setGeometry(looks::pxRect(10440, 120, 1815, 6375));
    const std::pair<const char*, const char*> help[] = {
        {"Label2", "1.请先择源文件:即选择下载得到的数据库文件的路径及文件名。"},
        {"Label3", "2.请选择目标文件:即选择当前安装墨舟题苑的目录及数据库文件"},
        {"Label4", "3.左边的表格为源数据库文件的内容"},
        {"Label5", "4.右边的表格内容为现有数据库文件的内容。"},
        {"Label6",
         "5.数据导入过程中源数据库里的内容不会被册除，只是在源数据库里寻找不同的题进行添加。"},
        {"Label7", "6.唯有准确选择目标文件导入功能才能正常使用。"},
    };
    const int heights[] = {1080, 1080, 600, 840, 1560, 840};
    int top = 300;
    for (std::size_t i = 0; i < std::size(help); ++i) {
        auto* label = named(new QLabel(QString::fromUtf8(help[i].second), Frame3_), help[i].first);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(looks::pxRect(120, top, 1575, heights[i]));
        top += heights[i];
    }

    Command1_ = named(new QPushButton(QStringLiteral("导入"), this), "Command1");
    Command1_->setGeometry(looks::pxRect(10560, 6600, 1695, 615));
    Command1_->setEnabled(false);
    ProgressBar1_ = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1_->setGeometry(looks::pxRect(10560, 7440, 1575, 255));
    ProgressBar1_->setTextVisible(false);
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    Label1_ = named(new QLabel(this), "Label1");
    Label1_->setGeometry(looks::pxRect(10560, 7800, 1320, 240));
    status_.emplace(Label1_, ProgressBar1_, kReady);
    Command3_ = named(new QPushButton(QStringLiteral("退出"), this), "Command3");
    Command3_->setGeometry(looks::pxRect(10560, 8160, 1695, 615));

    connect(Drive2_, &DriveListBox::Change, this, [this] { Drive2_Change(); });
    connect(Dir2_, &DirListBox::Change, this, [this] { Dir2_Change(); });
    connect(File2_, &FileListBox::Click, this, [this] { File2_Click(); });
    connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3_, &QPushButton::clicked, this, &QWidget::close);

    Form_Load();
}

ShujudaoruWindow::~ShujudaoruWindow() {
    source_.close();
    target_.close();
}

void ShujudaoruWindow::Form_Load() {
    Label1_->setText(kReady);
    // The folder of the question bank (beside the program, or the data folder when installed) is
    // where a target is looked for.
    const QString start = QString::fromStdString(bankPath().parent_path().string());
    Drive2_->setDrive(start);
    if (Dir2_->Path().isEmpty()) Dir2_->setPath(Drive2_->Drive());
    Dir2_->setPath(start);  // a folder that is not there leaves the list where it was
    Text2_->setText(joined(Dir2_->Path(), File2_->FileName()));
}

void ShujudaoruWindow::Drive2_Change() {
    // A drive that cannot be read leaves the folder list where it was.
    Dir2_->setPath(Drive2_->Drive());
}

void ShujudaoruWindow::Dir2_Change() {
    File2_->setPath(Dir2_->Path());
    Text2_->setText(Dir2_->Path());
}

void ShujudaoruWindow::File2_Click() {
    Text2_->setText(joined(Dir2_->Path(), File2_->FileName()));
    const QString chosen = Text2_->text();
    // Whatever this click comes to, the earlier target is no longer the one on show.
    dropTarget();
    if (!exchange::endsWithMdb(chosen.toStdString())) return;
    const fs::path path = toPath(chosen);
    QString refusal;
    if (source_.isOpen() && exchange::sameFile(path, source_.database.path()))
        refusal = QStringLiteral("目标文件与源文件是同一个文件，请另选目标文件。");
    else if (exchange::sameFile(path, ShujudaochuWindow::templatePath()))
        // Every later export is a copy of the template: it must stay empty.
        refusal = QStringLiteral(
            "不能导入到导出模板 daochu.mdb，否则以后每个导出文件都会带上这些题。请另选目标文件。");
    else if (exchange::isBackupOf(bankPath(), path))
        refusal = QStringLiteral("这是题库的备份，不能作为导入的目标文件。请另选目标文件。");
    if (!refusal.isEmpty()) {
        showMessage(this, refusal);
        return;
    }
    const auto problem = exchange::openQuestionFile(path, bank::sql::allQuestions(), true, target_);
    if (problem != exchange::FileProblem::None) {
        showMessage(this, problemText(problem, QStringLiteral("目标文件")));
        return;
    }
    DBGrid2_->setDatabaseName(path);
    DBGrid2_->setRecordSource(bank::sql::allQuestions());
    DBGrid2_->refresh();
    Command1_->setEnabled(importable());
}

void ShujudaoruWindow::Command2_Click() {
    CommonDialog1.ShowOpen(this);
    Text1_->setText(CommonDialog1.FileName);
    Command1_->setEnabled(false);
    // The new choice replaces the old one, whatever comes of it.
    source_.close();
    DBGrid1_->closeData();

    const QString chosen = Text1_->text();
    if (!exchange::endsWithMdb(chosen.toStdString())) return;
    const fs::path path = toPath(chosen);
    if (target_.isOpen() && exchange::sameFile(path, target_.database.path())) {
        showMessage(this, QStringLiteral("源文件与目标文件是同一个文件，请另选源文件。"));
        return;
    }
    const auto problem =
        exchange::openQuestionFile(path, bank::sql::allQuestions(), false, source_);
    if (problem != exchange::FileProblem::None) {
        showMessage(this, problemText(problem, QStringLiteral("源文件")));
        return;
    }
    DBGrid1_->setDatabaseName(path);
    DBGrid1_->setRecordSource(bank::sql::allQuestions());
    DBGrid1_->refresh();
    if (source_.records->RecordCount() == 0)
        status_->report(kTexts.empty);
    else
        status_->selectionUsable();
}

void ShujudaoruWindow::dropTarget() {
    target_.close();
    DBGrid2_->closeData();
    Command1_->setEnabled(false);
}

bool ShujudaoruWindow::importable() const {
    try {
        return source_.isOpen() && target_.isOpen() && source_.records->RecordCount() > 0 &&
               !exchange::sameFile(source_.database.path(), target_.database.path());
    } catch (const std::exception&) {
        return false;
    }
}

void ShujudaoruWindow::Command1_Click() {
    if (!importable()) {
        Command1_->setEnabled(false);
        return;
    }
    // The question bank is kept as it was beside itself before anything of it changes.
    const fs::path targetPath = target_.database.path();
    std::optional<bank::Backup> copy;
    if (exchange::sameFile(targetPath, bankPath())) {
        try {
            copy.emplace(bankPath());
        } catch (const std::exception& e) {
            showFailure(this, e,
                        {QStringLiteral("导入没有进行：导入前要先备份题库，备份没能做成"),
                         bank::backupFolder(bankPath())});
            return;
        }
    }

    const auto outcome =
        status_->run(this, kTexts, targetPath, [this](const exchange::Progress& progress) {
            return exchange::importQuestions(target_.workspace, *source_.records, *target_.records,
                                             progress);
        });
    if (copy && outcome.status == exchange::Outcome::Status::Done) {
        copy->keep();
        showMessage(this, QStringLiteral("导入前的题库备份在 %1。")
                              .arg(QString::fromStdString(copy->path().string())));
    } else if (copy) {
        copy->discard();
    }
    Command1_->setEnabled(false);
    source_.close();
    target_.close();
}

}  // namespace mozhou
