#pragma once

#include <QString>

#include <functional>

// Answers of the operator's message boxes; the numbers are those the
// job-exists logic stores and compares (6 delete, 7 override, 0 not asked).
namespace Answer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Retry = 4;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace Answer

// Every question the server asks goes through this interface: message boxes
// when there is a window, a policy when headless, a script in tests. The
// readers never know which one they talk to.
class OperatorPrompt {
public:
    virtual ~OperatorPrompt() = default;
    // Yes/No/Cancel with a question icon, No as default button.
    virtual int askYesNoCancel(const QString& title, const QString& text) = 0;
    // Retry/Cancel with an exclamation icon.
    virtual int askRetryCancel(const QString& title, const QString& text) = 0;
    // A plain message with an OK button.
    virtual void showMessage(const QString& title, const QString& text) = 0;
};

// Headless answers: fixed per kind of question, each question and its
// answer logged through the given sink.
class PolicyPrompt final : public OperatorPrompt {
public:
    using LogSink = std::function<void(const QString&)>;
    PolicyPrompt(int answerExists, int answerFailed, LogSink log);

    int askYesNoCancel(const QString& title, const QString& text) override;
    int askRetryCancel(const QString& title, const QString& text) override;
    void showMessage(const QString& title, const QString& text) override;

    // "yes", "no", "cancel" / "retry", "cancel"; ok is false for anything else.
    static int parseExistsAnswer(const QString& word, bool* ok);
    static int parseFailedAnswer(const QString& word, bool* ok);

private:
    int m_answerExists;
    int m_answerFailed;
    LogSink m_log;
};
