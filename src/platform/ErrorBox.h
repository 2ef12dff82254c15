#pragma once

#include "platform/Report.h"

#include <QString>

// The window's error box as a sink of the reports: one text, replaced as a
// whole (an added line comes with the whole text); an import error, or a
// request to raise it, brings the window to the front.
class ErrorBox : public ReportSink {
public:
    void deliver(const Report& report) final
    {
        if (report.kind == ReportKind::Shown || report.kind == ReportKind::Logged)
            setText(report.text);
        if (report.kind == ReportKind::Logged || report.kind == ReportKind::Raised)
            bringToFront();
    }

protected:
    virtual void setText(const QString& text) = 0;
    // Show the window (not modal) and bring it to the front.
    virtual void bringToFront() = 0;
};
