#include "intake/FileHandling.h"

#include "config/ServerContext.h"
#include "intake/ImportLedger.h"
#include "intake/JobImporter.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

// Every job file the server has read leaves the server directory: loaded
// files go to prog.bak beside the program, failed ones become "<name>.$er"
// error copies that are no longer polled. All of it is best effort: a step
// that fails is skipped, and a file that could not be moved simply stays
// where it is and is read again by a later cycle. Nothing here deletes a
// job file other than by these moves.

namespace {

const QString kErrorSuffix = QStringLiteral(".$er");
constexpr int kErrorCopyDays = 7;

QString errorCopyPath(const ServerContext& ctx, const QString& name)
{
    return fileops::joinPath(ctx.settings.serverDir, name + kErrorSuffix);
}

} // namespace

void BackupFile(ServerContext& ctx, const QString& path)
{
    const QString name = fileops::fileName(path);
    if (name.isEmpty() || ctx.programDir.isEmpty())
        return;

    const QString bak = fileops::joinPath(ctx.programDir, QStringLiteral("prog.bak"));
    if (!QFileInfo(bak).isDir())
        QDir().mkpath(bak);
    // A server directory that is prog.bak itself: the file is its own
    // backup, and "replacing the older backup" would delete it.
    const QString target = fileops::joinPath(bak, name);
    if (fileops::sameFile(path, target))
        return;

    // A stale error copy of a file that has now loaded.
    if (!ctx.settings.serverDir.isEmpty() && QFileInfo::exists(errorCopyPath(ctx, name)))
        fileops::forceDelete(errorCopyPath(ctx, name));

    const QString& extra = ctx.settings.backupDir;
    if (!extra.isEmpty() && QFileInfo(extra).isDir())
        fileops::copyOverwrite(path, fileops::joinPath(extra, name));

    // A newer file replaces the older backup of the same name; a read-only
    // old backup is kept, and then the move below fails and the file stays.
    if (QFileInfo::exists(target))
        fileops::deleteUnlessReadOnly(target);
    fileops::moveFile(path, target);
}

void MakeErrorCopy(ServerContext& ctx, const QString& path, bool keep)
{
    const QString name = fileops::fileName(path);
    if (name.isEmpty() || ctx.settings.serverDir.isEmpty())
        return;
    const QString copy = errorCopyPath(ctx, name);
    if (QFileInfo::exists(copy))
        fileops::forceDelete(copy);
    if (!keep)
        fileops::moveFile(fileops::joinPath(ctx.settings.serverDir, name), copy);
}

void SetReleaseFlag(ServerContext& ctx)
{
    ctx.store.setValue(QStringLiteral("ProdServerAktiv"),
                       ctx.settings.AutoFreigabe ? QStringLiteral("1") : QStringLiteral("0"));
}

void PurgeOldErrorCopies(ServerContext& ctx, JobImporter* importer)
{
    const QString& serverDir = ctx.settings.serverDir;
    if (!serverDir.isEmpty()) {
        const QDateTime limit = ctx.clock.now().addDays(-kErrorCopyDays);
        QDir dir(fileops::nativePath(serverDir));
        dir.setNameFilters({QStringLiteral("*") + kErrorSuffix});
        dir.setFilter(QDir::Files); // without QDir::CaseSensitive: "*.$ER" too
        const QFileInfoList copies = dir.entryInfoList();
        for (const QFileInfo& fi : copies) {
            if (fi.lastModified() < limit)
                fileops::deleteUnlessReadOnly(fi.filePath());
        }
    }
    purgeSetAsideRows(ctx, ctx.clock.now().addDays(-kErrorCopyDays));
    if (importer)
        importer->DeleteOrphanPrintData();
}
