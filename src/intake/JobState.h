#pragma once

#include "platform/KeyedList.h"

#include <QString>

// The current-job state: what lives from one production-data file to the
// next. The production-data importer resets it at the start of each
// production-data file; the label-data and steel-data files of the same job
// read what it left. How a file went is not kept here: each importer
// returns it as an ImportOutcome.
struct JobState {
    QString CurrentJobName;
    int ReplaceAnswer = 0; // the job-exists answer: 6 delete, 7 override, 0 not asked

    bool jobHasSteelData = false;
    bool jobHasLabelData = false;
    KeyedList pvcPieceNumbers; // "#steel piece,PVC piece;" entries
    KeyedList labelList;       // "#label number,piece number;" entries
    QString BarProfileName;

    // Start of a new job (a production-data file).
    void resetForNewJob(const QString& jobName)
    {
        *this = JobState();
        CurrentJobName = jobName;
    }
};
