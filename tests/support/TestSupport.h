#pragma once

// What every test may use: a scripted operator, the in-memory clock, error
// box and settings store, and byte helpers for the job files.

#include "TestDoubles.h"
#include "platform/OperatorPrompt.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <deque>
#include <initializer_list>
#include <vector>

// A prompt that answers from a script and records every question.
class ScriptedPrompt final : public OperatorPrompt {
public:
    struct Question {
        QString kind; // "YesNoCancel", "RetryCancel", "Message"
        QString title;
        QString text;
        bool infrastructureFault = false; // told with a Retry/Cancel question after a failure
    };

    int askYesNoCancel(const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("YesNoCancel"), title, text});
        return next(yesNoCancelAnswers, Answer::No);
    }
    int askRetryCancel(const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("RetryCancel"), title, text});
        return next(retryCancelAnswers, Answer::Cancel);
    }
    int askAfterFailure(const QString& title, const QString& text, bool infrastructureFault) override
    {
        const int answer = askRetryCancel(title, text);
        asked.back().infrastructureFault = infrastructureFault;
        return answer;
    }
    void showMessage(const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("Message"), title, text});
    }
    [[nodiscard]] bool answersByPolicy() const override { return byPolicy; }

    // Answers used in order; when the script runs out: No for job-exists
    // questions, Cancel for Retry/Cancel.
    std::deque<int> yesNoCancelAnswers;
    std::deque<int> retryCancelAnswers;
    std::vector<Question> asked;
    bool byPolicy = false; // as a headless server, where nobody sits at the questions

private:
    // The next scripted answer, or the fallback when the script ran out.
    static int next(std::deque<int>& answers, int fallback)
    {
        if (answers.empty())
            return fallback;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
};

// Lines joined with CR LF, the line end of the job files.
QByteArray crlf(std::initializer_list<const char*> lines);
// A whole file's bytes; empty when missing.
QByteArray readFileBytes(const QString& path);
// The rows a statement returns from a database file, read on a short-lived
// connection of its own as another program sees the file; a statement that
// fails fails the test.
QList<QVariantList> queryRows(const QString& databasePath, const QString& sql);
// The first column of the first row (Null when none).
QVariant queryValue(const QString& databasePath, const QString& sql);
// The latest report of a client directory's $TXerror.dat, without the quotes of its log field.
QString lastReport(const QString& clientDir);
