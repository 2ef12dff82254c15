#pragma once

#include "intake/JobImporter.h"
#include "intake/JobState.h"
#include "platform/FileOps.h"
#include "platform/OperatorPrompt.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <stdexcept>

// An importer that records what the scan cycle hands it and leaves the job
// state the way the real importers do: a production-data file starts a new
// job named after the file, a label-data or steel-data file counts as loaded
// when it exists. Files named in failing fail the job; the operator's answer
// to the Retry/Cancel box is failAnswer.
class RecordingImporter final : public JobImporter {
public:
    explicit RecordingImporter(JobState& job) : m_job(job) {}

    void ImportProductionData(const QString& path, bool steelMode) override
    {
        calls << QStringLiteral("ImportProductionData(%1,%2)").arg(fileops::fileName(path)).arg(int(steelMode));
        if (throwing.contains(fileops::fileName(path)))
            throw std::runtime_error("importer broke");
        if (!steelMode) {
            m_job.resetForNewJob(fileops::baseName(path), path);
            if (cancelAtExistsQuestion) {
                m_job.LoadCancelled = true;
                m_job.LoadFailed = true;
                return;
            }
        } else {
            m_job.CurrentSteelFile = path;
            m_job.SteelDataLoaded = fileops::exists(path);
        }
        failIfListed(path);
    }

    void ReadLabelFile(const QString& path) override
    {
        calls << QStringLiteral("ReadLabelFile(%1)").arg(fileops::fileName(path));
        m_job.CurrentLabelFile = path;
        m_job.LabelDataLoaded = fileops::exists(path);
        failIfListed(path);
    }

    void DeleteLos(const QString& jobName, bool steelMode) override
    {
        calls << QStringLiteral("DeleteLos(%1,%2)").arg(jobName).arg(int(steelMode));
    }
    void DeletePrintData(const QString& jobName) override { calls << QStringLiteral("DeletePrintData(%1)").arg(jobName); }
    void DeleteOrphanPrintData() override { calls << QStringLiteral("DeleteOrphanPrintData"); }

    QStringList calls;
    QSet<QString> failing;  // file names whose import fails
    QSet<QString> throwing; // file names whose import throws
    int failAnswer = Answer::Cancel;
    bool cancelAtExistsQuestion = false;

private:
    void failIfListed(const QString& path)
    {
        if (!failing.contains(fileops::fileName(path)))
            return;
        m_job.LoadFailed = true;
        m_job.RetryRequested = failAnswer == Answer::Retry;
    }

    JobState& m_job;
};
