#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "dao/dao.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace mozhou {

class DataGrid;

// The question entry window `shujuluru`: questions are typed in one at a time under a grade,
// subject and lesson, the questions of a lesson are listed in the grid (and edited there while
// "数据编辑" is ticked), and the whole bank can be emptied behind the access code.
class ShujuluruWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ShujuluruWindow(QWidget* parent = nullptr);
    ~ShujuluruWindow() override;

    // Shows the rows of the current query in the grid; an empty query shows an empty grid.
    void DATAREFRESH();
    const std::string& currentQuery() const { return currentQuery_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Combo1_GotFocus();
    void Combo1_Click();
    void Combo2_GotFocus();
    void Combo3_GotFocus();
    void Combo3_Click();
    void Option1_Click();
    void Option2_Click();
    void Text6_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Check1_Click();

    void refillList(QComboBox* box, const std::string& query);
    void emptyTextBoxes();
    void setChoiceControlsEnabled(bool on);
    // Opens the bank and a record set on `query` into the window's handles; when it cannot,
    // tells it as `action` having failed and returns false.
    bool openBank(const std::string& query, const QString& action);
    void closeHandles();
    void emptyBank();

    QComboBox* Combo1_ = nullptr;
    QComboBox* Combo2_ = nullptr;
    QComboBox* Combo3_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QRadioButton* Option1_ = nullptr;
    QRadioButton* Option2_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* Label3_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLabel* Label5_ = nullptr;
    QLabel* Label6_ = nullptr;
    QPlainTextEdit* Text1_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QLineEdit* Text4_ = nullptr;
    QLineEdit* Text5_ = nullptr;
    QLineEdit* Text6_ = nullptr;
    QLineEdit* Text7_ = nullptr;
    // The grid and its data control in one.
    DataGrid* DBGrid1_ = nullptr;

    // The handles of the latest operation, kept until the next one or until the window closes.
    std::optional<dao::Workspace> ws_;
    dao::Database db_;
    std::optional<dao::Recordset> rs_;
    std::string currentQuery_;
    bool refilling_ = false;
};

}  // namespace mozhou
