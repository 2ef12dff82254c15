#pragma once

#include "intake/JobImporter.h"
#include "platform/db/Database.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

struct ServerContext;
struct JobState;

// The real importers behind the scan cycle. Between beginJob() and the end
// of the job all files write into the job's one transaction.
class PlantImporter final : public JobImporter {
public:
    PlantImporter(ServerContext& ctx, JobState& job) : m_ctx(ctx), m_job(job) {}

    ImportOutcome ImportProductionData(const QString& path, bool steelMode) override;
    ImportOutcome ReadLabelFile(const QString& path) override;
    void DeleteLos(const QString& jobName, bool steelMode) override;
    void DeletePrintData(const QString& jobName) override;
    void DeleteOrphanPrintData() override;

    void beginJob() override;
    bool recordInJob(const std::vector<LedgerEntry>& ledger, PendingError& err) override;
    bool commitJob(PendingError& err) override;
    void rollBackJob() override;

    tx::ImportCarry& carry() { return m_carry; }
    tx::ProfileCache& profileCache() { return m_profiles; }

private:
    db::Database* jobTransaction() { return m_inJob ? &m_jobDatabase : nullptr; }

    ServerContext& m_ctx;
    JobState& m_job;
    tx::ImportCarry m_carry;
    tx::ProfileCache m_profiles;
    db::Database m_jobDatabase; // the job's transaction, opened by its first file
    bool m_inJob = false;
};
