#include "failure_text.h"

#include <QTimer>
#include <QWidget>
#include <map>

#include "bank_path.h"
#include "jet/error.h"
#include "message_box.h"

namespace mozhou {

namespace {

namespace fs = std::filesystem;

// The file as the sentence names it, once: the bank by its role, any other file as a
// database file.
QString fileNamed(const fs::path& file) {
    const fs::path f = file.empty() ? bankPath() : file;
    std::error_code ec;
    const bool bank = file.empty() || fs::equivalent(f, bankPath(), ec) || f == bankPath();
    return (bank ? QStringLiteral("题库文件 ") : QStringLiteral("数据库文件 ")) +
           QString::fromStdString(f.string());
}

QString columnPart(const std::exception& e, const Failure& f) {
    const auto* c = dynamic_cast<const jet::ColumnError*>(&e);
    if (!c || c->column().empty()) return f.which + QStringLiteral("的内容");
    return f.which + QStringLiteral("的“") + columnLabel(c->column()) + QStringLiteral("”");
}

QString kindText(const std::exception& e, const Failure& f) {
    const auto* je = dynamic_cast<const jet::Error*>(&e);
    const QString file = fileNamed(f.file);
    switch (je ? je->kind() : jet::ErrorKind::General) {
        case jet::ErrorKind::Missing:
            return QStringLiteral("找不到") + file +
                   QStringLiteral("。请确认它没有被删除或移到别处，再试一次。");
        case jet::ErrorKind::NotDatabase:
            return file + QStringLiteral(
                              " 不是本程序能用的题库：它不是数据库文件，或者缺少题库的表。"
                              "请换用正确的文件，或者把备份的题库复制回来。");
        case jet::ErrorKind::Damaged:
            return file + QStringLiteral(
                              " 已经损坏，其中有读不出的部分。"
                              "请用备份的题库替换它，或者用数据库软件修复它。");
        case jet::ErrorKind::Busy:
            return file + QStringLiteral(
                              " 正在被另一个程序修改或打开（例如数据库软件）。"
                              "请等它改完，或者关闭那个程序后再试一次。");
        case jet::ErrorKind::ReadOnly:
            return file + QStringLiteral(
                              " 或它所在的文件夹是只读的，不能修改。"
                              "请去掉它的只读属性，或者把它复制到可以写入的文件夹。");
        case jet::ErrorKind::DiskFull:
            return QStringLiteral("磁盘已满，") + file +
                   QStringLiteral(" 没有改动。请删除一些不需要的文件，腾出空间后再试一次。");
        case jet::ErrorKind::ValueDoesNotFit:
            return columnPart(e, f) + QStringLiteral("太长或超出了范围，存不进") + file +
                   QStringLiteral("。请把它改短或改小后再试一次。");
        case jet::ErrorKind::Unencodable:
            return columnPart(e, f) + QStringLiteral("中有") + file +
                   QStringLiteral(
                       " 存不下的字。"
                       "请换掉这个字后再试一次。");
        case jet::ErrorKind::IndexUnsupported:
            return file + QStringLiteral(
                              " 中的这张表带有本程序无法维护的索引，不能修改。"
                              "请用数据库软件去掉这个索引，或者换一个文件。");
        case jet::ErrorKind::Replaced:
            return file + QStringLiteral(
                              " 在打开期间被移走、删除或替换了，这次的修改没有保存。"
                              "请关闭这个窗口，重新打开后再试一次。");
        case jet::ErrorKind::General:
            break;
    }
    return file + QStringLiteral(
                      " 出了意外的问题。请关闭这个窗口后再试一次；"
                      "仍然不行时，请用备份的题库替换它。");
}

}  // namespace

QString columnLabel(const std::string& column) {
    static const std::map<std::string, QString> labels{
        {"nianji", QStringLiteral("年级")},
        {"kemu", QStringLiteral("科目")},
        {"kecheng", QStringLiteral("课程")},
        {"yuanti", QStringLiteral("原题")},
        {"xuanxianga", QStringLiteral("第一个选项")},
        {"xuanxiangb", QStringLiteral("第二个选项")},
        {"xuanxiangc", QStringLiteral("第三个选项")},
        {"xuanxiangd", QStringLiteral("第四个选项")},
        {"daan", QStringLiteral("正确答案")},
        {"daanneirong", QStringLiteral("答案内容")},
        {"zhuangtai", QStringLiteral("错题标记")},
        {"tixing", QStringLiteral("题型")},
        {"riqi", QStringLiteral("日期")},
        {"zhengque", QStringLiteral("答对题数")},
        {"cuowu", QStringLiteral("答错题数")},
        {"defen", QStringLiteral("得分")},
        {"tupian", QStringLiteral("背景图片")},
    };
    const auto it = labels.find(column);
    return it != labels.end() ? it->second : QString::fromStdString(column);
}

QString failureText(const std::exception& e, const Failure& f) {
    return f.action + QStringLiteral("。") + kindText(e, f);
}

void showFailure(QWidget* parent, const std::exception& e, const Failure& f) {
    showMessage(parent, failureText(e, f), QString::fromUtf8(e.what()));
}

void showFailureLater(QWidget* parent, const std::exception& e, const Failure& f) {
    QTimer::singleShot(0, parent,
                       [parent, text = failureText(e, f), details = QString::fromUtf8(e.what())] {
                           showMessage(parent, text, details);
                       });
}

void treeUnreadable(QWidget* window, const std::exception& e) {
    showFailureLater(window, e, {QStringLiteral("题目目录没有读出来，现在没有内容可选")});
}

}  // namespace mozhou
