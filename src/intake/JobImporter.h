#pragma once

#include "intake/ImportLedger.h"
#include "intake/ImportOutcome.h"

#include <QString>

struct PendingError;

// What the scan cycle needs of the importers. The shell wires in the real
// ones; the scan cycle's tests use a recording importer.
//
// In job mode the files of one job are written in one transaction: the scan
// cycle opens it with beginJob(), the importers write into it, and the
// cycle commits it after the last file succeeded (before any file is backed
// up) or rolls it back. Outside beginJob()/commitJob()/rollBackJob() every
// importer call is a transaction of its own.
class JobImporter {
public:
    virtual ~JobImporter() = default;
    virtual ImportOutcome ImportProductionData(const QString& path, bool steelMode) = 0;
    virtual ImportOutcome ReadLabelFile(const QString& path) = 0;
    virtual void DeleteLos(const QString& jobName, bool steelMode) = 0;
    virtual void DeletePrintData(const QString& jobName) = 0;
    virtual void DeleteOrphanPrintData() = 0;

    virtual void beginJob() = 0;
    // Writes the job's ledger rows into its transaction (before commitJob);
    // false when they could not be written (the files are then moved
    // without the ledger). An importer without a job database has none.
    virtual bool recordInJob(const std::vector<LedgerEntry>& ledger, PendingError& err)
    {
        (void)ledger;
        (void)err;
        return false;
    }
    // False with err raised when the commit failed (nothing of the job is
    // then in the database).
    virtual bool commitJob(PendingError& err) = 0;
    virtual void rollBackJob() = 0;
};
