// Message and input boxes answered by a test instead of the user: every message is kept in
// `messages`; the input box gets `answers` in turn (nullopt for a cancel), and a window that
// asks once too often fails the test. Installed for the lifetime of the object.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "message_box.h"

namespace mozhou_test {

struct AnswerBoxes {
    QStringList messages;
    std::vector<std::optional<QString>> answers;

    AnswerBoxes() {
        mozhou::setMessageHandler([this](const QString& m) { messages << m; });
        mozhou::setAskTextHandler([this]() -> std::optional<QString> {
            EXPECT_FALSE(answers.empty()) << "the input box was shown once too often";
            if (answers.empty()) return std::nullopt;
            auto a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    ~AnswerBoxes() {
        mozhou::setAskTextHandler({});
        mozhou::setMessageHandler({});
    }
    AnswerBoxes(const AnswerBoxes&) = delete;
    AnswerBoxes& operator=(const AnswerBoxes&) = delete;
};

}  // namespace mozhou_test
