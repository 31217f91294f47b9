// The study window `xuexi`: the catalogue tree, the listing of a lesson or of a keyword
// search, the count and date captions. It only reads the bank.
#pragma once

#include <QWidget>

#include "TreeView.h"
#include "dao/dao.h"
#include "study_listing.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace mozhou {

class ListingView;

class XuexiWindow : public QWidget {
    Q_OBJECT
  public:
    explicit XuexiWindow(QWidget* parent = nullptr);

  private:
    void Form_Load();
    void TreeView1_NodeClick(const TreeClick& node);
    void Command1_Click();
    void Timer1_Timer();
    void Command3_Click();
    // Puts a query's result on screen; its record set is kept to read the entries from.
    void showResult(const study::Display& shown, dao::Recordset found);

    ImageList ImageList1_;
    TreeView* TreeView1_ = nullptr;
    ListingView* RichTextBox1_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* Label3_ = nullptr;
    QTimer* Timer1_ = nullptr;
    // The latest listing's record set stays open until the next one replaces it.
    dao::Workspace ws_;
    dao::Database db_;
    dao::Recordset rs_;
};

}  // namespace mozhou
