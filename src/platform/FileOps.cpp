#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace fileops {

QString nativePath(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString joinPath(const QString& dir, const QString& name)
{
    QString d = nativePath(dir);
    if (!d.isEmpty() && !d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d + nativePath(name);
}

QString fileName(const QString& path)
{
    const QString p = nativePath(path);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? p : p.mid(slash + 1);
}

QString baseName(const QString& path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool exists(const QString& path) { return QFileInfo::exists(nativePath(path)); }

bool isDirectory(const QString& path)
{
    const QFileInfo fi(nativePath(path));
    return fi.exists() && fi.isDir();
}

bool isReadOnly(const QString& path)
{
    const QFileInfo fi(nativePath(path));
    return fi.exists() && !(fi.permissions() & QFileDevice::WriteOwner);
}

bool forceDelete(const QString& path)
{
    const QString p = nativePath(path);
    if (!QFileInfo::exists(p))
        return false;
    QFile f(p);
    f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
    return f.remove();
}

bool deleteUnlessReadOnly(const QString& path)
{
    if (isReadOnly(path))
        return false;
    return QFile::remove(nativePath(path));
}

bool isRegularFile(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(nativePath(path)).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(nativePath(a)).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(nativePath(b)).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool copyOverwrite(const QString& from, const QString& to)
{
    const QString target = nativePath(to);
    // Replacing the target would delete the file itself.
    if (sameFile(from, to))
        return false;
    if (QFileInfo::exists(target) && !forceDelete(target))
        return false;
    return QFile::copy(nativePath(from), target);
}

bool moveFile(const QString& from, const QString& to)
{
    const QString target = nativePath(to);
    if (sameFile(from, to))
        return false;
    if (QFileInfo::exists(target))
        return false;
    return QFile::rename(nativePath(from), target);
}

} // namespace fileops
