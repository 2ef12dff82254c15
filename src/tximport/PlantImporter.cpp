#include "tximport/PlantImporter.h"

#include "etimport/LabelReader.h"
#include "config/ServerContext.h"
#include "etimport/PrintData.h"
#include "tximport/ProductionImport.h"

ImportOutcome PlantImporter::ImportProductionData(const QString& path, bool steelMode)
{
    return tx::ImportProductionData(m_ctx, m_job, m_carry, m_profiles, path, steelMode, jobTransaction());
}

ImportOutcome PlantImporter::ReadLabelFile(const QString& path)
{
    return et::ReadLabelFile(m_ctx, m_job, path, jobTransaction());
}

void PlantImporter::DeleteLos(const QString& jobName, bool steelMode)
{
    tx::DeleteLos(m_ctx, jobName, steelMode);
}

void PlantImporter::DeletePrintData(const QString& jobName)
{
    et::DeletePrintData(m_ctx, jobName);
}

void PlantImporter::DeleteOrphanPrintData()
{
    et::DeleteOrphanPrintData(m_ctx);
}

void PlantImporter::beginJob()
{
    m_jobDatabase.close();
    m_inJob = true;
}

bool PlantImporter::recordInJob(const std::vector<LedgerEntry>& ledger, PendingError& err)
{
    return m_inJob && m_jobDatabase.isOpen() && recordInLedger(m_jobDatabase, ledger, m_ctx.clock.now(), err);
}

bool PlantImporter::commitJob(PendingError& err)
{
    m_inJob = false;
    // A job whose files never opened the database has nothing to commit.
    return !m_jobDatabase.isOpen() || m_jobDatabase.commit(err);
}

void PlantImporter::rollBackJob()
{
    m_inJob = false;
    m_jobDatabase.close();
}
