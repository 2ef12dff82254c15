#include "config/SettingsCheck.h"

#include "config/ServerContext.h"
#include "platform/FileOps.h"

#include <QFileInfo>

namespace {

bool isDirectory(const QString& path)
{
    return QFileInfo(fileops::nativePath(path)).isDir();
}

// A database connection text instead of a folder is not checked here.
bool isConnectionText(const QString& path)
{
    return path.contains(QLatin1String("Provider"), Qt::CaseInsensitive);
}

} // namespace

QStringList settingsProblems(const ServerContext& ctx)
{
    const Settings& s = ctx.settings;
    const QString config = ctx.ConfigFilePath;
    QStringList problems;
    if (isDirectory(config))
        problems << QStringLiteral("The configuration file %1 is a directory: name a .zezad file as argument 1.")
                        .arg(config);
    if (s.serverDir.isEmpty())
        problems
            << QStringLiteral("No server directory (\"ServerPath\") in %1: no job files are looked for.").arg(config);
    else if (!isDirectory(s.serverDir))
        problems << QStringLiteral("The server directory %1 does not exist.").arg(s.serverDir);
    if (s.clientDir.isEmpty())
        problems
            << QStringLiteral("No client directory (\"ClientPath\") in %1: no job files are looked for.").arg(config);
    else if (!isConnectionText(s.clientDir) && !isDirectory(s.clientDir))
        problems << QStringLiteral("The client directory %1 does not exist.").arg(s.clientDir);
    // Configurations in which a loaded file would be moved onto itself: the
    // moves refuse, and the file stays to be read again at every cycle.
    const QString progBak = fileops::joinPath(ctx.programDir, QStringLiteral("prog.bak"));
    if (!s.serverDir.isEmpty() && fileops::sameFile(s.serverDir, progBak))
        problems << QStringLiteral("The server directory %1 is the backup folder prog.bak: loaded files cannot be "
                                   "moved out of it. Choose another server directory.")
                        .arg(s.serverDir);
    if (!s.backupDir.isEmpty() && !s.serverDir.isEmpty() && fileops::sameFile(s.backupDir, s.serverDir))
        problems << QStringLiteral("The backup directory %1 is the server directory: it gets no extra backup. "
                                   "Choose another backup directory.")
                        .arg(s.backupDir);
    if (!s.backupDir.isEmpty()) {
        const QFileInfo backup(fileops::nativePath(s.backupDir));
        if (!backup.isDir())
            problems << QStringLiteral("The backup directory %1 does not exist: loaded files get no extra backup.")
                            .arg(s.backupDir);
        else if (!backup.isWritable())
            problems << QStringLiteral("The backup directory %1 cannot be written: loaded files get no extra backup.")
                            .arg(s.backupDir);
    }
    if (s.scanInterval <= 0)
        problems << QStringLiteral("No scan interval (\"RefreshZyklus\") in %1: no scan cycle runs.").arg(config);
    return problems;
}

bool reportSettingsProblems(ServerContext& ctx)
{
    const QStringList problems = settingsProblems(ctx);
    if (problems.isEmpty())
        return false;
    writeTotxtError(ctx, QStringLiteral("Settings: ") + problems.join(QStringLiteral("\r\n")));
    return true;
}
