#include "platform/Report.h"

#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/TextFile.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <cstring>
#include <utility>

Q_LOGGING_CATEGORY(vovReport, "vov.report")

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QtMessageHandler g_previousHandler = nullptr;

// The logs hold each message as one double-quoted field, unescaped, so line
// breaks inside a message stay inside the quotes.
QString asLogField(const QString& message)
{
    return u'"' + message + u'"' + kCrLf;
}

} // namespace

// The report being sent on this thread: the message handler hands it to the
// sinks of the reports that sent it.
struct Reports::InHand {
    Reports* reports;
    const Report* report;
    bool delivered = false;
};

thread_local Reports::InHand* Reports::s_inHand = nullptr;

void Reports::handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    InHand* inHand = s_inHand;
    if (inHand && !inHand->delivered && context.category &&
        std::strcmp(context.category, vovReport().categoryName()) == 0) {
        inHand->delivered = true;
        inHand->reports->deliver(*inHand->report);
        return;
    }
    g_previousHandler(type, context, text);
}

Reports::Reports()
{
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(&Reports::handleMessage);
        return true;
    }();
    (void)installed;
}

void Reports::addSink(ReportSink& sink)
{
    m_sinks.push_back(&sink);
}

void Reports::send(Report report)
{
    if (m_holding) {
        m_held.push_back(std::move(report));
        return;
    }
    // One sent while another is delivered goes to the sinks at once (the
    // toolkit does not call the handler inside itself).
    if (s_inHand) {
        deliver(report);
        return;
    }
    InHand inHand{this, &report};
    s_inHand = &inHand;
    const auto done = qScopeGuard([] { s_inHand = nullptr; });
    qCInfo(vovReport).noquote().nospace() << report.text;
    // Logging rules that turn the category off, or a handler installed later
    // that does not pass it on, never cost a report: the error files are the
    // plant's record.
    if (!inHand.delivered)
        deliver(report);
}

std::vector<Report> Reports::stopHolding()
{
    m_holding = false;
    return std::exchange(m_held, {});
}

void Reports::deliver(const Report& report)
{
    if (report.kind == ReportKind::Added) {
        deliver({ReportKind::Shown, m_shown + kCrLf + report.text, {}});
        return;
    }
    if (report.kind == ReportKind::Shown || report.kind == ReportKind::Logged)
        m_shown = report.text;
    for (ReportSink* sink : m_sinks)
        sink->deliver(report);
}

void ErrorFiles::deliver(const Report& report)
{
    // Without a client directory there is nowhere to log; the box still shows.
    if (report.kind != ReportKind::Logged || m_clientDir.isEmpty() || !QFileInfo(m_clientDir).isDir())
        return;
    PendingError ignored;
    (void)writeTextFile(fileops::joinPath(m_clientDir, QStringLiteral("$TXerror.dat")), asLogField(report.message),
                        ignored);
    (void)appendTextFile(fileops::joinPath(m_clientDir, QStringLiteral("error.dat")), asLogField(report.text), ignored);
}

void StandardErrorReports::deliver(const Report& report)
{
    if (report.kind == ReportKind::Answer) {
        print(report.text);
        return;
    }
    if (report.kind != ReportKind::Shown && report.kind != ReportKind::Logged)
        return;
    // A line added below the text before goes to the log alone: the lines
    // above it are there already.
    QString shown = report.text;
    if (!m_text.isEmpty() && shown.startsWith(m_text) && QStringView(shown).mid(m_text.size()).startsWith(kCrLf))
        shown = shown.mid(m_text.size() + kCrLf.size());
    m_text = report.text;
    shown.replace(kCrLf, QStringLiteral("\n"));
    print(shown);
}

void StandardErrorReports::print(const QString& text)
{
    std::fprintf(m_stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(m_stream);
}
