#pragma once

#include "config/ServerContext.h"
#include "intake/JobState.h"
#include "TestDoubles.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/OperatorPrompt.h"
#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

namespace bench {

// Writes a realistic production-data job: `bars` bars of `piecesPerBar`
// pieces, each piece with trolley/compartment, commission, angles, length,
// steel (first "SA" and "SB"), a short-form label and two machining
// operations (one fixed, one list form). Lines end in CR LF.
QByteArray generateProductionJob(int bars, int piecesPerBar);
// The matching label-data file: a header and two records per piece.
QByteArray generateLabelJob(int bars, int piecesPerBar);

// A temporary plant with an empty job database and a headless context.
class BenchPlant {
public:
    BenchPlant();
    QString serverDir() const { return m_dir.path() + QStringLiteral("/In"); }
    QString clientDir() const { return m_dir.path() + QStringLiteral("/Client"); }
    QString databasePath() const { return clientDir() + QStringLiteral("/prog.mdb"); }
    QString writeFile(const QString& name, const QByteArray& content);

    SystemClock clock;
    PolicyPrompt prompt{Answer::Yes, Answer::Cancel, nullptr};
    MemorySettingsStore store;
    MemoryErrorBox errorBox;
    ServerContext ctx{clock, prompt, store, errorBox};
    JobState job;

private:
    QTemporaryDir m_dir;
};

// Peak resident set size of this process so far, in MiB.
double peakRssMiB();

} // namespace bench
