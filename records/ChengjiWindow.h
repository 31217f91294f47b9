#pragma once

#include <QWidget>
#include <optional>

#include "dao/dao.h"

class QPushButton;

namespace mozhou {

class DataGrid;

// The score records window `chengji`: every saved test, one row each, in a read-only grid, and
// the deletion of all of them behind the access code.
class ChengjiWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ChengjiWindow(QWidget* parent = nullptr);
    ~ChengjiWindow() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();

    void clearRecords();
    void closeRecordset();
    void closeHandles();

    // The grid and its data control in one.
    DataGrid* DBGrid1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;

    // Opened by a clear; the record set closes at its end, the workspace and the database stay
    // open until the next clear or until the window closes.
    std::optional<dao::Workspace> ws_;
    dao::Database db_;
    std::optional<dao::Recordset> rs_;
};

}  // namespace mozhou
