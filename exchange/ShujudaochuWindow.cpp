#include "ShujudaochuWindow.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <map>

#include "DataGrid.h"
#include "bank_path.h"
#include "looks.h"
#include "message_box.h"
#include "sql/jet_source.h"
#include "sql_texts.h"
#include "transfer.h"
#include "tree.h"

namespace mozhou {

namespace fs = std::filesystem;

namespace {

const QString kReady = QStringLiteral("准务导出...");

fs::path toPath(const QString& s) { return fs::path(s.toStdString()); }

template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(name);
    w->setFont(looks::songFont(9));
    return w;
}

// Redraws a control at once: the export runs inside the click, without the event loop.
void paintNow(QWidget* w) { w->repaint(); }

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
    TreeView1_ = named(new QTreeWidget(this), "TreeView1");
    TreeView1_->setGeometry(looks::pxRect(360, 480, 3495, 3855));
    TreeView1_->setHeaderHidden(true);
    TreeView1_->setRootIsDecorated(true);
    // The catalogue's indentation of 10 is below what a tree can draw; the narrowest that
    // still shows the levels.
    TreeView1_->setIndentation(16);

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
    Command3_ = named(new QPushButton(QStringLiteral("退出"), this), "Command3");
    Command3_->setGeometry(looks::pxRect(8280, 3240, 1215, 1095));

    DBGrid1_ = named(new DataGrid(this), "DBGrid1");
    DBGrid1_->setGeometry(looks::pxRect(240, 4560, 9375, 4695));

    Text2_ = named(new QLineEdit(this), "Text2");
    Text3_ = named(new QLineEdit(this), "Text3");
    Text4_ = named(new QLineEdit(this), "Text4");
    for (auto* hidden : {Text2_, Text3_, Text4_}) hidden->hide();

    connect(TreeView1_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { TreeView1_NodeClick(node); });
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
    const auto look = bank::treeLook(bank::TreeWindow::Export);
    std::vector<QIcon> ImageList1;
    for (const char* icon : look.icons)
        ImageList1.emplace_back(QString::fromStdString(programFolder().string() + "/" + icon));
    try {
        dao::Workspace ws;
        auto db = ws.OpenDatabase(bankPath());
        sql::JetSource source(db.engine().shared_from_this());
        auto nodes = bank::buildTree(bank::TreeWindow::Export, [&](const std::string& text) {
            return sql::execute(source, text);
        });
        std::map<std::string, QTreeWidgetItem*> byKey;
        for (const auto& n : nodes) {
            QTreeWidgetItem* item = nullptr;
            if (n.parentKey.empty()) {
                item = new QTreeWidgetItem(TreeView1_);
            } else if (auto it = byKey.find(n.parentKey); it != byKey.end()) {
                item = new QTreeWidgetItem(it->second);
            } else {
                continue;
            }
            item->setText(0, QString::fromStdString(n.text));
            if (n.image >= 1 && std::size_t(n.image) <= ImageList1.size())
                item->setIcon(0, ImageList1[std::size_t(n.image) - 1]);
            byKey[n.key] = item;
        }
    } catch (const std::exception&) {
        // A bank that cannot be read gives an empty tree; the help lines explain an empty grid.
    }
}

void ShujudaochuWindow::TreeView1_NodeClick(QTreeWidgetItem* node) {
    if (!node) return;
    Text2_->clear();
    Text3_->clear();
    Text4_->clear();
    Command2_->setEnabled(true);

    // The node's place in the tree says its level, even for a level whose value is empty.
    QTreeWidgetItem* parent = node->parent();
    QTreeWidgetItem* grandparent = parent ? parent->parent() : nullptr;
    if (grandparent) Text2_->setText(grandparent->text(0));
    if (parent) Text3_->setText(parent->text(0));
    Text4_->setText(node->text(0));
    const std::string g = Text2_->text().toStdString(), s = Text3_->text().toStdString(),
                      c = Text4_->text().toStdString();
    if (grandparent)
        selection_ = bank::sql::exportLesson(g, s, c);
    else if (parent)
        selection_ = bank::sql::exportSubject(s, c);
    else
        selection_ = bank::sql::exportGrade(c);

    const auto problem = exchange::openQuestionFile(bankPath(), selection_, false, source_);
    if (problem != exchange::FileProblem::None) {
        DBGrid1_->closeData();
        report(QStringLiteral("题库无法读取"));
        enableExport();
        return;
    }
    DBGrid1_->setDatabaseName(bankPath());
    DBGrid1_->setRecordSource(selection_);
    DBGrid1_->refresh();

    if (source_.records->RecordCount() == 0)
        report(QStringLiteral("没有可导出的题"));
    else if (statusIsOurs_) {
        Label1_->setText(kReady);
        statusIsOurs_ = false;
    }
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
    } catch (const std::exception&) {
        showMessage(this, QStringLiteral("无法写入目标文件：") + chosen);
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

    Label1_->setText(QStringLiteral("正在导出"));
    statusIsOurs_ = false;
    paintNow(Label1_);
    int shownPercent = -1;
    exchange::Progress progress{[this](long maximum) {
                                    ProgressBar1_->setMaximum(int(maximum));
                                    ProgressBar1_->setValue(0);
                                },
                                [this, &shownPercent](long value) {
                                    ProgressBar1_->setValue(int(value));
                                    const int percent =
                                        int(value * 100 / std::max(1, ProgressBar1_->maximum()));
                                    if (percent != shownPercent) {
                                        shownPercent = percent;
                                        paintNow(ProgressBar1_);
                                    }
                                }};
    const auto outcome =
        exchange::exportQuestions(target_.workspace, *source_.records, *target_.records, progress);
    using Status = exchange::Outcome::Status;
    switch (outcome.status) {
        case Status::Done:
            Label1_->setText(QStringLiteral("导出完毕"));
            break;
        case Status::Empty:
            report(QStringLiteral("没有可导出的题"));
            break;
        case Status::Unreadable:
            report(QString::number(outcome.unreadable) + QStringLiteral("题无法读取"));
            showMessage(this, QStringLiteral("所选内容中有 %1 道题无法读取，导出没有进行，"
                                             "目标文件中没有写入任何题目。")
                                  .arg(outcome.unreadable));
            break;
        case Status::Failed:
            report(QStringLiteral("导出失败"));
            showMessage(this, QStringLiteral("导出失败，目标文件中没有写入任何题目。\n") +
                                  QString::fromStdString(outcome.error));
            break;
    }
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

void ShujudaochuWindow::report(const QString& status) {
    Label1_->setText(status);
    statusIsOurs_ = true;
}

}  // namespace mozhou
