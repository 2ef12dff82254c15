#include "intake/ErrorLog.h"

#include "config/ServerContext.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/TextFile.h"

#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The logs hold each message as one double-quoted field, unescaped, so line
// breaks inside a message stay inside the quotes.
QString asLogField(const QString& message)
{
    return u'"' + message + u'"' + kCrLf;
}

} // namespace

// The three writes of a report (the logs and the error box); the entry has
// its header already.
void writeErrorLogEntry(ServerContext& ctx, const QString& message, const QString& entry);

// Breaks a text into lines of about width characters for the error box:
// - a CR ends a line wherever it stands, however long the line gets;
// - otherwise a line takes width characters and, when it would end inside
//   a word, runs on to the next blank (which it keeps), so words are never
//   cut; the blank at a break therefore starts the next line;
// - a CR LF is put after each line made this way, except after the last
//   line of the text: a text that cannot be broken comes back unchanged.
// Nothing of the input is dropped.
QString WrapText(const QString& text, int width)
{
    const qsizetype n = text.size();
    if (width < 1 || n <= width)
        return text;

    QString result;
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype cr = text.indexOf(u'\r', pos);
        if (cr >= 0) {
            result += text.mid(pos, cr - pos + 1);
            pos = cr + 1;
            continue;
        }
        if (n - pos <= width) {
            result += text.mid(pos);
            break;
        }
        qsizetype end = pos + width; // one past the chunk
        if (text.at(end) != u' ') {
            const qsizetype blank = text.indexOf(u' ', end + 1);
            end = blank < 0 ? n : blank + 1;
        }
        result += text.mid(pos, end - pos);
        pos = end;
        if (pos < n)
            result += kCrLf;
    }
    return result;
}

QString WriteErrorLog(ServerContext& ctx, const QString& message)
{
    const QString entry =
        timeStamp(ctx.clock) + QStringLiteral(": ") + QStringLiteral(" ------------") + kCrLf + message;
    if (holdReport(ctx, [&ctx, message, entry] { writeErrorLogEntry(ctx, message, entry); }))
        return entry;
    writeErrorLogEntry(ctx, message, entry);
    return entry;
}

void writeErrorLogEntry(ServerContext& ctx, const QString& message, const QString& entry)
{
    const QString& clientDir = ctx.settings.clientDir;
    // Without a client directory there is nowhere to log; the box still shows.
    const bool canLog = !clientDir.isEmpty() && QFileInfo(clientDir).isDir();

    PendingError ignored;
    if (canLog)
        (void)writeTextFile(fileops::joinPath(clientDir, QStringLiteral("$TXerror.dat")), asLogField(message), ignored);

    if (canLog)
        (void)appendTextFile(fileops::joinPath(clientDir, QStringLiteral("error.dat")), asLogField(entry), ignored);

    writeTotxtError(ctx, entry);
    ctx.errorBox.bringToFront();
}
