#pragma once

#include "intake/JobImporter.h"
#include "platform/PendingError.h"

#include <functional>

// An importer whose production-data import runs a given step and reads
// nothing: the file stays where it is.
class StepImporter : public JobImporter {
public:
    std::function<void()> step;
    int imports = 0;
    ImportOutcome ImportProductionData(const QString&, bool) override
    {
        ++imports;
        if (step)
            step();
        return {};
    }
    ImportOutcome ReadLabelFile(const QString&) override { return {}; }
    void DeleteLos(const QString&, bool) override {}
    void DeletePrintData(const QString&) override {}
    void DeleteOrphanPrintData() override {}
    void beginJob() override {}
    bool commitJob(PendingError&) override { return true; }
    void rollBackJob() override {}
};
