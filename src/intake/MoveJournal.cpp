#include "intake/MoveJournal.h"

#include "config/ServerContext.h"
#include "intake/FileHandling.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// One line per move: "B" (backup) or "E" (error copy), the file's size and
// modification time in milliseconds, and its path, separated by tabs.

namespace {

QString backupFolder(const ServerContext& ctx)
{
    return fileops::joinPath(ctx.programDir, QStringLiteral("prog.bak"));
}

QString notePath(const ServerContext& ctx)
{
    return fileops::joinPath(backupFolder(ctx), QStringLiteral(".job-moves"));
}

// Size and modification time: what tells the noted file from one delivered
// again under the same name.
QByteArray identity(const QFileInfo& fi)
{
    return QByteArray::number(fi.size()) + '\t' + QByteArray::number(fi.lastModified().toMSecsSinceEpoch());
}

} // namespace

bool noteMoves(const ServerContext& ctx, const std::vector<PlannedMove>& moves)
{
    if (ctx.programDir.isEmpty())
        return false;
    QByteArray note;
    for (const PlannedMove& m : moves) {
        const QFileInfo fi(fileops::nativePath(m.path));
        if (!fi.isFile())
            continue;
        note +=
            (m.to == MoveTo::Backup ? "B\t" : "E\t") + identity(fi) + '\t' + QFile::encodeName(fi.filePath()) + '\n';
    }
    if (note.isEmpty())
        return true;
    QDir().mkpath(fileops::nativePath(backupFolder(ctx)));
    return fileops::writeDurably(notePath(ctx), note);
}

void movesMade(const ServerContext& ctx)
{
    if (!ctx.programDir.isEmpty())
        QFile::remove(fileops::nativePath(notePath(ctx)));
}

QStringList finishInterruptedMoves(ServerContext& ctx)
{
    QStringList moved;
    if (ctx.programDir.isEmpty())
        return moved;
    QFile note(fileops::nativePath(notePath(ctx)));
    if (!note.open(QIODevice::ReadOnly))
        return moved;
    bool backedUp = false;
    while (!note.atEnd()) {
        QByteArray line = note.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 4 || (parts[0] != "B" && parts[0] != "E"))
            continue;
        const QString path = QFile::decodeName(parts[3]);
        const QFileInfo fi(path);
        const bool backup = parts[0] == "B";
        backedUp = backedUp || backup;
        if (!fi.isFile() || identity(fi) != parts[1] + '\t' + parts[2])
            continue; // moved before the stop, or a new file of the same name
        if (backup)
            BackupFile(ctx, path);
        else
            MakeErrorCopy(ctx, path, false);
        if (!fileops::exists(path))
            moved << fi.fileName();
    }
    note.close();
    if (backedUp)
        SetReleaseFlag(ctx);
    movesMade(ctx);
    return moved;
}
