#pragma once

// Small helpers shared by the reader tests (frame, bar, piece head,
// completion, bar selection, remnant, malformed jobs).

#include "PieceImportFixture.h"

#include "platform/Text.h"

#include <QFile>
#include <QString>

namespace readertest {

// The latest report as WriteErrorLog wrote it to $TXerror.dat, without the
// quotes of its log field.
inline QString lastLogMessage(const piecetest::PieceImport& run)
{
    QByteArray bytes = readFileBytes(run.plant.clientDir() + QStringLiteral("/$TXerror.dat"));
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    if (bytes.startsWith('"'))
        bytes.remove(0, 1);
    if (bytes.endsWith('"'))
        bytes.chop(1);
    return text::fromCp1252(bytes);
}

inline bool fileExists(const QString& path) { return QFile::exists(path); }

inline int count(const piecetest::PieceImport& run, const QString& sql) { return run.value(sql).toInt(); }

} // namespace readertest

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
