#pragma once

#include "intake/JobImporter.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

struct ServerContext;
struct JobState;

// The real importers behind the scan cycle.
class PlantImporter final : public JobImporter {
public:
    PlantImporter(ServerContext& ctx, JobState& job) : m_ctx(ctx), m_job(job) {}

    void ImportProductionData(const QString& path, bool steelMode) override;
    void ReadLabelFile(const QString& path) override;
    void DeleteLos(const QString& jobName, bool steelMode) override;
    void DeletePrintData(const QString& jobName) override;
    void DeleteOrphanPrintData() override;

    tx::ProfileCache& profileCache() { return m_profiles; }

private:
    ServerContext& m_ctx;
    JobState& m_job;
    tx::ImportCarry m_carry;
    tx::ProfileCache m_profiles;
};
