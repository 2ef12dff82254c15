#include "config/Configuration.h"

#include "config/ServerContext.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

// Directories in the configuration file may be written relative to the
// plant's base directory, so that a whole plant tree can be copied to another
// disk: "~apppath~\Client", or "\In". The base directory is the folder above
// the configuration file's folder, provided that folder is named Server.
//
// On this platform "\" and "/" both separate. A path that begins with one
// "/" is absolute (what a drive path is on the plant's old machines); "//"
// or "\\" starts a network path, which is never touched. Everything else is
// relative to the base directory.

namespace {

const QString kAppPath = QStringLiteral("~apppath~");

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

bool isNetworkPath(const QString& path)
{
    return path.size() >= 2 && isSeparator(path.at(0)) && isSeparator(path.at(1));
}

bool isAbsolutePath(const QString& path)
{
    return path.startsWith(u'/') && !isNetworkPath(path);
}

// The folder that holds the configuration file, with "/" separators.
QString configFolder(const ServerContext& ctx)
{
    if (ctx.ConfigFilePath.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(fileops::nativePath(ctx.ConfigFilePath)).absolutePath());
}

// The base directory when the configuration folder is named Server (any
// case); ok is false when it is not.
QString applicationBase(const QString& folder, bool* ok)
{
    const qsizetype slash = folder.lastIndexOf(u'/');
    const QString last = slash < 0 ? folder : folder.mid(slash + 1);
    *ok = last.compare(QStringLiteral("Server"), Qt::CaseInsensitive) == 0;
    if (!*ok)
        return {};
    QString base = slash < 0 ? QString() : folder.left(slash);
    return base;
}

} // namespace

QString ResolvePath(ServerContext& ctx, const QString& configured, QString* resolved)
{
    bool wrongConfigPath = false;
    const QString display = resolvePathQuietly(ctx, configured, resolved, &wrongConfigPath);
    if (wrongConfigPath)
        ctx.prompt.showMessage(ctx.ProgramTitle, QStringLiteral("Wrong Configpath found! ") + ctx.ConfigFilePath);
    return display;
}

QString resolvePathQuietly(const ServerContext& ctx, const QString& configured, QString* resolved,
                           bool* wrongConfigPath)
{
    *wrongConfigPath = false;
    // A database connection text is not a path.
    if (configured.contains(QStringLiteral("Provider"), Qt::CaseInsensitive)) {
        *resolved = configured;
        return configured;
    }

    QString folder = configFolder(ctx);
    if (folder.isEmpty())
        folder = QDir::cleanPath(fileops::nativePath(ctx.programDir));

    bool underServer = false;
    const QString base = applicationBase(folder, &underServer);
    if (!underServer) {
        *wrongConfigPath = configured.contains(kAppPath);
        *resolved = fileops::nativePath(configured);
        return configured;
    }

    QString path = configured;
    path.replace(kAppPath, base);
    QString display = path;
    QString full = path;
    if (!path.isEmpty() && !isNetworkPath(path)) {
        if (isAbsolutePath(path)) {
            // Written back in the portable form when it lies under the base.
            if (fileops::nativePath(path).startsWith(base, Qt::CaseInsensitive))
                display = kAppPath + path.mid(base.size());
        } else {
            // Relative paths are written with a leading separator ("\In");
            // one is supplied when the operator left it out.
            full = isSeparator(path.at(0)) ? base + path : base + u'/' + path;
        }
    }
    *resolved = fileops::nativePath(full);
    return display;
}
