#include "ShujudaochuWindow.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "DataGrid.h"
#include "TreeView.h"
#include "bank_path.h"
#include "failure_text.h"
#include "looks.h"
#include "message_box.h"
#include "sql/jet_source.h"
#include "sql_texts.h"
#include "transfer.h"
#include "transfer_status.h"
#include "tree.h"

namespace mozhou {

namespace fs = std::filesystem;

namespace {

const QString kReady = QStringLiteral("准务导出...");
const TransferTexts kTexts{
    QStringLiteral("正在导出"),
    QStringLiteral("导出完毕"),
    QStringLiteral("没有可导出的题"),
    QStringLiteral("导出失败"),
    QStringLiteral("所选内容中有 %1 道题无法读取，导出没有进行，目标文件中没有写入任何题目。"),
    QStringLiteral("导出失败，目标文件中没有写入任何题目"),
};

}  // namespace

fs::path ShujudaochuWindow::templatePath() {
    return fs::path(programFolder().string() + "/daochu.mdb");
}

ShujudaochuWindow::ShujudaochuWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("shujudaochu");
    setWindowTitle(QStringLiteral("数据导出"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(looks::px(9705), looks::px(9420));
    setFont(looks::songFont(9));

    Frame2_ = named(new QGroupBox(QStringLiteral("请选择源文件"), this), "Frame2");
    Frame2_->setGeometry(looks::pxRect(240, 120, 3735, 4335));
    TreeView1_ = named(new TreeView(this), "TreeView1");
    TreeView1_->setGeometry(looks::pxRect(360, 480, 3495, 3855));

    Frame1_ = named(new QGroupBox(QStringLiteral("请选择目标文件"), this), "Frame1");
    Frame1_->setGeometry(looks::pxRect(4080, 120, 5535, 855));
    Text1_ = named(new QLineEdit(Frame1_), "Text1");
    Text1_->setGeometry(looks::pxRect(120, 360, 3975, 360));
    Command2_ = named(new QPushButton(QStringLiteral("目标文件"), Frame1_), "Command2");
    Command2_->setGeometry(looks::pxRect(4200, 360, 1215, 375));
    Command2_->setEnabled(false);

    Frame3_ = named(new QGroupBox(QStringLiteral("说明"), this), "Frame3");
    Frame3_->setGeometry(looks::pxRect(4080, 1080, 4095, 3375));
    const std::pair<const char*, const char*> help[] = {
        {"Label2", "1.请先择源文件:即选择需要导出的数据库列表。先择年级，科目或科程。"},
        {"Label3", "2.请选择目标文件:即选择导出的路径及文件名。"},
        {"Label4", "3.表格内容为需要导出的题库列表。"},
        {"Label5", "4.表格内容为空表明没有选对要导出的数据库。"},
        {"Label7", "5.唯有准确选择源文件及目标文件导出功能才能正常使用。"},
    };
    int top = 360;
    for (const auto& [name, text] : help) {
        auto* label = named(new QLabel(QString::fromUtf8(text), Frame3_), name);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(looks::pxRect(120, top, 3855, 570));
        top += 600;
    }

    Command1_ = named(new QPushButton(QStringLiteral("导出"), this), "Command1");
    Command1_->setGeometry(looks::pxRect(8280, 1200, 1215, 1080));
    Command1_->setEnabled(false);
    ProgressBar1_ = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1_->setGeometry(looks::pxRect(8280, 2520, 1215, 255));
    ProgressBar1_->setTextVisible(false);
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    Label1_ = named(new QLabel(kReady, this), "Label1");
    Label1_->setGeometry(looks::pxRect(8280, 2880, 1320, 240));
    status_.emplace(Label1_, ProgressBar1_, kReady);
    Command3_ = named(new QPushButton(QStringLiteral("退出"), this), "Command3");
    Command3_->setGeometry(looks::pxRect(8280, 3240, 1215, 1095));

    DBGrid1_ = named(new DataGrid(this), "DBGrid1");
    DBGrid1_->setGeometry(looks::pxRect(240, 4560, 9375, 4695));

    Text2_ = named(new QLineEdit(this), "Text2");
    Text3_ = named(new QLineEdit(this), "Text3");
    Text4_ = named(new QLineEdit(this), "Text4");
    for (auto* hidden : {Text2_, Text3_, Text4_}) hidden->hide();

    connect(TreeView1_, &TreeView::NodeClick, this,
            [this](const TreeClick& node) { TreeView1_NodeClick(node); });
    connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3_, &QPushButton::clicked, this, &QWidget::close);

    Form_Load();
}

ShujudaochuWindow::~ShujudaochuWindow() {
    source_.close();
    target_.close();
}

void ShujudaochuWindow::Form_Load() {
    try {
        dao::Workspace ws;
        auto db = ws.OpenDatabase(bankPath());
        sql::JetSource source(db.engine().shared_from_this());
        TreeView1_->build(bank::TreeWindow::Export, ImageList1_,
                          [&](const std::string& text) { return sql::execute(source, text); });
    } catch (const std::exception& e) {
        // The tree stays empty; the user is told why, unlike for an empty bank.
        treeUnreadable(this, e);
    }
}

void ShujudaochuWindow::TreeView1_NodeClick(const TreeClick& node) {
    Text2_->clear();
    Text3_->clear();
    Text4_->clear();
    Command2_->setEnabled(true);

    // Text4 holds the clicked node, Text3 its parent, Text2 its grandparent.
    const int level = int(node.level);
    const QString path[] = {node.grade, node.subject, node.lesson};
    QLineEdit* const boxes[] = {Text2_, Text3_, Text4_};
    for (int i = 0; i < level; ++i) boxes[3 - level + i]->setText(path[i]);
    selection_ =
        bank::treeClickQuery(bank::TreeWindow::Export, node.level, node.grade.toStdString(),
                             node.subject.toStdString(), node.lesson.toStdString());

    const auto problem = exchange::openQuestionFile(bankPath(), selection_, false, source_);
    if (problem != exchange::FileProblem::None) {
        DBGrid1_->closeData();
        status_->report(QStringLiteral("题库无法读取"));
        enableExport();
        return;
    }
    DBGrid1_->setDatabaseName(bankPath());
    DBGrid1_->setRecordSource(selection_);
    DBGrid1_->refresh();

    if (source_.records->RecordCount() == 0)
        status_->report(kTexts.empty);
    else
        status_->selectionUsable();
    enableExport();
}

void ShujudaochuWindow::Command2_Click() {
    CommonDialog1.DialogTitle = QStringLiteral("请输入数据库名");
    CommonDialog1.Filter = QStringLiteral("access 数据库（*.mdb）|*.mdb");
    // No default name: an empty name after the dialog means it was cancelled.
    CommonDialog1.FileName.clear();
    CommonDialog1.ShowSave(this);
    const QString chosen = CommonDialog1.FileName;
    if (chosen.isEmpty()) return;
    const fs::path path = toPath(chosen);

    // The template copy would wipe the file it lands on.
    if (exchange::sameFile(path, bankPath()) ||
        (source_.isOpen() && exchange::sameFile(path, source_.database.path()))) {
        showMessage(this, QStringLiteral("不能导出到题库文件本身，请另选目标文件。"));
        return;
    }
    if (exchange::sameFile(path, templatePath())) {
        showMessage(this, QStringLiteral("不能导出到导出模板 daochu.mdb，请另选目标文件。"));
        return;
    }
    Text1_->setText(chosen);

    // A file this window holds open is let go before the copy replaces it.
    if (target_.isOpen() && exchange::sameFile(path, target_.database.path())) target_.close();
    if (!fs::exists(templatePath())) {
        showMessage(this, QStringLiteral("找不到导出模板 daochu.mdb，无法建立目标文件。"));
        enableExport();
        return;
    }
    try {
        exchange::copyReplacing(templatePath(), path);
    } catch (const std::exception& e) {
        showFailure(this, e, {QStringLiteral("导出没有进行：目标文件没能写成"), path});
        enableExport();
        return;
    }

    if (exchange::endsWithMdb(chosen.toStdString())) {
        const auto problem =
            exchange::openQuestionFile(path, bank::sql::allQuestions(), true, target_);
        if (problem != exchange::FileProblem::None)
            showMessage(this, QStringLiteral("无法打开目标文件：") + chosen);
    }
    enableExport();
}

void ShujudaochuWindow::Command1_Click() {
    enableExport();
    if (!Command1_->isEnabled()) return;

    status_->run(this, kTexts, target_.database.path(), [this](const exchange::Progress& progress) {
        return exchange::exportQuestions(target_.workspace, *source_.records, *target_.records,
                                         progress);
    });
    Command1_->setEnabled(false);
    source_.close();
    target_.close();
}

void ShujudaochuWindow::enableExport() {
    bool usable = false;
    try {
        usable = source_.isOpen() && target_.isOpen() && source_.records->RecordCount() > 0;
    } catch (const std::exception&) {
    }
    Command1_->setEnabled(usable);
}

}  // namespace mozhou
