#pragma once

#include "platform/PendingError.h"

#include <QString>

#include <vector>

// What an importer hands back to the scan cycle for one file: how the file
// went and what became of it is decided from this value alone (see
// JobFiles.h), never read back out of shared state.

enum class FileKind { Production, Label, Steel };

enum class ImportResult {
    Loaded,     // read to its end (or its failure was no failure for the job): to the backup
    Failed,     // failed and reported; the scan cycle asks Retry/Cancel, which makes it one of the next two
    ReadAgain,  // failed; the operator chose Retry: the file stays under its own name
    SetAside,   // failed; the operator chose Cancel: the file becomes an error copy
    GivenUp,    // cancelled at the job-exists / print-data-exists question
    NotStarted, // the job database could not be opened; nothing was read
};

// Rows the file wrote (added or overwritten), per table.
struct RowsWritten {
    int jobs = 0;
    int bars = 0;
    int pieces = 0;
    int machining = 0;
    int printRows = 0;
};

struct ImportOutcome {
    FileKind kind = FileKind::Production;
    QString path;    // the file the importer was given
    QString jobName; // its base name: LosName of its rows
    ImportResult result = ImportResult::NotStarted;
    bool fileRead = false; // the file was opened for reading (it exists and goes with the job)
    RowsWritten rows;
    int errorNumber = 0; // the failure's error number (0: none, or a fault in the file's content)
    QString errorText;   // a failed file: what the question after it says went wrong
    // The error number of a fault of the machine that the database engine
    // or the file system met on the way (0: none), whichever report the
    // reader wrote for it.
    int machineFault = 0;
    // The file's ledger row was written in its transaction: its move is
    // made from the ledger.
    bool ledgered = false;

    [[nodiscard]] bool failed() const { return result != ImportResult::Loaded; }
    // The file failed for a fault of the machine (the job database or the
    // file system), not of its content.
    [[nodiscard]] bool infrastructureFault() const
    {
        return machineFault != 0 || ErrorNumber::isInfrastructureFault(errorNumber);
    }
};

// One scan cycle as it went: the files read, in order, and how each ended.
struct CycleReport {
    std::vector<ImportOutcome> files;
    qint64 startedMs = 0;  // epoch milliseconds
    qint64 durationMs = 0; // the whole cycle
};
