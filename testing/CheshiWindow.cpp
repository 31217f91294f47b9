#include "CheshiWindow.h"

#include <QDate>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyleHints>

#include "bank_path.h"
#include "failure_text.h"
#include "looks.h"
#include "message_box.h"
#include "sql/jet_source.h"
#include "window_registry.h"

namespace mozhou {
namespace {

template <class W>
W* placed(W* w, const QString& name, int left, int top, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(looks::pxRect(left, top, width, height));
    return w;
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top,
              int width) {
    auto* l = placed(new QLabel(text, parent), QString::fromLatin1(name), left, top, width, 300);
    l->setFont(looks::songFont(10.5));
    return l;
}

QLineEdit* box(QWidget* parent, const char* name, int left, int top, int width) {
    auto* t = placed(new QLineEdit(qs(cheshi::kNotStarted), parent), QString::fromLatin1(name),
                     left, top, width, 360);
    // The counters come from the marking; a typed-over box would be saved as the result.
    t->setReadOnly(true);
    t->setFont(looks::songFont(10.5));
    return t;
}

}  // namespace

CheshiWindow::CheshiWindow(Mode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
    const bool drill = mode == Mode::Drill;
    setObjectName(drill ? QStringLiteral("cuoti") : QStringLiteral("cheshi"));
    setWindowTitle(qs(drill ? cheshi::kDrillCaption : cheshi::kTestCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(looks::px(11070), looks::px(8430));
    const QFont song = looks::songFont(10.5);

    auto* frame1 =
        placed(new QGroupBox(QStringLiteral("请选择课时"), this), "Frame1", 120, 120, 3000, 7000);
    TreeView1_ = placed(new TreeView(frame1), "TreeView1", 120, 300, 2760, 6580);

    auto* frame2 =
        placed(new QGroupBox(QStringLiteral("原题"), this), "Frame2", 3240, 120, 7710, 3000);
    Text2_ = placed(new QPlainTextEdit(frame2), "Text2", 120, 300, 7470, 2580);
    Text2_->setReadOnly(true);
    Text2_->setFont(looks::songFont(12));

    auto* frame3 = placed(new QGroupBox(QStringLiteral("答案区 注：每次测试答案不一致"), this),
                          "Frame3", 3240, 3240, 7710, 1800);
    for (int i = 0; i < 4; ++i) {
        Option1_[i] =
            placed(new QRadioButton(QString(QChar(u'A' + i)), frame3),
                   QStringLiteral("Option1(%1)").arg(i + 1), 240 + i * 1200, 360, 900, 360);
        Option1_[i]->setFont(song);
        Option1_[i]->setEnabled(false);
        Text6_[i] =
            placed(new QLineEdit(frame3), QStringLiteral("Text6(%1)").arg(i + 1), 0, 0, 600, 300);
        Text6_[i]->hide();
    }
    Text1_ = placed(new QLineEdit(frame3), "Text1", 240, 960, 4200, 375);
    Text1_->setFont(song);
    Text1_->setEnabled(false);
    Command1_ =
        placed(new QPushButton(QStringLiteral("确定"), frame3), "Command1", 4560, 945, 1095, 405);
    Command1_->setFont(song);
    Command1_->setEnabled(false);
    Picture1_ = placed(new QLabel(frame3), "Picture1", 6000, 240, 1440, 1440);
    Picture1_->setScaledContents(true);

    auto* frame4 =
        placed(new QGroupBox(QStringLiteral("答题统计表"), this), "Frame4", 3240, 5160, 4710, 1960);
    label(frame4, "Label1", QStringLiteral("答对:"), 160, 390, 600);
    Text3_ = box(frame4, "Text3", 760, 360, 780);
    label(frame4, "Label2", QStringLiteral("答错:"), 1680, 390, 600);
    Text4_ = box(frame4, "Text4", 2280, 360, 780);
    label(frame4, "Label3", QStringLiteral("成绩:"), 3200, 390, 600);
    Text5_ = box(frame4, "Text5", 3800, 360, 780);
    Label8_ = label(frame4, "Label8", qs(cheshi::kNotStarted), 160, 900, 1800);
    Label9_ = label(frame4, "Label9", qs(cheshi::kNotStarted), 2280, 900, 2300);
    if (drill) {
        ProgressBar1_ = placed(new QProgressBar(frame4), "ProgressBar1", 160, 1380, 4380, 360);
        ProgressBar1_->setTextVisible(false);
        ProgressBar1_->setRange(0, 100);
        ProgressBar1_->setValue(0);
    } else {
        Slider1_ = placed(new QSlider(Qt::Horizontal, frame4), "Slider1", 160, 1380, 4380, 360);
        // The slider only shows how far the test has come.
        Slider1_->setEnabled(false);
        Slider1_->setTickPosition(QSlider::TicksBelow);
    }

    auto* frame5 =
        placed(new QGroupBox(QStringLiteral("说明"), this), "Frame5", 120, 7200, 10830, 1110);
    auto* label4 = label(frame5, "Label4", QStringLiteral("1.只有做完试题'保存测试'才能使用。"),
                         240, 300, 10400);
    auto* label5 =
        label(frame5, "Label5",
              QStringLiteral("2.做题时不应关注答案的顺序和序号，每次测试顺序和序号是不一样。"), 240,
              660, 10400);
    label4->setFont(looks::songFont(9));
    label5->setFont(looks::songFont(9));

    auto button = [&](const char* name, const QString& caption, int top) {
        auto* b =
            placed(new QPushButton(caption, this), QString::fromLatin1(name), 8040, top, 2910, 555);
        b->setFont(song);
        return b;
    };
    Command3_ = button("Command3", QStringLiteral("保存测试"), 5250);
    Command3_->setEnabled(false);
    Command4_ = button("Command4", QStringLiteral("提取测试"), 5910);
    Command6_ = button("Command6", QStringLiteral("离开"), 6570);

    connect(TreeView1_, &TreeView::NodeClick, this,
            [this](const TreeClick& node) { TreeView1_NodeClick(node); });
    for (int i = 0; i < 4; ++i)
        connect(Option1_[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i + 1); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    // Return and the keypad's Enter both send character 13.
    connect(Text1_, &QLineEdit::returnPressed, this, [this] { Text1_KeyPress(); });
    Text1_->installEventFilter(this);
    connect(Command3_, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4_, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command6_, &QPushButton::clicked, this, [this] { Command6_Click(); });
    Form_Load();
}

bank::TreeWindow CheshiWindow::treeWindow() const {
    return mode_ == Mode::Drill ? bank::TreeWindow::Drill : bank::TreeWindow::Test;
}

void CheshiWindow::Form_Load() {
    try {
        dao::Workspace ws("", "admin", "");
        auto db = ws.OpenDatabase(bankPath());
        sql::JetSource source(db.engine().shared_from_this());
        TreeView1_->build(treeWindow(), ImageList1_,
                          [&](const std::string& text) { return sql::execute(source, text); });
    } catch (const std::exception& e) {
        // The tree stays empty; the user is told why, unlike for an empty bank.
        treeUnreadable(this, e);
    }
    // The answer box comes first in the tab order.
    QWidget* order[] = {Text1_,      Command1_, Option1_[0], Option1_[1], Option1_[2],
                        Option1_[3], Command3_, Command4_,   Command6_,   TreeView1_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    Text1_->clear();
}

void CheshiWindow::TreeView1_NodeClick(const TreeClick& node) {
    // Only a lesson starts anything; a grade or subject leaves the running test alone.
    if (node.level != bank::TreeLevel::Lesson) return;
    Command3_->setEnabled(false);
    const std::string query =
        bank::treeClickQuery(treeWindow(), node.level, node.grade.toStdString(),
                             node.subject.toStdString(), node.lesson.toStdString());
    std::size_t count = 0;
    QString problem;
    try {
        count = records_.open(bankPath(), query);
    } catch (const std::exception& e) {
        problem = failureText(e, {QStringLiteral("这一课的题目没有读出来")});
    }
    const auto started =
        session_.start(count, [this](std::size_t position) { return records_.row(position); });
    setProgress(started.progressMaximum, 0);
    Label8_->setText(qs(started.total));
    Label9_->setText(qs(started.remaining));
    if (started.question) {
        showQuestion(*started.question);
    } else {
        // Nothing to ask: every answer input stays off.
        records_.close();
        enableInputs(false, false);
        Text2_->setPlainText(problem);
        for (auto* t : Text6_) t->clear();
    }
}

void CheshiWindow::showQuestion(const cheshi::ShownQuestion& q) {
    for (std::size_t i = 0; i < 4; ++i) Text6_[i]->setText(qs(q.options[i]));
    Text2_->setPlainText(qs(q.text));
    enableInputs(q.choice, !q.choice);
    shownAt_.start();
}

// One press answers one question: the rest of a double-click or a second quick Enter would
// otherwise answer the next question before the pupil has seen it.
bool CheshiWindow::settled() const {
    return !shownAt_.isValid() ||
           shownAt_.elapsed() >= QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

bool CheshiWindow::eventFilter(QObject* watched, QEvent* event) {
    // A held Enter key repeats; only its first press answers.
    if (watched == Text1_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CheshiWindow::enableInputs(bool choice, bool fillIn) {
    for (auto* o : Option1_) o->setEnabled(choice);
    Text1_->setEnabled(fillIn);
    Command1_->setEnabled(fillIn);
    if (fillIn) Text1_->setFocus();
}

void CheshiWindow::Option1_Click(int index) {
    if (!settled()) return clearOptions();
    if (auto a = session_.answerChoice(index)) carryOut(*a);
}

void CheshiWindow::Command1_Click() {
    if (!settled()) return;
    qwe();
    Text1_->clear();
}

// Enter in the answer box does what "确定" does.
void CheshiWindow::Text1_KeyPress() { Command1_Click(); }

void CheshiWindow::qwe() {
    if (auto a = session_.answerFillIn(Text1_->text().toStdString())) carryOut(*a);
}

void CheshiWindow::carryOut(const cheshi::Answered& a) {
    showPicture(a.picture);
    // The mark is on disk before the next question shows; a failed write leaves the old mark
    // and the test goes on.
    if (a.zhuangtai) records_.write(a.answeredPosition, *a.zhuangtai);
    if (a.next) showQuestion(*a.next);
    Text3_->setText(qs(a.statistics.right));
    Text4_->setText(qs(a.statistics.wrong));
    Text5_->setText(qs(a.statistics.score));
    Label9_->setText(qs(a.remaining));
    setProgress(session_.zongshu(), a.progress);
    if (a.finished) {
        Command3_->setEnabled(true);
        enableInputs(false, false);
        records_.close();
    }
    clearOptions();
}

void CheshiWindow::setProgress(std::size_t maximum, std::size_t position) {
    if (Slider1_) {
        Slider1_->setMaximum(int(maximum));
        Slider1_->setValue(int(position));
    } else {
        // A bar whose maximum is 0 would run as a busy indicator; an empty drill shows an empty
        // bar.
        ProgressBar1_->setMaximum(std::max(int(maximum), 1));
        ProgressBar1_->setValue(int(position));
    }
}

void CheshiWindow::showPicture(std::string_view file) {
    QPixmap picture;
    // A missing or unreadable picture leaves the last one standing.
    if (picture.load(QString::fromStdString(programFolder().string() + "/" + std::string(file))))
        Picture1_->setPixmap(picture);
}

void CheshiWindow::clearOptions() {
    for (auto* o : Option1_) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
}

void CheshiWindow::Command3_Click() {
    const QDate today = QDate::currentDate();
    const auto row = session_.scoreRow(std::chrono::year_month_day{
        std::chrono::year(today.year()), std::chrono::month(unsigned(today.month())),
        std::chrono::day(unsigned(today.day()))});
    if (!row) return;
    try {
        cheshi::appendScore(bankPath(), *row);
    } catch (const std::exception& e) {
        showFailure(this, e,
                    {QStringLiteral("测试成绩没有保存"), {}, QStringLiteral("这次的成绩")});
        return;
    }
    session_.saved();
    Command3_->setEnabled(false);
}

void CheshiWindow::Command4_Click() { WindowRegistry::instance().show(QStringLiteral("chengji")); }

void CheshiWindow::Command6_Click() {
    records_.close();
    close();
}

}  // namespace mozhou
