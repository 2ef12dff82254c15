#include "TestSupport.h"

#include <QFile>

int ScriptedPrompt::askYesNoCancel(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("YesNoCancel"), title, text});
    if (yesNoCancelAnswers.empty())
        return Answer::No;
    const int a = yesNoCancelAnswers.front();
    yesNoCancelAnswers.pop_front();
    return a;
}

int ScriptedPrompt::askAfterFailure(const QString& title, const QString& text, bool infrastructureFault)
{
    if (onFailureQuestion)
        onFailureQuestion();
    const int answer = askRetryCancel(title, text);
    asked.back().infrastructureFault = infrastructureFault;
    return answer;
}

int ScriptedPrompt::askRetryCancel(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("RetryCancel"), title, text});
    if (retryCancelAnswers.empty())
        return Answer::Cancel;
    const int a = retryCancelAnswers.front();
    retryCancelAnswers.pop_front();
    return a;
}

void ScriptedPrompt::showMessage(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("Message"), title, text});
}

QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

QByteArray readFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
