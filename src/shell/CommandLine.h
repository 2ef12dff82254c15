#pragma once

#include "platform/OperatorPrompt.h"
#include "platform/db/JobDatabaseUrl.h"

#include <QString>
#include <QStringList>

#include <optional>

// What argument 1 asks for. Argument 1 is the first argument that is not one
// of our options, exactly as the system handed it over: blanks and quotes
// inside it are part of it. A pair of double quotes around the whole
// argument is removed. Further arguments are ignored.
struct LegacyArgument {
    bool registration = false; // "-REGSERVER" / "/REGSERVER", any case
    QString configFile;        // a configuration file named by argument 1, or empty
};
LegacyArgument interpretArgument1(const QString& argument);

// Our own options beside the legacy argument 1. Everything written with two
// dashes is ours (an unknown one is a usage error); "-h" and "-v" too;
// everything else is handed to the legacy command line untouched, so that
// "-REGSERVER" and "/REGSERVER" keep working. An option's value follows "="
// or comes as the next argument; a value that is missing, empty, another
// option ("--...") or outside the option's set is a usage error.
struct LaunchOptions {
    bool headless = false;
    bool once = false;
    bool initDb = false;
    QString initDbDir;                          // --init-db DIR: the client directory for prog.mdb
    std::optional<JobDatabaseUrl> initDbServer; // --init-db URL: the schema to create
    // --job-database=URL: the job database in a PostgreSQL schema; none:
    // prog.mdb in the client directory.
    std::optional<JobDatabaseUrl> jobDatabase;
    int answerExists = 7; // No
    int answerFailed = PolicyPrompt::AutoRetryCancel;
    // Given on the command line: then answered by policy even with a window.
    bool answerExistsGiven = false;
    bool answerFailedGiven = false;
    int settleMs = 0; // 0: the read-only rule alone decides
    QString metricsFile;
    QString programDir; // where prog.bak goes; empty: the executable's folder
    bool showHelp = false;
    bool showVersion = false;
    QString usageError;          // one line; the caller prints it with the hint and ends with exit code 2
    QStringList legacyArguments; // everything that is not one of our options
};
LaunchOptions parseLaunchOptions(const QStringList& arguments);

// The text of --help: every option and the legacy argument 1.
QString usageText(const QString& programName);
// The one line printed after a usage error.
QString usageHint(const QString& programName);

// --help, --version and usage errors are answered here, before anything is
// started or created: prints the text and gives the exit code (0, or 2 for a
// usage error). Returns false when the server is to start.
bool answerWithoutStarting(const LaunchOptions& options, int* exitCode);

// Argument 1 of the command line the options were parsed from.
LegacyArgument legacyArgument(const LaunchOptions& options);

// Whether the server runs without a window: --headless, and the commands
// that end without starting the server (--init-db, the registration
// request). Kept as one function so that the choice is made in one place.
bool runsHeadless(const LaunchOptions& options);

// An executable in a system folder (/usr/bin, /usr/local/bin, /bin,
// /usr/sbin), or in a folder the user may not write to, is installed: no
// plant lives beside it, so it must never write its configuration or
// prog.bak there.
bool programIsInstalled(const QString& programDir, bool writable);

// What an installed program needs before it starts the server: the
// configuration file (argument 1) and --program-dir. The one line to print
// when either is missing; empty when the server may start (a program in a
// plant's Server folder keeps its defaults, and the registration request
// needs neither).
QString installedProgramLacks(const LaunchOptions& options, const QString& programDir, bool writable);
