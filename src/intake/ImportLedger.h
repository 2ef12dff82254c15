#pragma once

#include "intake/ImportOutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

struct ServerContext;
struct PendingError;
namespace db {
class Database;
}

// The import ledger: one row per job file taken, in the job database's
// table ImportLedger (see schema/ledger.sql). A loaded file's row is written
// in the same transaction as the job's rows; a file set aside gets its row
// after the roll-back and its deletes. Files leave the server directory as
// the pending rows say (settleLedger), so a server stopped anywhere between
// the commit and the last move ends as if it had not been stopped: nothing
// is imported twice, nothing is left behind.

// What tells a job file from another delivered later under the same name.
struct FileIdentity {
    QString name;
    qint64 size = -1;
    qint64 modifiedMs = 0;
    QByteArray sha256; // lower-case hex
    [[nodiscard]] bool known() const { return size >= 0; }
    [[nodiscard]] bool operator==(const FileIdentity&) const = default;
};

// Reads a regular file in the server directory (never through a link); an
// unknown identity when it is not there or cannot be read.
FileIdentity identifyFile(const QString& path);

enum class LedgerOutcome { Loaded, SetAside };

struct LedgerEntry {
    FileIdentity file;
    QString jobName;
    FileKind kind = FileKind::Production;
    LedgerOutcome outcome = LedgerOutcome::Loaded;
};

// The entry for a job file as it is now (unknown identity when it is gone).
LedgerEntry ledgerEntry(const QString& path, const QString& jobName, FileKind kind, LedgerOutcome outcome);

// Writes the entries as pending rows into the database's open transaction;
// entries whose file is unknown are left out.
bool recordInLedger(db::Database& database, const std::vector<LedgerEntry>& entries, const QDateTime& takenAt,
                    PendingError& err);

// Whether the job database has the ledger's tables (ImportLedger and
// ImportQueue); false, with err raised, when that cannot be told.
bool hasLedgerTables(db::Database& database, bool& present, PendingError& err);
// Creates the ledger's tables in a job database file made before they
// existed; created tells whether they were missing.
bool ensureLedgerTables(db::Database& database, bool& created, PendingError& err);

// Settles the pending rows against the server directory: a file still there
// with the identity of its row is backed up or set aside as the row says
// (and after a production or steel backup the release flag is set); then
// the rows are settled. Returns the names of the files it moved.
QStringList settleLedger(ServerContext& ctx);

// Records set-aside entries in a transaction of their own and moves the
// files from them; false when the ledger could not be written (nothing was
// moved then).
bool setAsideThroughLedger(ServerContext& ctx, const std::vector<LedgerEntry>& entries);

// Settled rows of files set aside belong to no job: they go after the
// days an error copy is kept.
void purgeSetAsideRows(const ServerContext& ctx, const QDateTime& takenBefore);

// Where each kind's listing resumes, kept in the job database so that it
// outlives the process; empty when unknown.
QString storedResumePoint(db::Database& database, FileKind kind);
void storeResumePoint(const ServerContext& ctx, FileKind kind, const QString& name);
