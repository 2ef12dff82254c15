#pragma once

#include "platform/OperatorPrompt.h"

class QWidget;

// The operator's questions as message boxes, modal for the whole
// application: while one is open the window cannot be used, the event loop
// keeps running, and the scan cycle that asked waits for the answer (its
// timer is stopped, so no other cycle starts).
//
// A kind of question that the command line answers explicitly goes to the
// policy instead, so an attended plant can also run a night unattended.
class MessageBoxPrompt final : public OperatorPrompt {
public:
    explicit MessageBoxPrompt(QWidget* parent = nullptr) : m_parent(parent) {}

    // policy answers the job-exists questions when exists is set and the
    // Retry/Cancel questions when failed is set.
    void answerByPolicy(OperatorPrompt* policy, bool exists, bool failed);

    // Yes/No/Cancel, question icon, No as default button.
    int askYesNoCancel(const QString& title, const QString& text) override;
    // Retry/Cancel, exclamation icon, Retry as default button.
    int askRetryCancel(const QString& title, const QString& text) override;
    int askAfterFailure(const QString& title, const QString& text, bool infrastructureFault) override;
    // OK only, no icon.
    void showMessage(const QString& title, const QString& text) override;

private:
    QWidget* m_parent;
    OperatorPrompt* m_policy = nullptr;
    bool m_policyExists = false;
    bool m_policyFailed = false;
};
