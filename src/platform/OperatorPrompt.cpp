#include "platform/OperatorPrompt.h"

namespace {

QString answerName(int answer)
{
    switch (answer) {
    case Answer::Yes:
        return QStringLiteral("Yes");
    case Answer::No:
        return QStringLiteral("No");
    case Answer::Retry:
        return QStringLiteral("Retry");
    case Answer::Cancel:
        return QStringLiteral("Cancel");
    default:
        return QStringLiteral("OK");
    }
}

} // namespace

PolicyPrompt::PolicyPrompt(int answerExists, int answerFailed, LogSink log)
    : m_answerExists(answerExists), m_answerFailed(answerFailed), m_log(std::move(log))
{
}

int PolicyPrompt::askYesNoCancel(const QString& title, const QString& text)
{
    if (m_log)
        m_log(QStringLiteral("[question] %1: %2 -> %3").arg(title, text, answerName(m_answerExists)));
    return m_answerExists;
}

int PolicyPrompt::askRetryCancel(const QString& title, const QString& text)
{
    return askAfterFailure(title, text, false);
}

int PolicyPrompt::askAfterFailure(const QString& title, const QString& text, bool infrastructureFault)
{
    int answer = m_answerFailed;
    QString why;
    if (answer == AutoRetryCancel) {
        answer = infrastructureFault ? Answer::Retry : Answer::Cancel;
        why = infrastructureFault
                  ? QStringLiteral(" (a fault of the job database or the file system: the file stays and is read "
                                   "again)")
                  : QStringLiteral(" (a fault in the file: it is set aside)");
    }
    if (m_log)
        m_log(QStringLiteral("[question] %1: %2 -> %3%4").arg(title, text, answerName(answer), why));
    return answer;
}

void PolicyPrompt::showMessage(const QString& title, const QString& text)
{
    if (m_log)
        m_log(QStringLiteral("[message] %1: %2").arg(title, text));
}

int PolicyPrompt::parseExistsAnswer(const QString& word, bool* ok)
{
    const QString w = word.toLower();
    *ok = true;
    if (w == QLatin1String("yes"))
        return Answer::Yes;
    if (w == QLatin1String("no"))
        return Answer::No;
    if (w == QLatin1String("cancel"))
        return Answer::Cancel;
    *ok = false;
    return Answer::No;
}

int PolicyPrompt::parseFailedAnswer(const QString& word, bool* ok)
{
    const QString w = word.toLower();
    *ok = true;
    if (w == QLatin1String("retry"))
        return Answer::Retry;
    if (w == QLatin1String("cancel"))
        return Answer::Cancel;
    if (w == QLatin1String("auto"))
        return AutoRetryCancel;
    *ok = false;
    return AutoRetryCancel;
}
