#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mozhou {

// The about window `guanyu`: the product's credits; a click into the web address opens the
// maker's site, "确定" closes the window.
class GuanyuWindow : public QWidget {
    Q_OBJECT

  public:
    explicit GuanyuWindow(QWidget* parent = nullptr);

    QLineEdit* text2() const { return Text2_; }
    QPushButton* command1() const { return Command1_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* addLabel(const char* name, const QString& text, QRect place, double pointSize);
    QLineEdit* addTextBox(const char* name, const QString& text, QRect place);

    QFrame* Shape1_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QPushButton* Command1_ = nullptr;
};

}  // namespace mozhou
