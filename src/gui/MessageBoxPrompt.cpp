#include "gui/MessageBoxPrompt.h"

#include <QMessageBox>

namespace {

int ask(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, title, shown, buttons, parent);
    // Report texts carry things like "<Wrong piece number>": never markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        return Answer::Cancel; // Cancel, Escape
    }
}

} // namespace

void MessageBoxPrompt::answerByPolicy(OperatorPrompt* policy, bool exists, bool failed)
{
    m_policy = policy;
    m_policyExists = exists;
    m_policyFailed = failed;
}

int MessageBoxPrompt::askYesNoCancel(const QString& title, const QString& text)
{
    if (m_policy && m_policyExists)
        return m_policy->askYesNoCancel(title, text);
    return ask(m_parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
               QMessageBox::No);
}

int MessageBoxPrompt::askAfterFailure(const QString& title, const QString& text, bool infrastructureFault)
{
    if (m_policy && m_policyFailed)
        return m_policy->askAfterFailure(title, text, infrastructureFault);
    return askRetryCancel(title, text);
}

int MessageBoxPrompt::askRetryCancel(const QString& title, const QString& text)
{
    if (m_policy && m_policyFailed)
        return m_policy->askRetryCancel(title, text);
    return ask(m_parent, QMessageBox::Warning, title, text, QMessageBox::Retry | QMessageBox::Cancel,
               QMessageBox::Retry);
}

void MessageBoxPrompt::showMessage(const QString& title, const QString& text)
{
    ask(m_parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}
