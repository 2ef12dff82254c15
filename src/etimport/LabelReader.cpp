#include "etimport/LabelReader.h"

#include "config/ServerContext.h"
#include "etimport/PrintData.h"
#include "intake/ErrorLog.h"
#include "intake/ImportLedger.h"
#include "intake/JobState.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/Text.h"
#include "platform/TextFile.h"

#include <cmath>

namespace et {

namespace {

// Printer types, numbered as in the settings window's list.
namespace Printer {
constexpr int Intermec = 1;
constexpr int ImajeWin = 2;
constexpr int Sato = 3;
constexpr int ImajeDos = 5;
} // namespace Printer

constexpr int InkJetTarget = 1; // Tintendruckdaten; anything else: Etikettendaten
constexpr int NoPiece = -1;
constexpr int ImajePrefixPasses = 4;

const QByteArray CrLf("\r\n");

// One call of ReadLabelFile: the file, its print data and the parse state.
//
// The file's records:  ED?nnnn?payload
//   "ED", one separator, a four-digit label number, one separator, the
//   printer text. Number 0000 with "PRNTyp=<d>" or "ETKTyp=<d>" in it is a
//   header record that sets the printer type or the target. A line may hold
//   several records separated by LF; every LF-separated segment is one
//   record and the LF stays part of the printer text before it.
class LabelReader {
public:
    LabelReader(ServerContext& ctx, JobState& job, const QString& path, db::Database* jobTransaction)
        : m_ctx(ctx), m_job(job), m_path(path), m_jobName(fileops::baseName(path)), m_fileName(fileops::fileName(path)),
          m_jobTransaction(jobTransaction)
    {
        m_outcome.kind = FileKind::Label;
        m_outcome.path = path;
        m_outcome.jobName = m_jobName;
    }

    ImportOutcome run();

private:
    enum class Segment { More, LineDone, Failed };

    [[nodiscard]] int printerTypeSetting() const { return static_cast<int>(m_ctx.settings.printerType); }
    [[nodiscard]] bool separateMode() const { return m_ctx.settings.separateMode(); }

    bool readFile();
    Segment readSegment();
    int headerDigit(const QByteArray& payload, const char* keyword, bool* found) const;
    int printerTypeFromDigit(int digit) const { return digit > 5 ? printerTypeSetting() : digit; }
    void readHeaderAtStart(const QByteArray& payload);
    void readHeader(const QByteArray& payload);
    void adaptToPrinter(QByteArray& payload, int number);
    bool writePiece(int piece);
    void endOfFile();

    void runtimeFailure();
    void noPieceFailure();
    void failedFile();
    void recordInLedger();
    void end();

    ServerContext& m_ctx;
    JobState& m_job;
    const QString m_path;
    const QString m_jobName;
    const QString m_fileName;
    db::Database* const m_jobTransaction;

    ImportOutcome m_outcome;
    bool m_cancelled = false;
    PrintData m_print;
    LineReader m_file;
    PendingError m_err;

    int m_printerType = 0;
    int m_target = 0;
    int m_currentPiece = NoPiece;
    QByteArray m_accumulated;
    int m_prefixPasses = 0;
    qint64 m_recordCounter = 0;
    QByteArray m_rest;       // the unread rest of the line
    QByteArray m_numberText; // characters 4-7 of the record in hand
    QString m_errorText;
};

ImportOutcome LabelReader::run()
{
    // The answer given to the job's production-data file decides here too.
    if (const int failure =
            PreparePrintData(m_ctx, m_print, m_jobTransaction, m_jobName, false, m_cancelled, m_job.ReplaceAnswer);
        failure > 0) {
        m_outcome.result = ImportResult::NotStarted; // reported; the file stays for the next scan cycle
        m_outcome.errorNumber = failure;
        return m_outcome;
    }
    if (m_cancelled) {
        end();
        return m_outcome;
    }

    m_printerType = printerTypeSetting();
    m_target = (m_printerType == Printer::ImajeWin || m_printerType == Printer::ImajeDos) ? InkJetTarget : 0;

    if (!readFile())
        runtimeFailure();
    else
        endOfFile();
    return m_outcome;
}

bool LabelReader::readFile()
{
    if (!m_file.open(m_path, m_err))
        return false;
    m_accumulated.clear();
    m_currentPiece = NoPiece;
    m_recordCounter = 0;
    m_outcome.fileRead = true;

    while (!m_file.atEnd()) {
        m_rest = m_file.readLine();
        while (!m_rest.isEmpty()) {
            const Segment s = readSegment();
            if (s == Segment::Failed)
                return false;
            if (s == Segment::LineDone)
                break;
        }
    }
    return true;
}

LabelReader::Segment LabelReader::readSegment()
{
    ++m_recordCounter;
    if (!m_rest.startsWith("ED")) {
        // Not a label record: listed in the report at the end, the rest of
        // the line is dropped, the import goes on.
        if (!m_errorText.isEmpty())
            m_errorText += QStringLiteral("\r\n");
        m_errorText += QStringLiteral("Wrong printdata: ") + text::fromCp1252(m_rest);
        return Segment::LineDone;
    }

    m_numberText = text::mid(m_rest, 4, 4);
    bool isNumber = false;
    const double value = text::strictNumber(m_numberText, &isNumber);
    if (!isNumber) {
        m_err.raise(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
        return Segment::Failed;
    }
    const int number = static_cast<int>(std::lround(value));
    QByteArray payload = text::mid(m_rest, 9);
    const bool header = number == 0 && (payload.contains("PRNTyp") || payload.contains("ETKTyp"));

    if (header && m_currentPiece == NoPiece)
        readHeaderAtStart(payload);
    adaptToPrinter(payload, number);

    // Piece change: the text collected so far belongs to the piece before.
    if (m_currentPiece != NoPiece && number != m_currentPiece) {
        if (!writePiece(m_currentPiece))
            return Segment::Failed;
        m_accumulated.clear();
        m_currentPiece = header ? NoPiece : number;
    } else if (m_currentPiece == NoPiece && !header) {
        m_currentPiece = number;
    }

    if (header)
        readHeader(payload); // a header's payload is not printer text

    const qsizetype lf = payload.indexOf('\n');
    if (lf < 0) {
        if (!header)
            m_accumulated += payload;
        return Segment::LineDone;
    }
    if (!header)
        m_accumulated += payload.left(lf + 1);
    m_rest = payload.mid(lf + 1);
    return Segment::More;
}

// The digit of "PRNTyp=3": the eighth character counted from the start of
// the keyword (keyword, one separator, the digit).
int LabelReader::headerDigit(const QByteArray& payload, const char* keyword, bool* found) const
{
    const qsizetype at = payload.indexOf(keyword);
    *found = at >= 0;
    if (!*found)
        return 0;
    return static_cast<int>(text::val(text::mid(payload, static_cast<int>(at) + 8, 1)));
}

// Before the first piece a header sets the printer type and the target
// already for the adaptation of its own record.
void LabelReader::readHeaderAtStart(const QByteArray& payload)
{
    bool found = false;
    const int type = headerDigit(payload, "PRNTyp", &found);
    if (found) {
        m_printerType = printerTypeFromDigit(type);
        if (m_printerType == Printer::ImajeWin)
            m_target = InkJetTarget;
    }
    const int target = headerDigit(payload, "ETKTyp", &found);
    if (found)
        m_target = target;
}

void LabelReader::readHeader(const QByteArray& payload)
{
    bool found = false;
    const int type = headerDigit(payload, "PRNTyp", &found);
    if (found) {
        m_printerType = printerTypeFromDigit(type);
        if (m_printerType == Printer::ImajeWin || m_printerType == Printer::ImajeDos)
            m_target = InkJetTarget;
    }
    const int target = headerDigit(payload, "ETKTyp", &found);
    if (found)
        m_target = target;
}

// What each printer needs of the text the planning system wrote.
void LabelReader::adaptToPrinter(QByteArray& payload, int number)
{
    switch (m_printerType) {
    case Printer::Intermec:
        // Every command ends with "$013" unless it is a continued one (":").
        if (!payload.endsWith(':') && !payload.endsWith("$013"))
            payload += "$013";
        break;
    case Printer::Sato:
        payload.replace("$027*", "");
        break;
    case Printer::ImajeDos:
        // The DOS marker takes the text without its leading four-character
        // "$" control prefixes; they stand before the first record of a
        // piece only.
        if (!(number == m_currentPiece && m_prefixPasses >= ImajePrefixPasses)) {
            m_prefixPasses = 0;
            while (m_prefixPasses < ImajePrefixPasses && !payload.isEmpty()) {
                if (payload.startsWith('$'))
                    payload.remove(0, 4);
                ++m_prefixPasses;
            }
        }
        break;
    default:
        break;
    }
}

// Stores the text collected for a piece. The planning system may number
// labels differently from pieces; the label list of the job's production
// data maps them.
bool LabelReader::writePiece(int piece)
{
    int p = piece;
    if (!m_job.labelList.isEmpty()) {
        bool found = false;
        const QString mapped = m_job.labelList.find(text::shortestDecimal(p), &found);
        if (found) {
            QByteArray entry = text::toCp1252(mapped);
            const double v = std::round(text::val(text::nextToken(entry, ';')));
            if (std::abs(v) > 32767.0) {
                m_err.raise(ErrorNumber::Overflow, QStringLiteral("Overflow"));
                return false;
            }
            p = static_cast<int>(v);
        }
    }
    writePrintText(m_print, m_jobName, p, m_target, text::fromCp1252(m_accumulated), m_err);
    ++m_outcome.rows.printRows;
    return !m_err.pending();
}

void LabelReader::endOfFile()
{
    if (m_currentPiece >= 1 && !writePiece(m_currentPiece)) {
        runtimeFailure();
        return;
    }
    if (m_currentPiece < 0) {
        // Nothing but headers, or a header last: the file is incomplete.
        noPieceFailure();
        return;
    }
    if (!m_errorText.isEmpty())
        WriteErrorLog(m_ctx, m_errorText);
    end();
}

void LabelReader::runtimeFailure()
{
    // In job mode a job without labels in its production data may come
    // without a label-data file (or with a broken one); that is no failure.
    if (!separateMode() && !m_job.jobHasLabelData) {
        end();
        return;
    }
    WriteErrorLog(m_ctx, QStringLiteral("Job: ") + m_fileName + QStringLiteral("\r\nLine:") +
                             QString::number(m_recordCounter) + QStringLiteral("\r\nBuf:") + text::fromCp1252(m_rest) +
                             QStringLiteral("\r\nNum:") + text::fromCp1252(m_numberText) + QStringLiteral("\r\n") +
                             WrapText(m_err.description, kErrorWrapWidth));
    m_outcome.errorNumber = m_err.number;
    failedFile();
}

void LabelReader::noPieceFailure()
{
    WriteErrorLog(m_ctx, QStringLiteral("Job: ") + m_fileName +
                             QStringLiteral("\r\nNo Piece found??\r\nNo label data loaded"));
    m_errorText = QStringLiteral("No piece found ??\r\nNo label data loaded ??");
    failedFile();
}

// A failed file: the scan cycle asks whether it is read again (Retry) or
// set aside (Cancel). Nothing the file wrote stays: its own transaction is
// rolled back (in job mode the scan cycle rolls back the whole job).
void LabelReader::failedFile()
{
    // Whichever report was written: a fault of the machine met on the way
    // keeps the file for a later cycle under the default policy.
    if (m_print.JobDatabase && m_print.JobDatabase->machineFault() != 0)
        m_outcome.machineFault = m_print.JobDatabase->machineFault();
    m_outcome.result = ImportResult::Failed;
    m_outcome.errorText = m_errorText;
    m_file.close();
    m_print.close();
    m_err.clear();
}

// Read in a transaction of its own (separate mode), the file writes its
// ledger row into it; in job mode the scan cycle writes the job's rows.
void LabelReader::recordInLedger()
{
    if (!m_print.ownDatabase || !m_print.ownDatabase->isOpen())
        return;
    const LedgerEntry entry =
        ledgerEntry(m_path, m_jobName, FileKind::Label, m_cancelled ? LedgerOutcome::SetAside : LedgerOutcome::Loaded);
    PendingError err;
    m_outcome.ledgered = entry.file.known() && ::recordInLedger(*m_print.ownDatabase, {entry}, m_ctx.clock.now(), err);
}

void LabelReader::end()
{
    m_file.close();
    // The rows are durable before the file leaves the server directory. A
    // commit that fails is a failed file: reported, and the operator decides.
    recordInLedger();
    PendingError commit;
    if (!m_print.commit(commit)) {
        m_outcome.ledgered = false;
        WriteErrorLog(m_ctx, QStringLiteral("Job: ") + m_fileName + QStringLiteral("\r\n") +
                                 WrapText(commit.description, kErrorWrapWidth));
        m_errorText = commit.description;
        m_outcome.errorNumber = commit.number;
        failedFile();
        return;
    }
    m_outcome.result = m_cancelled ? ImportResult::GivenUp : ImportResult::Loaded;
    m_err.clear();
}

} // namespace

ImportOutcome ReadLabelFile(ServerContext& ctx, JobState& job, const QString& path, db::Database* jobTransaction)
{
    return LabelReader(ctx, job, path, jobTransaction).run();
}

} // namespace et
