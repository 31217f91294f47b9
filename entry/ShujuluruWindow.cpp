#include "ShujuluruWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "DataGrid.h"
#include "bank_backup.h"
#include "bank_path.h"
#include "bank_tables.h"
#include "failure_text.h"
#include "looks.h"
#include "message_box.h"
#include "sql_texts.h"
#include "window_data.h"

namespace mozhou {

namespace {
const QString kPlaceholder = QStringLiteral("请选择");
}  // namespace

namespace fs = std::filesystem;
using namespace bank;

namespace {

const QString kChoice = QStringLiteral("选择题");
const QString kFillIn = QStringLiteral("填空题");
const QString kNotEntered = QStringLiteral("这道题没有录入");

std::string utf8(const QString& s) { return s.toStdString(); }
QString qtext(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
QString pathText(const fs::path& p) { return QString::fromStdString(p.string()); }

template <typename W>
W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(looks::pxRect(left, top, width, height));
    return w;
}

}  // namespace

ShujuluruWindow::ShujuluruWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("shujuluru");
    setWindowTitle(QStringLiteral("数据录入"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(looks::px(10830), looks::px(8955));

    const QFont big = looks::songFont(14);
    const QFont normal = looks::songFont(12);
    const QFont small = looks::songFont(9);

    auto combo = [&](const char* name, int top) {
        auto* box = new QComboBox(this);
        box->setEditable(true);
        // Typed values stay as typed: no completion from the list, no insertion into it.
        box->setCompleter(nullptr);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setFont(big);
        box->setEditText(kPlaceholder);
        box->installEventFilter(this);
        const int height = std::max(box->sizeHint().height(), looks::px(465));
        place(box, name, 0, top, 1455, height * looks::kTwipsPerPixel);
        return box;
    };
    Combo1_ = combo("Combo1", 0);
    Combo2_ = combo("Combo2", 480);
    Combo3_ = combo("Combo3", 960);

    auto button = [&](const char* name, const QString& caption, int top) {
        auto* b = place(new QPushButton(caption, this), name, 0, top, 1335, 495);
        b->setFont(normal);
        return b;
    };
    Command1_ = button("Command1", QStringLiteral("录入"), 1440);
    Command1_->setEnabled(false);
    Command2_ = button("Command2", QStringLiteral("数据清空"), 2040);
    Command3_ = button("Command3", QStringLiteral("离开"), 2640);

    Check1_ = place(new QCheckBox(QStringLiteral("数据编辑"), this), "Check1", 0, 3240, 1455, 375);
    Check1_->setFont(normal);

    Option1_ = place(new QRadioButton(kChoice, this), "Option1", 1560, 600, 855, 255);
    Option2_ = place(new QRadioButton(kFillIn, this), "Option2", 1560, 960, 855, 255);
    Option1_->setFont(small);
    Option2_->setFont(small);
    Option1_->setChecked(true);

    auto label = [&](const char* name, const QString& caption, int left, int top) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(big);
        l->adjustSize();
        l->move(looks::px(left), looks::px(top));
        return l;
    };
    auto line = [&](const char* name, int left, int top, int width, int height) {
        auto* t = place(new QLineEdit(this), name, left, top, width, height);
        t->setFont(normal);
        return t;
    };
    Label1_ = label("Label1", QStringLiteral("原题："), 1680, 120);
    Text1_ = place(new QPlainTextEdit(this), "Text1", 2640, 120, 8055, 975);
    Text1_->setFont(normal);
    Text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1_->setTabChangesFocus(true);
    Label2_ = label("Label2", QStringLiteral("A"), 2400, 1200);
    Text2_ = line("Text2", 2640, 1200, 8055, 375);
    Label3_ = label("Label3", QStringLiteral("B"), 2400, 1680);
    Text3_ = line("Text3", 2640, 1680, 8055, 375);
    Label4_ = label("Label4", QStringLiteral("C"), 2400, 2160);
    Text4_ = line("Text4", 2640, 2160, 8055, 375);
    Label5_ = label("Label5", QStringLiteral("D"), 2400, 2640);
    Text5_ = line("Text5", 2640, 2640, 8055, 375);
    Label6_ = label("Label6", QStringLiteral("正确答案："), 1560, 3240);
    Text6_ = line("Text6", 3120, 3120, 855, 375);
    Text7_ = line("Text7", 4080, 3120, 6615, 375);

    DBGrid1_ = place(new DataGrid(this), "DBGrid1", 0, 3720, 10695, 4935);

    connect(Combo1_, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(Combo3_, &QComboBox::activated, this, [this] { Combo3_Click(); });
    connect(Option1_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Option1_Click();
    });
    connect(Option2_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Option2_Click();
    });
    connect(Text6_, &QLineEdit::textChanged, this, [this] { Text6_Change(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3_, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Check1_, &QCheckBox::toggled, this, [this] { Check1_Click(); });
}

ShujuluruWindow::~ShujuluruWindow() { closeHandles(); }

bool ShujuluruWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && !refilling_) {
        // Focus coming back from the list's popup or from another window is not the user
        // entering the box; refilling then would wipe the choice just made.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        auto gotFocus = [&] {
            if (watched == Combo1_) Combo1_GotFocus();
            if (watched == Combo2_) Combo2_GotFocus();
            if (watched == Combo3_) Combo3_GotFocus();
        };
        auto* box = qobject_cast<QComboBox*>(watched);
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            gotFocus();
        } else if (box && box->currentText() == kPlaceholder) {
            // A box that has not been entered yet (the window opens with the focus in it):
            // its list is filled all the same, the placeholder stays, selected, so that typing
            // replaces it, and the grid keeps its query.
            const std::string query = currentQuery_;
            gotFocus();
            currentQuery_ = query;
            box->setEditText(kPlaceholder);
            box->lineEdit()->selectAll();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ShujuluruWindow::closeEvent(QCloseEvent* event) {
    closeHandles();
    DBGrid1_->closeData();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The three lists

void ShujuluruWindow::Combo1_GotFocus() { refillList(Combo1_, bank::sql::allGrades()); }

void ShujuluruWindow::Combo2_GotFocus() {
    refillList(Combo2_, bank::sql::subjectsOfGrade(utf8(Combo1_->currentText())));
}

void ShujuluruWindow::Combo3_GotFocus() {
    refillList(Combo3_, bank::sql::lessonsOfSubject(utf8(Combo1_->currentText()),
                                                    utf8(Combo2_->currentText())));
    Command1_->setEnabled(true);
}

void ShujuluruWindow::refillList(QComboBox* box, const std::string& query) {
    refilling_ = true;
    box->clear();
    box->setEditText(QString());
    currentQuery_ = query;
    if (openBank(query, QStringLiteral("列表没有读出来"))) {
        // Whatever fails while the rows are walked, the list keeps what it got.
        try {
            for (rs_->MoveFirst(); !rs_->Eof(); rs_->MoveNext())
                box->addItem(qtext(dao::toText(std::as_const(*rs_).Fields(0))));
        } catch (...) {
        }
    }
    // Filling an empty box chooses its first item; the box is to stay empty until the user
    // picks or types.
    box->setCurrentIndex(-1);
    box->setEditText(QString());
    closeHandles();
    refilling_ = false;
}

void ShujuluruWindow::Combo1_Click() { emptyTextBoxes(); }

void ShujuluruWindow::Combo3_Click() {
    currentQuery_ = bank::sql::lessonQuestions(
        utf8(Combo1_->currentText()), utf8(Combo2_->currentText()), utf8(Combo3_->currentText()));
    emptyTextBoxes();
    DATAREFRESH();
    Command1_->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Type and answer letter

void ShujuluruWindow::Option1_Click() { setChoiceControlsEnabled(true); }
void ShujuluruWindow::Option2_Click() { setChoiceControlsEnabled(false); }

void ShujuluruWindow::setChoiceControlsEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{Label2_, Label3_, Label4_, Label5_, Text2_,
                                                      Text3_, Text4_, Text5_, Text6_})
        w->setEnabled(on);
}

void ShujuluruWindow::Text6_Change() {
    const QString text = Text6_->text();
    const QString upper = text.toUpper();
    if (upper != text) {
        // Setting the text calls this again with the capital letters, which copies.
        const int cursor = Text6_->cursorPosition();
        Text6_->setText(upper);
        Text6_->setCursorPosition(cursor);
        return;
    }
    if (text == "A") Text7_->setText(Text2_->text());
    if (text == "B") Text7_->setText(Text3_->text());
    if (text == "C") Text7_->setText(Text4_->text());
    if (text == "D") Text7_->setText(Text5_->text());
}

void ShujuluruWindow::emptyTextBoxes() {
    Text1_->clear();
    for (QLineEdit* t : {Text2_, Text3_, Text4_, Text5_, Text6_, Text7_}) t->clear();
}

// ---------------------------------------------------------------------------------------------
// Adding a question

void ShujuluruWindow::Command1_Click() {
    const QString type = Option1_->isChecked() ? kChoice : kFillIn;
    currentQuery_ =
        bank::sql::lessonQuestionsOfType(utf8(Combo1_->currentText()), utf8(Combo2_->currentText()),
                                         utf8(Combo3_->currentText()), utf8(type));
    closeHandles();
    if (!openBank(currentQuery_, kNotEntered)) return;
    // A multi-line question keeps the line breaks of the program's text boxes (CR LF).
    QString question = Text1_->toPlainText();
    question.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    question.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    try {
        auto& rs = *rs_;
        rs.AddNew();
        rs.Fields(tiku::nianji) = utf8(Combo1_->currentText());
        rs.Fields(tiku::kemu) = utf8(Combo2_->currentText());
        rs.Fields(tiku::kecheng) = utf8(Combo3_->currentText());
        rs.Fields(tiku::yuanti) = utf8(question);
        rs.Fields(tiku::xuanxianga) = utf8(Text2_->text());
        rs.Fields(tiku::xuanxiangb) = utf8(Text3_->text());
        rs.Fields(tiku::xuanxiangc) = utf8(Text4_->text());
        rs.Fields(tiku::xuanxiangd) = utf8(Text5_->text());
        rs.Fields(tiku::daan) = utf8(Text6_->text());
        rs.Fields(tiku::daanneirong) = utf8(Text7_->text());
        rs.Fields(tiku::zhuangtai) = dao::Value{std::int64_t{0}};
        rs.Fields(tiku::tixing) = utf8(type);
        rs.Update();
    } catch (const std::exception& e) {
        try {
            rs_->CancelUpdate();
        } catch (...) {
        }
        // The boxes keep what was typed, so nothing is lost.
        showFailure(this, e, {kNotEntered, {}, QStringLiteral("这道题")});
        return;
    }
    emptyTextBoxes();
    DATAREFRESH();
}

// ---------------------------------------------------------------------------------------------
// Emptying the bank

void ShujuluruWindow::Command2_Click() {
    if (askText(this) == QString::fromLatin1(bank::kAccessCode)) {
        currentQuery_ = bank::sql::wholeBank();
        emptyBank();
    } else {
        showMessage(this, QStringLiteral("对不起，密码不对！"));
    }
    DATAREFRESH();
}

void ShujuluruWindow::emptyBank() {
    closeHandles();
    const fs::path bankFile = bankPath();
    std::error_code ec;
    if (!fs::exists(bankFile, ec)) {
        showMessage(this,
                    QStringLiteral("找不到题库文件 %1，没有清空。请确认它没有被删除或移到别处。")
                        .arg(pathText(bankFile)));
        return;
    }
    // Taken while no change is under way; without a copy the bank is left alone.
    std::optional<bank::Backup> copy;
    try {
        copy.emplace(bankFile);
    } catch (const bank::BackupError& e) {
        showFailure(this, e,
                    {QStringLiteral("题库没有清空：清空前要先备份，备份没能做成"),
                     bank::backupFolder(bankFile)});
        return;
    }
    // One transaction: the bank is emptied whole or not at all.
    try {
        ws_.emplace();
        db_ = ws_->OpenDatabase(bankFile);
        rs_.emplace(db_.OpenRecordset(currentQuery_));
        bank::deleteAllRows(*ws_, *rs_);
    } catch (const std::exception& e) {
        closeHandles();
        copy->discard();
        showFailure(this, e, {QStringLiteral("题库没有清空，其中的题目都还在")});
        return;
    }
    closeHandles();
    copy->keep();
    showMessage(this,
                QStringLiteral("题库已清空。清空前的题库备份在 %1。").arg(pathText(copy->path())));
}

// ---------------------------------------------------------------------------------------------
// Grid, editing switch and leaving

void ShujuluruWindow::DATAREFRESH() {
    DBGrid1_->setDatabaseName(bankPath());
    DBGrid1_->setRecordSource(currentQuery_);
    DBGrid1_->refresh();
}

void ShujuluruWindow::Check1_Click() {
    const bool on = Check1_->isChecked();
    DBGrid1_->setAllowAddNew(on);
    DBGrid1_->setAllowArrows(on);
    DBGrid1_->setAllowDelete(on);
    DBGrid1_->setAllowUpdate(on);
}

void ShujuluruWindow::Command3_Click() {
    closeHandles();
    close();
}

// ---------------------------------------------------------------------------------------------

bool ShujuluruWindow::openBank(const std::string& query, const QString& action) {
    try {
        std::error_code ec;
        if (!fs::exists(bankPath(), ec))
            throw dao::Error("the file does not exist", jet::ErrorKind::Missing);
        ws_.emplace();
        db_ = ws_->OpenDatabase(bankPath());
        rs_.emplace(db_.OpenRecordset(query));
    } catch (const std::exception& e) {
        closeHandles();
        showFailure(this, e, {action});
        return false;
    }
    return true;
}

void ShujuluruWindow::closeHandles() { bank::closeHandles(rs_, db_, ws_); }

}  // namespace mozhou
