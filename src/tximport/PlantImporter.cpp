#include "tximport/PlantImporter.h"

#include "etimport/LabelReader.h"
#include "etimport/PrintData.h"
#include "tximport/ProductionImport.h"

void PlantImporter::ImportProductionData(const QString& path, bool steelMode)
{
    tx::ImportProductionData(m_ctx, m_job, m_carry, m_profiles, path, steelMode);
}

void PlantImporter::ReadLabelFile(const QString& path) { et::ReadLabelFile(m_ctx, m_job, path); }

void PlantImporter::DeleteLos(const QString& jobName, bool steelMode) { tx::DeleteLos(m_ctx, jobName, steelMode); }

void PlantImporter::DeletePrintData(const QString& jobName) { et::DeletePrintData(m_ctx, jobName); }

void PlantImporter::DeleteOrphanPrintData() { et::DeleteOrphanPrintData(m_ctx); }
