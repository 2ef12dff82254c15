#pragma once

#include <QString>
#include <QStringList>

// The entry procedure of the server: command line, start-up sequence,
// the scan timer's event loop and the orderly end. Returns the process exit
// code.
int runServer(int argc, char** argv);

// Version label text: "V" + major.minor.revision.
QString versionText();

// The single-instance lock of the title (a lock file in the runtime
// directory); returns false when another running server holds it.
class QLockFile;
bool acquireInstanceLock(QLockFile& lock);
QString instanceLockPath(const QString& programTitle);
