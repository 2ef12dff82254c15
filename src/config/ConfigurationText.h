#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QStringList>

// The lines of a configuration file as text. The plant's tools write it in
// Windows-1252 with CR LF, and so does the server; a file edited on Linux is
// read as well: with LF line ends when it holds no CR at all, and as UTF-8
// when it begins with a byte-order mark. A file with CRs keeps the old rule
// (a line ends at CR or CR LF; a bare LF stays inside the line).
// Raises "File not found" (53), "Path/File access error" (75, the path is a
// directory) or "Permission denied" (70) into err.
bool readConfigurationLines(const QString& path, QStringList* lines, PendingError& err);

// The same for bytes already read.
QStringList configurationLines(const QByteArray& bytes);
