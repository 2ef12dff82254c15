#pragma once

#include <QLoggingCategory>
#include <QString>

#include <cstdio>
#include <vector>

// Every text the server has for the operator is a report on this one
// logging category. The process's message handler hands each report to the
// sinks of the server that sent it: the error files in the client directory,
// standard error (the journal under the service) and the window's error box.
// Messages of other categories go on to the handler installed before.
Q_DECLARE_LOGGING_CATEGORY(vovReport)

enum class ReportKind {
    Shown,  // replaces the error box's text
    Added,  // a line added below the error box's text
    Logged, // an import error: error.dat and $TXerror.dat, the error box, the window to the front
    Raised, // no text: the window with the error box comes to the front
    Answer, // a question answered by policy, with its answer: standard error only
};

struct Report {
    ReportKind kind = ReportKind::Shown;
    // What the error box shows (Logged: the entry under its time-stamp
    // header); for an answer, the line.
    QString text;
    // Logged: the message without the header, as $TXerror.dat keeps it.
    QString message;
};

class ReportSink {
public:
    virtual ~ReportSink() = default;
    // An added line comes as Shown, with the whole text the box shows then.
    virtual void deliver(const Report& report) = 0;
};

// The reports of one server. Each goes to every sink, in the order the
// sinks were added, before send() returns; a sink outlives the reports it
// is added to.
class Reports {
public:
    Reports();
    Reports(const Reports&) = delete;
    Reports& operator=(const Reports&) = delete;

    void addSink(ReportSink& sink);
    void send(Report report);

    // From hold() on, reports are kept in order instead of delivered, until
    // stopHolding() hands them back (to be sent, or dropped).
    void hold() { m_holding = true; }
    [[nodiscard]] std::vector<Report> stopHolding();

private:
    struct InHand;
    static thread_local InHand* s_inHand;
    static void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);
    void deliver(const Report& report);

    std::vector<ReportSink*> m_sinks;
    std::vector<Report> m_held;
    bool m_holding = false;
    // The error box's text as the reports left it: an added line goes below it.
    QString m_shown;
};

// error.dat (appended, each entry under its time-stamp header) and
// $TXerror.dat (the latest message only) in the client directory as it is
// configured when the report comes; Windows-1252, CR LF. Without the
// directory nothing is written.
class ErrorFiles final : public ReportSink {
public:
    explicit ErrorFiles(const QString& clientDir) : m_clientDir(clientDir) {}
    void deliver(const Report& report) override;

private:
    const QString& m_clientDir;
};

// Standard error, each text followed by a line end, its CR LF written as
// LF. A text that only adds lines below the one before is written as the
// added lines; an answer is written as it is.
class StandardErrorReports final : public ReportSink {
public:
    explicit StandardErrorReports(std::FILE* stream = stderr) : m_stream(stream) {}
    void deliver(const Report& report) override;

private:
    void print(const QString& text);

    std::FILE* m_stream;
    QString m_text; // the last text shown
};
