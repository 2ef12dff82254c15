#pragma once

#include "platform/PendingError.h"
#include "platform/db/Database.h"

#include <QString>

struct ServerContext;
struct JobState;

namespace tx {

// Counters that outlive one import (the program run): an empty bar or piece
// table keeps the value the previous import reached.
//
// These two are the only copies of the next bar ID and the next piece ID:
// openDB sets them (largest ID + 1, or 0, when the table has rows; left
// alone when it is empty), and the bar and piece records take the value and
// advance it by 1 right here, so the next import of the run starts from
// where this one ended without any copying back.
struct ImportCarry {
    qint32 nextBarID = 0;
    qint32 nextPieceID = 0;
};

// The import's connection to the job database and the rows the readers keep
// current on the table family in use ("" or "Stahl" prefix), with the
// counters openDB prepares. One connection and one transaction per import call, or, in job
// mode, the job's transaction that the scan cycle holds (shared): then
// committing and rolling back are the scan cycle's.
struct JobConnection {
    explicit JobConnection(db::Database* shared = nullptr) : database(shared ? *shared : m_own), ownsDatabase(!shared)
    {
    }
    JobConnection(const JobConnection&) = delete;
    JobConnection& operator=(const JobConnection&) = delete;

private:
    db::Database m_own;

public:
    db::Database& database;
    const bool ownsDatabase;
    db::Row job;       // the job's LosNamen row
    db::Row bar;       // the current bar (Stabdaten)
    db::Row piece;     // the current piece (Teiledaten)
    db::Row machining; // the current machining operation (Werkzeugdaten)
    QString prefix;    // "" or "Stahl"

    bool override = false;
    qint32 nextJobID = 0; // ID of the new job row (auto release)
    // next bar ID / next piece ID: see ImportCarry.
    qint16 barLoadID = -1;   // -1: no load identifiers for bars
    qint16 pieceLoadID = -1; // -1: none for pieces
    bool angleIdColumns = false;

    [[nodiscard]] QString table(const QString& name) const { return prefix + name; }
    // A new row of one of the family's tables.
    db::Row newRow(const QString& name, PendingError& err) { return database.newRow(table(name), err); }
    // Drops the rows; an own connection is rolled back and closed.
    void close();
    // Drops the rows and commits an own connection (a shared one
    // is committed by its holder). False with err raised when the commit
    // failed: nothing of the call is then in the database.
    [[nodiscard]] bool commit(PendingError& err);
};

// Opens the job database for a job; asks whether an existing job is to be
// deleted (6), overridden (7) or the load cancelled. Returns 0 when ready,
// otherwise the error number (reported as "Job: <job>\r\nopenDB: ...").
// loadCancelled: the operator cancelled at the job-exists question.
int openDB(ServerContext& ctx, JobState& job, ImportCarry& carry, JobConnection& conn, const QString& jobName,
           bool steelMode, bool& loadCancelled);

// Adds the job's row (not when overriding) and stores it.
void addJobRow(ServerContext& ctx, JobConnection& conn, const QString& jobName, PendingError& err);

// Deletes the job's row from LosNamen / StahlLosNamen with a connection of
// its own; the database cascades to bars, pieces and machining rows.
void DeleteLos(ServerContext& ctx, const QString& jobName, bool steelMode);

} // namespace tx
