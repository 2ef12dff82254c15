#pragma once

#include "platform/PendingError.h"
#include "platform/db/Database.h"

#include <QHash>
#include <QString>

#include <memory>

struct ServerContext;

namespace et {

// The print-data connection of one import and what it knows of the job's
// rows of "Druckdaten". Inside a production-data import it shares the
// import's own connection (one transaction per call); the label-data reader
// opens its own.
struct PrintData {
    db::Database* JobDatabase = nullptr;
    std::unique_ptr<db::Database> ownDatabase;
    QString job;
    // The job had print rows that stay (answer No): a piece's row is looked
    // for before one is added.
    bool keptRows = false;
    // The rows this import wrote, by piece number (at most 9,999: piece
    // numbers have four digits), so that a piece's texts go into its row
    // without reading it back.
    QHash<int, db::Row> rows;

    // Closes the recordset and, when it was opened here, the connection;
    // what the own connection wrote and did not commit is rolled back.
    void close();
    // Commits an own connection, then closes. A failed commit is reported
    // (its rows are then gone). A shared connection is the caller's to commit.
    [[nodiscard]] bool commit(PendingError& err);
};

// The texts of the placeholder rows a production-data file books for its
// labelled pieces and remnants (followed by the piece number); the
// label-data file fills the rows later.
inline const QString PlaceholderLabel = QStringLiteral("Label:");
inline const QString PlaceholderRemnantLabel = QStringLiteral("Label(Rest):");

// Opens the print data of a job. With skipQuestion (a production-data file)
// every row the job has is deleted. Otherwise the job has print data when a
// row holds label text, that is a label-data file was read for it before;
// placeholder rows alone are no print data, they are kept for the file to
// fill. Existing print data are deleted (answer Yes), kept (answer No) or
// the job is cancelled (Cancel: cancelled = true; it is false otherwise).
// presetAnswer != 0 is used instead of asking.
// shared: the import's open connection, or null to open client dir/prog.mdb.
// Returns 0 or the error number (reported as "openDBPrint: ...").
int PreparePrintData(ServerContext& ctx, PrintData& print, db::Database* shared, const QString& job, bool skipQuestion,
                     bool& cancelled, int presetAnswer);

// Writes text + decimal piece number into the piece's row (target 1:
// "Tintendruckdaten", else "Etikettendaten"); piece <= 0 writes nothing.
// Errors go to err, as the callers check them.
void WritePrintRow(PrintData& print, const QString& job, int piece, int target, const QString& text, PendingError& err);

// Writes text as it is into the piece's row (found or added), target as
// above; no check of the piece number. The label-data reader's way to store
// the printer text of a piece.
void writePrintText(PrintData& print, const QString& job, int piece, int target, const QString& text,
                    PendingError& err);

// Deletes the job's print data with a connection of its own. Returns 0 or
// the error number (reported as "DeleteLosPrint: ...").
int DeletePrintData(ServerContext& ctx, const QString& job);

// Removes print rows whose job has no row in LosNamen; only when the load
// mode is 2. Never reports.
void DeleteOrphanPrintData(ServerContext& ctx);

} // namespace et
