#pragma once

#include "intake/JobImporter.h"
#include "intake/JobState.h"
#include "platform/FileOps.h"
#include "platform/OperatorPrompt.h"

#include <QFile>
#include <QStringList>

#include <stdexcept>

inline void makeReadOnly(const QString& path) { QFile::setPermissions(path, QFileDevice::ReadOwner); }

// Records its calls and sets the job state as the real importers do. The file
// named failing fails the job (the operator answers failAnswer); throwing throws.
class RecordingImporter final : public JobImporter {
public:
    explicit RecordingImporter(JobState& job) : m_job(job) {}

    void ImportProductionData(const QString& path, bool steelMode) override
    {
        if (steelMode) {
            m_job.CurrentSteelFile = path;
            m_job.SteelDataLoaded = fileops::exists(path);
        } else {
            m_job.resetForNewJob(fileops::baseName(path), path);
            m_job.LoadCancelled = m_job.LoadFailed = cancelAtExistsQuestion;
        }
        took(QStringLiteral("ImportProductionData(%1,%2)").arg(fileops::fileName(path)).arg(int(steelMode)), path);
    }
    void ReadLabelFile(const QString& path) override
    {
        m_job.CurrentLabelFile = path;
        m_job.LabelDataLoaded = fileops::exists(path);
        took(QStringLiteral("ReadLabelFile(%1)").arg(fileops::fileName(path)), path);
    }
    void DeleteLos(const QString& job, bool steel) override { calls << QStringLiteral("DeleteLos(%1,%2)").arg(job).arg(int(steel)); }
    void DeletePrintData(const QString& job) override { calls << QStringLiteral("DeletePrintData(%1)").arg(job); }
    void DeleteOrphanPrintData() override { calls << QStringLiteral("DeleteOrphanPrintData"); }

    QStringList calls;
    QString failing, throwing; // file names
    int failAnswer = Answer::Cancel;
    bool cancelAtExistsQuestion = false;

private:
    void took(const QString& call, const QString& path)
    {
        calls << call;
        if (fileops::fileName(path) == throwing)
            throw std::runtime_error("importer broke");
        if (fileops::fileName(path) == failing) {
            m_job.LoadFailed = true;
            m_job.RetryRequested = failAnswer == Answer::Retry;
        }
    }

    JobState& m_job;
};
