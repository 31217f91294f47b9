#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

#include "TreeView.h"
#include "common_dialog.h"
#include "exchange_files.h"
#include "transfer_status.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace mozhou {

class DataGrid;

// The export window `shujudaochu`: a grade, subject or lesson chosen in the catalogue tree is
// shown in the grid and written into a new file made from the template daochu.mdb.
class ShujudaochuWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ShujudaochuWindow(QWidget* parent = nullptr);
    ~ShujudaochuWindow() override;

    TreeView* treeView1() const { return TreeView1_; }
    QLineEdit* text1() const { return Text1_; }
    QLineEdit* text2() const { return Text2_; }
    QLineEdit* text3() const { return Text3_; }
    QLineEdit* text4() const { return Text4_; }
    QPushButton* command1() const { return Command1_; }
    QPushButton* command2() const { return Command2_; }
    QPushButton* command3() const { return Command3_; }
    QProgressBar* progressBar1() const { return ProgressBar1_; }
    QLabel* label1() const { return Label1_; }
    DataGrid* dbGrid1() const { return DBGrid1_; }
    const std::string& selection() const { return selection_; }

    // The template every export file is copied from: the program folder + "/daochu.mdb".
    static std::filesystem::path templatePath();

  private:
    void Form_Load();
    void TreeView1_NodeClick(const TreeClick& node);
    void Command2_Click();
    void Command1_Click();
    // "导出" can run only on an open, non-empty selection and an open target.
    void enableExport();

    QGroupBox* Frame1_ = nullptr;
    QGroupBox* Frame2_ = nullptr;
    QGroupBox* Frame3_ = nullptr;
    TreeView* TreeView1_ = nullptr;
    ImageList ImageList1_;
    QLineEdit* Text1_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QLineEdit* Text4_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* Label1_ = nullptr;
    DataGrid* DBGrid1_ = nullptr;
    CommonDialog CommonDialog1;

    // The last node click's SQL text, the record set it opened on the bank, and the export
    // file's record set.
    std::string selection_;
    exchange::QuestionFile source_;
    exchange::QuestionFile target_;
    std::optional<TransferStatus> status_;
};

}  // namespace mozhou
