// How the windows tell a failure: the engine's English message stays for logs and the details
// button; the user reads a Chinese sentence chosen by the failure's kind, saying what happened
// to which file and what to do about it. Every window goes through here, so each kind is worded
// once.
#pragma once

#include <QString>
#include <exception>
#include <filesystem>

class QWidget;

namespace mozhou {

// What the window was about when it failed.
struct Failure {
    Failure(QString action, std::filesystem::path file = {},
            QString which = QStringLiteral("这一项"))
        : action(std::move(action)), file(std::move(file)), which(std::move(which)) {}
    QString action;              // what did not happen, said first: "这道题没有录入"
    std::filesystem::path file;  // the file it was working on; empty: the question bank
    QString which;               // whose value would not fit: "这道题", "第 3 行"
};

// The sentence a user reads for `e` (any exception; engine errors by their kind).
QString failureText(const std::exception& e, const Failure& f);

// Shows failureText in a message box, the engine's own message behind its details button.
void showFailure(QWidget* parent, const std::exception& e, const Failure& f);

// The same once the event loop runs again: for a window that fails while it is being built, so
// that the box stands over the window instead of before it.
void showFailureLater(QWidget* parent, const std::exception& e, const Failure& f);

// A catalogue tree that cannot be read: the window says so, so that an unreadable bank never
// looks like an empty one.
void treeUnreadable(QWidget* window, const std::exception& e);

// A column of the bank's tables as the windows name it: "年级", "第一个选项"; another name is
// quoted as it is.
QString columnLabel(const std::string& column);

}  // namespace mozhou
