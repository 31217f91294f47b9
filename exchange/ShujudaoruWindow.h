#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>

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
class DirListBox;
class DriveListBox;
class FileListBox;

// The import window `shujudaoru`: every question of a source file is taken over into a target
// file, as a rule the question bank; target questions with a source question's text give way.
class ShujudaoruWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ShujudaoruWindow(QWidget* parent = nullptr);
    ~ShujudaoruWindow() override;

    QLineEdit* text1() const { return Text1_; }
    QLineEdit* text2() const { return Text2_; }
    QPushButton* command1() const { return Command1_; }
    QPushButton* command2() const { return Command2_; }
    QPushButton* command3() const { return Command3_; }
    QProgressBar* progressBar1() const { return ProgressBar1_; }
    QLabel* label1() const { return Label1_; }
    DriveListBox* drive2() const { return Drive2_; }
    DirListBox* dir2() const { return Dir2_; }
    FileListBox* file2() const { return File2_; }
    DataGrid* dbGrid1() const { return DBGrid1_; }
    DataGrid* dbGrid2() const { return DBGrid2_; }

  private:
    void Form_Load();
    void Drive2_Change();
    void Dir2_Change();
    void File2_Click();
    void Command2_Click();
    void Command1_Click();
    // Both files open, the source with rows, and not one file on both sides.
    bool importable() const;
    // No target: nothing may be imported into a file the window does not show.
    void dropTarget();

    QGroupBox* Frame1_ = nullptr;
    QGroupBox* Frame2_ = nullptr;
    QGroupBox* Frame3_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* Label1_ = nullptr;
    DriveListBox* Drive2_ = nullptr;
    DirListBox* Dir2_ = nullptr;
    FileListBox* File2_ = nullptr;
    DataGrid* DBGrid1_ = nullptr;
    DataGrid* DBGrid2_ = nullptr;
    CommonDialog CommonDialog1;

    exchange::QuestionFile source_;
    exchange::QuestionFile target_;
    std::optional<TransferStatus> status_;
};

}  // namespace mozhou
