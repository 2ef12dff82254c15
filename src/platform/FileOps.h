#pragma once

#include <QFile>
#include <QString>

// File helpers in the forms the intake uses. Paths from the configuration
// may use "\" or "/"; on Linux both separate.
namespace fileops {

// dir + separator + name, with "\" turned into "/".
QString joinPath(const QString& dir, const QString& name);
// Base name (no directory, no extension after the last dot) and file name.
QString baseName(const QString& path);
QString fileName(const QString& path);
// Turns "\" into "/" (a leading "\\" becomes "//").
QString nativePath(const QString& path);

// Deletes a file even when it is read-only. False when it could not.
bool forceDelete(const QString& path);
// Deletes a file unless it is read-only.
bool deleteUnlessReadOnly(const QString& path);
// Copies, replacing an existing target.
bool copyOverwrite(const QString& from, const QString& to);
// Moves (rename, or copy + delete across file systems). Fails when the
// target exists.
bool moveFile(const QString& from, const QString& to);
// Read-only = the owner has no write permission; a link is never read-only.
bool isReadOnly(const QString& path);
// A regular file itself: not a link (whatever it leads to), directory,
// device, pipe or socket. Links are never followed, so a name in a folder
// the server reads cannot lead it to a file somewhere else.
bool isRegularFile(const QString& path);
// A regular file, or nothing at all, stands at the path: what may be
// replaced by a file the server writes.
bool isRegularFileOrNothing(const QString& path);

enum class OpenResult { Opened, NotFound, NotRegular, Denied };
// Opens a regular file for reading without following a link and without
// waiting on a pipe or device: anything but a regular file is NotRegular
// and stays unread.
OpenResult openRegularFile(QFile& file, const QString& path);
// True when both paths name the same file (the same file system object,
// whatever the spelling or links). False when either does not exist.
bool sameFile(const QString& a, const QString& b);
// Writes a small file so that it is on disk, whole, before this returns: the
// bytes go to a hidden file beside it, which is synced and renamed into
// place. A crash leaves the old file or the new one, never a part.
bool writeDurably(const QString& path, const QByteArray& bytes);
// Deletes a file and syncs its folder, so that the file stays gone after a
// power cut. False when there was no such file or it could not be deleted.
bool removeDurably(const QString& path);

} // namespace fileops
