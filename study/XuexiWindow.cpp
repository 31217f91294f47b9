#include "XuexiWindow.h"

#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include "ListingView.h"
#include "bank_path.h"
#include "failure_text.h"
#include "looks.h"
#include "sql/jet_source.h"
#include "study_listing.h"
#include "study_rows.h"

namespace mozhou {
namespace {

template <class W>
W* placed(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(looks::pxRect(left, top, width, height));
    return w;
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

}  // namespace

XuexiWindow::XuexiWindow(QWidget* parent) : QWidget(parent), ws_("", "admin", "") {
    setObjectName(QStringLiteral("xuexi"));
    setWindowTitle(QStringLiteral("学习"));
    // Leaving closes the window; the next opening builds it anew from the bank as it is then.
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(looks::px(11340), looks::px(8220));
    const QFont song = looks::songFont(14);

    auto* label1 = placed(new QLabel(QStringLiteral("关键字"), this), "Label1", 120, 360, 540, 180);
    label1->adjustSize();
    Text1_ = placed(new QLineEdit(this), "Text1", 720, 240, 1815, 375);
    Command1_ =
        placed(new QPushButton(QStringLiteral("查询"), this), "Command1", 2640, 240, 1095, 375);
    auto* frame3 =
        placed(new QGroupBox(QStringLiteral("选择课程"), this), "Frame3", 120, 720, 3615, 7335);
    TreeView1_ = placed(new TreeView(frame3), "TreeView1", 120, 240, 3375, 6975);
    RichTextBox1_ = placed(new ListingView(this), "RichTextBox1", 3840, 360, 7335, 6975);
    RichTextBox1_->setFont(song);
    RichTextBox1_->setPlainText(qs(study::kNothingChosen));
    Label3_ = placed(new QLabel(qs(study::kCountAtStart), this), "Label3", 4080, 7680, 1800, 285);
    Label2_ = placed(new QLabel(QStringLiteral("Label2"), this), "Label2", 6000, 7680, 900, 285);
    Label3_->setFont(song);
    Label2_->setFont(song);
    // The date is wider than its place at this font; let it run to the right as the caption does.
    Label2_->setWordWrap(false);
    Label2_->resize(looks::px(3600), Label2_->height());
    Command3_ =
        placed(new QPushButton(QStringLiteral("离开"), this), "Command3", 9720, 7440, 1455, 615);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(100);
    connect(Timer1_, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer1_->start();

    connect(TreeView1_, &TreeView::NodeClick, this,
            [this](const TreeClick& node) { TreeView1_NodeClick(node); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3_, &QPushButton::clicked, this, [this] { Command3_Click(); });
    Form_Load();
}

void XuexiWindow::Form_Load() {
    try {
        auto db = ws_.OpenDatabase(bankPath());
        sql::JetSource source(db.engine().shared_from_this());
        TreeView1_->build(bank::TreeWindow::Study, ImageList1_,
                          [&](const std::string& text) { return sql::execute(source, text); });
    } catch (const std::exception& e) {
        // The tree stays empty; the user is told why, unlike for an empty bank.
        treeUnreadable(this, e);
    }
}

void XuexiWindow::TreeView1_NodeClick(const TreeClick& node) {
    if (node.level != bank::TreeLevel::Lesson) return;  // grade and subject nodes show nothing
    const std::vector<std::string> path{node.grade.toStdString(), node.subject.toStdString(),
                                        node.lesson.toStdString()};
    const auto text = study::lessonQuery(path);
    if (!text) return;
    try {
        if (!db_.isOpen()) db_ = ws_.OpenDatabase(bankPath());
        auto rs = db_.OpenRecordset(*text);
        const auto found = static_cast<std::size_t>(rs.RecordCount());
        showResult(study::lessonDisplay(found), std::move(rs));
    } catch (const std::exception&) {
        // A lesson that cannot be read leaves the display as it was.
    }
}

void XuexiWindow::Command1_Click() {
    const auto text = study::keywordQuery(Text1_->text().toStdString());
    if (!text) {
        RichTextBox1_->setPlainText(qs(study::kNoKeyword));
        return;
    }
    try {
        if (!db_.isOpen()) db_ = ws_.OpenDatabase(bankPath());
        auto rs = db_.OpenRecordset(*text);
        const auto found = static_cast<std::size_t>(rs.RecordCount());
        showResult(study::searchDisplay(found), std::move(rs));
    } catch (const std::exception& e) {
        RichTextBox1_->setPlainText(failureText(e, {QStringLiteral("没有查询题目")}));
    }
}

void XuexiWindow::showResult(const study::Display& shown, dao::Recordset found) {
    rs_ = std::move(found);
    if (shown.count) Label3_->setText(qs(*shown.count));
    if (shown.message) return RichTextBox1_->setPlainText(qs(*shown.message));
    // The entries are read from the record set as they come into view, so that a listing of
    // the whole bank shows as soon as one of a few questions.
    RichTextBox1_->setEntries(shown.entries, [this](std::size_t i) {
        try {
            return qs(study::listingEntry(study::questionRowAt(rs_, i), i));
        } catch (const std::exception& e) {
            return QString::number(i + 1) + QLatin1Char('.') +
                   failureText(e, {QStringLiteral("这道题没能读出")}) + QLatin1Char('\n');
        }
    });
}

void XuexiWindow::Timer1_Timer() {
    const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    Label2_->setText(qs(study::dateCaption(date.toStdString())));
}

void XuexiWindow::Command3_Click() {
    try {
        rs_.Close();
    } catch (...) {
    }
    close();
}

}  // namespace mozhou
