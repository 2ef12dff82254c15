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
    // The same question after a failed file, told whether the failure was a
    // fault of the machine (the job database or the file system) rather
    // than of the file's content. An operator sees the same box; a policy
    // may answer by the kind of fault.
    virtual int askAfterFailure(const QString& title, const QString& text, bool infrastructureFault)
    {
        (void)infrastructureFault;
        return askRetryCancel(title, text);
    }
    // A plain message with an OK button.
    virtual void showMessage(const QString& title, const QString& text) = 0;
    // True when nobody sits at the questions: they are answered by policy.
    [[nodiscard]] virtual bool answersByPolicy() const { return false; }
};

// Headless answers: fixed per kind of question, each question and its
// answer logged through the given sink.
class PolicyPrompt final : public OperatorPrompt {
public:
    using LogSink = std::function<void(const QString&)>;
    PolicyPrompt(int answerExists, int answerFailed, LogSink log);

    int askYesNoCancel(const QString& title, const QString& text) override;
    int askRetryCancel(const QString& title, const QString& text) override;
    int askAfterFailure(const QString& title, const QString& text, bool infrastructureFault) override;
    void showMessage(const QString& title, const QString& text) override;
    [[nodiscard]] bool answersByPolicy() const override { return true; }

    // The failed-file policy "auto": Retry for a fault of the machine (the
    // file stays and is read again once the fault is gone), Cancel for a
    // fault in the file's content (an error copy). Without that knowledge
    // it answers Cancel.
    static constexpr int AutoRetryCancel = -1;

    // "yes", "no", "cancel" / "retry", "cancel", "auto"; ok is false for anything else.
    static int parseExistsAnswer(const QString& word, bool* ok);
    static int parseFailedAnswer(const QString& word, bool* ok);

private:
    int m_answerExists;
    int m_answerFailed;
    LogSink m_log;
};
