#pragma once

#include <QString>

struct ServerContext;
class JobImporter;

// Moves a loaded job file into prog.bak beside the program (and copies it
// into the optional backup directory). Best effort: a file that cannot be
// moved stays where it is and is read again later.
void BackupFile(ServerContext& ctx, const QString& path);
// Turns a failed job file into "<name>.$er" in the server directory; with
// keep only removes an old error copy and leaves the file in place.
void MakeErrorCopy(ServerContext& ctx, const QString& path, bool keep);
// "ProdServerAktiv" = "1" when auto release is ticked, else "0".
void SetReleaseFlag(ServerContext& ctx);
// Start-up housekeeping: error copies older than 7 days, then orphan print
// data (importer may be null).
void PurgeOldErrorCopies(ServerContext& ctx, JobImporter* importer);
