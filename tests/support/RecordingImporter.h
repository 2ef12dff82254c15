#pragma once

#include "intake/JobImporter.h"
#include "intake/JobState.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <stdexcept>

inline void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner);
}

// Records its calls and returns outcomes as the real importers do. The file
// named failing fails (the scan cycle asks the operator); throwing throws;
// failCommit makes the job's commit fail.
class RecordingImporter final : public JobImporter {
public:
    ImportOutcome ImportProductionData(const QString& path, bool steelMode) override
    {
        took(QStringLiteral("ImportProductionData(%1,%2)").arg(fileops::fileName(path)).arg(int(steelMode)), path);
        ImportOutcome o = outcome(steelMode ? FileKind::Steel : FileKind::Production, path);
        if (!steelMode && cancelAtExistsQuestion)
            o.result = ImportResult::GivenUp;
        return o;
    }
    ImportOutcome ReadLabelFile(const QString& path) override
    {
        took(QStringLiteral("ReadLabelFile(%1)").arg(fileops::fileName(path)), path);
        return outcome(FileKind::Label, path);
    }
    void DeleteLos(const QString& job, bool steel) override
    {
        calls << QStringLiteral("DeleteLos(%1,%2)").arg(job).arg(int(steel));
    }
    void DeletePrintData(const QString& job) override { calls << QStringLiteral("DeletePrintData(%1)").arg(job); }
    void DeleteOrphanPrintData() override { calls << QStringLiteral("DeleteOrphanPrintData"); }
    void beginJob() override { calls << QStringLiteral("beginJob"); }
    bool commitJob(PendingError& err) override
    {
        calls << QStringLiteral("commitJob");
        if (failCommit)
            err.raise(3043, QStringLiteral("Disk or network error."));
        return !failCommit;
    }
    void rollBackJob() override { calls << QStringLiteral("rollBackJob"); }

    QStringList calls;
    QString failing, throwing; // file names
    bool cancelAtExistsQuestion = false;
    bool failCommit = false;

private:
    void took(const QString& call, const QString& path)
    {
        calls << call;
        if (fileops::fileName(path) == throwing)
            throw std::runtime_error("importer broke");
    }
    ImportOutcome outcome(FileKind kind, const QString& path) const
    {
        ImportOutcome o;
        o.kind = kind;
        o.path = path;
        o.jobName = fileops::baseName(path);
        o.fileRead = QFileInfo::exists(path);
        o.result = fileops::fileName(path) == failing ? ImportResult::Failed : ImportResult::Loaded;
        return o;
    }
};
