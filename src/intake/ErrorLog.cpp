#include "intake/ErrorLog.h"

#include "config/ServerContext.h"
#include "platform/Clock.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

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

void WriteErrorLog(ServerContext& ctx, const QString& message)
{
    const QString entry =
        timeStamp(ctx.clock) + QStringLiteral(": ") + QStringLiteral(" ------------") + kCrLf + message;
    ctx.reports.send({ReportKind::Logged, entry, message});
}
