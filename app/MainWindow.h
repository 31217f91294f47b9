#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <optional>

#include "common_dialog.h"
#include "dao/dao.h"

class QLabel;
class QMenu;

namespace mozhou {

// The start window `main`: four caption buttons framed by painted lines, the menu bar and the
// popup menu of the free surface. It opens the other windows through the window registry.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kLabels = 4;
    static constexpr int kLines = 16;

    explicit MainWindow(QWidget* parent = nullptr);

    // Line n (1 to 16): its colour value (0x00BBGGRR or system colour) and width in pixels.
    std::uint32_t lineColour(int n) const;
    int lineWidth(int n) const;
    // Label n (1 to 4).
    QLabel* label(int n) const;
    bool captionBold(int n) const;
    QWidget* surface() const { return surface_; }
    QMenu* popupMenu() const { return pop_; }
    // The background picture as it is shown (null when there is none), and the dialog that
    // chooses it.
    const QPixmap& picture() const { return picture_; }
    CommonDialog& commonDialog1() { return CommonDialog1_; }

    // The background: read from the question bank, and changed through the popup's "更换背景".
    void loadBackground();
    void changeBackground();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Line {
        std::uint32_t colour;
        int width;
    };

    void buildCaptions();
    void buildMenus();
    int labelIndex(QObject* object) const;
    void paintLines();

    // Handlers of the caption buttons and the surface.
    void labelDown(int n);
    void labelUp(int n);
    void labelMove(int n);
    void labelClick(int n);
    void surfaceMove();
    void surfaceDown(Qt::MouseButton button, const QPoint& globalPos);
    void setCaptionBold(int n, bool bold);

    QWidget* surface_ = nullptr;
    std::array<QLabel*, kLabels> labels_{};
    std::array<Line, kLines> lines_{};
    QMenu* pop_ = nullptr;
    // The label that took the last press; its release raises the frame wherever it happens.
    int pressedLabel_ = 0;

    void showPicture(const QString& path);
    QPixmap picture_;
    CommonDialog CommonDialog1_;
    // A background change keeps its workspace and database open; the next change replaces them.
    std::optional<dao::Workspace> ws_;
    std::optional<dao::Database> db_;
};

}  // namespace mozhou
