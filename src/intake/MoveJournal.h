#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct ServerContext;

// In job mode the files of one job leave the server directory together, but
// files move one at a time: a server stopped between two moves would leave
// the job's label or steel data behind, and job mode never lists those
// again. So the moves of a job are written down (synced) in
// "prog.bak/.job-moves" before the first one is made, the note is removed
// after the last, and what a stopped server left undone is finished at the
// start of the next cycle.

enum class MoveTo { Backup, ErrorCopy };

struct PlannedMove {
    MoveTo to;
    QString path; // the file in the server directory
};

// Writes the note of the moves about to be made. Files that do not exist
// are left out. False when the note could not be written (the moves are
// then made all the same).
bool noteMoves(const ServerContext& ctx, const std::vector<PlannedMove>& moves);
// The moves are made: the note goes.
void movesMade(const ServerContext& ctx);

// Finishes the moves of a note a stopped server left: every file still in
// the server directory as it was when noted (same size, same modification
// time; a file delivered again since is left alone) is backed up or set
// aside as noted, and after backups the release flag is set. Returns the
// names of the files it moved; the note is removed.
QStringList finishInterruptedMoves(ServerContext& ctx);
