// The test window `cheshi` and the wrong-question drill `cuoti`: one window, two modes. The
// drill differs only in caption, in its tree and lesson queries (questions marked wrong) and in
// showing progress on a progress bar instead of a slider.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <string_view>

#include "TreeView.h"
#include "lesson_records.h"
#include "test_session.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;

namespace mozhou {

class CheshiWindow : public QWidget {
    Q_OBJECT
  public:
    enum class Mode { Test, Drill };
    explicit CheshiWindow(Mode mode = Mode::Test, QWidget* parent = nullptr);

  private:
    void Form_Load();
    void TreeView1_NodeClick(const TreeClick& node);
    void Option1_Click(int index);
    void Command1_Click();
    void Text1_KeyPress();
    void qwe();
    void Command3_Click();
    void Command4_Click();
    void Command6_Click();

    bank::TreeWindow treeWindow() const;
    void showQuestion(const cheshi::ShownQuestion& q);
    void carryOut(const cheshi::Answered& a);
    void enableInputs(bool choice, bool fillIn);
    void setProgress(std::size_t maximum, std::size_t position);
    void showPicture(std::string_view file);
    void clearOptions();
    bool settled() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    Mode mode_;
    cheshi::TestSession session_;
    cheshi::LessonRecords records_;
    // Since the question on show appeared: input sooner than a double-click belongs to the
    // question before it.
    QElapsedTimer shownAt_;

    ImageList ImageList1_;
    TreeView* TreeView1_ = nullptr;
    QPlainTextEdit* Text2_ = nullptr;
    std::array<QRadioButton*, 4> Option1_{};
    std::array<QLineEdit*, 4> Text6_{};
    QLineEdit* Text1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QLabel* Picture1_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QLineEdit* Text4_ = nullptr;
    QLineEdit* Text5_ = nullptr;
    QLabel* Label8_ = nullptr;
    QLabel* Label9_ = nullptr;
    QSlider* Slider1_ = nullptr;            // the test
    QProgressBar* ProgressBar1_ = nullptr;  // the drill
    QPushButton* Command3_ = nullptr;
    QPushButton* Command4_ = nullptr;
    QPushButton* Command6_ = nullptr;
};

}  // namespace mozhou
