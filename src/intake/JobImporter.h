#pragma once

#include <QString>

// What the scan cycle needs of the importers. The shell wires in the real
// ones; the scan cycle's tests use a recording importer.
class JobImporter {
public:
    virtual ~JobImporter() = default;
    virtual void ImportProductionData(const QString& path, bool steelMode) = 0;
    virtual void ReadLabelFile(const QString& path) = 0;
    virtual void DeleteLos(const QString& jobName, bool steelMode) = 0;
    virtual void DeletePrintData(const QString& jobName) = 0;
    virtual void DeleteOrphanPrintData() = 0;
};
