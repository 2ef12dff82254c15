#pragma once

#include <QString>
#include <QStringList>

// The legacy command line: the raw text split at blanks and tabs, element 0
// empty, at most maxCount arguments (the rest of the line is ignored).
// Double quotes get no special treatment.
QStringList SplitCommandLine(const QString& raw, int maxCount = 10);

// What argument 1 asks for.
struct LegacyArgument {
    bool registration = false; // "-REGSERVER" / "/REGSERVER", any case
    QString configFile;        // a configuration file named by argument 1, or empty
};
LegacyArgument interpretArgument1(const QStringList& split);

// Our own options beside the legacy argument 1.
struct LaunchOptions {
    bool headless = false;
    bool once = false;
    bool initDb = false;
    QString initDbDir;
    int answerExists = 7; // No
    int answerFailed = 2; // Cancel
    // Given on the command line: then answered by policy even with a window.
    bool answerExistsGiven = false;
    bool answerFailedGiven = false;
    QStringList legacyArguments; // everything that is not one of our options
    QStringList warnings;        // unknown or malformed options, for standard error
};
LaunchOptions parseLaunchOptions(const QStringList& arguments);

// The raw legacy command line: the legacy arguments joined by blanks, as the
// operating system would have handed it over.
QString rawLegacyCommandLine(const LaunchOptions& options);

// Whether the server runs without a window: --headless, and the commands
// that end without starting the server (--init-db, the registration
// request). Kept as one function so that the choice is made in one place.
bool runsHeadless(const LaunchOptions& options);
