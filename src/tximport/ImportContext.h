#pragma once

#include "etimport/PrintData.h"
#include "intake/ImportOutcome.h"
#include "platform/PendingError.h"
#include "platform/TextFile.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>

struct ServerContext;
struct JobState;

namespace tx {

// The job file, read one line at a time. Lines end at CR or CR LF and a
// bare LF stays inside the line; a file without any CR ends its lines at LF
// (see ProductionImport.cpp).
class JobFile {
public:
    bool open(const QString& path, PendingError& err);
    [[nodiscard]] bool isOpen() const { return m_lfLines ? m_lfFile.isOpen() : m_lines.isOpen(); }
    [[nodiscard]] bool atEnd();
    // The next line without its line end; an empty array at the end.
    QByteArray readLine();
    void close();
    // True when the open file is read with LF line ends.
    [[nodiscard]] bool lfLines() const { return m_lfLines; }

private:
    LineReader m_lines;
    QFile m_lfFile;
    bool m_lfLines = false;
};

// What a record handler tells the loop that called it.
enum class Flow {
    Next,        // go on with the next sub-field / record test
    EndOfRecord, // the record is complete (line feed, or a "C" without continuation)
    Stop,        // an exit was taken: the report is written, the frame ends the import
};

// Everything one call of ImportProductionData works with: the long-lived
// state it was handed, the job database connection, and the parse state.
struct ImportContext {
    ImportContext(ServerContext& s, JobState& j, ImportCarry& c, ProfileCache& p, db::Database* shared)
        : server(s), job(j), carry(c), profiles(p), conn(shared)
    {
    }
    ~ImportContext() { EndProfileLookups(profiles); }
    ImportContext(const ImportContext&) = delete;
    ImportContext& operator=(const ImportContext&) = delete;

    ServerContext& server;
    JobState& job;
    ImportCarry& carry;
    ProfileCache& profiles;

    JobConnection conn;
    et::PrintData print;
    bool printPrepared = false;

    // The pending run-time error, tested at the check points.
    PendingError err;

    // What the scan cycle gets back.
    ImportOutcome outcome;
    bool loadCancelled = false; // cancelled at the job-exists question

    // The file.
    bool steelMode = false;
    QString path;
    QString jobName;     // base name: LosName of every row
    QString fileName;    // name with extension: what reports call the job
    QString keptJobName; // for the stop path
    JobFile file;

    // Parse state.
    qint64 lineNumber = 0;
    QByteArray buf;     // unread rest of the current line
    int lineLength = 0; // length of buf when the current record began
    int column = 1;
    QByteArray token;  // the field most recently cut
    QString errorText; // "Format error !!" at every record; shown in the stop box

    QByteArray barNumber;   // current bar ("" = none)
    QByteArray pieceNumber; // current piece, 4 characters as in the file
    int pieceCount = 0;
    bool ownBarRow = false;

    // Per-piece flags, reset by the piece head.
    bool saSeen = false;
    bool sbSeen = false;
    bool ggSeen = false;
    bool angleIdsGiven = false;

    // Overriding: the bars the job had before this import that the file has
    // not met yet (by StabNr).
    QSet<double> oldBarsNotMet;

    int steelCounter = 1;      // running steel counter of the short form
    QByteArray pieceSteelName; // first "SB" of a piece; emptied by "KS"

    // Exit bookkeeping (set by the report functions in ReaderFrame).
    bool endNormally = false; // failure ignored in steel mode: end as usual

    // The rows of the job.
    [[nodiscard]] db::Where jobWhere() const;
    // The job's first bar or piece with the number as the file gives it
    // ("007"), compared as a number; a null row when there is none. A
    // number field that is no number fails the search (3075), as it always did.
    db::Row findBar(const QByteArray& barNo, PendingError& err);
    db::Row findPiece(const QByteArray& pieceNo, PendingError& err);
};

} // namespace tx
