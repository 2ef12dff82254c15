#pragma once

#include "platform/KeyedList.h"

#include <QString>

// The current-job state: lives from one production-data file to the next
// (the production-data importer resets it; a steel-data or label-data file
// of the same job keeps it) and tells the scan cycle how the job went.
struct JobState {
    QString CurrentJobName;
    QString CurrentJobFile;
    QString CurrentLabelFile;
    QString CurrentSteelFile;
    bool LabelDataLoaded = false;
    bool SteelDataLoaded = false;
    int ReplaceAnswer = 0; // 6 delete, 7 override, 0 not asked
    bool LoadCancelled = false;
    bool RetryRequested = false;
    bool LoadFailed = false;

    bool jobHasSteelData = false;
    bool jobHasLabelData = false;
    KeyedList pvcPieceNumbers; // "#steel piece,PVC piece;" entries
    KeyedList labelList;       // "#label number,piece number;" entries
    QString BarProfileName;

    // Start of a new job (a production-data file).
    void resetForNewJob(const QString& jobName, const QString& jobFile)
    {
        *this = JobState();
        CurrentJobName = jobName;
        CurrentJobFile = jobFile;
    }
};
