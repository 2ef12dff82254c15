#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool syncDirectoryOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// A move to another file system, where no rename can do it: the bytes go
// into a hidden file beside the target, which is synced and then renamed to
// the target; only then is the source deleted. When any step fails (a full
// disk, most often) the partial copy is removed and the source stays. Only
// a regular file is copied: a link is not followed.
bool copyAcross(const QByteArray& from, const QByteArray& to)
{
    const int in = ::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    const qsizetype slash = to.lastIndexOf('/');
    const QByteArray temp = to.left(slash + 1) + ".~" + to.mid(slash + 1) + ".part";
    const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = ::fchmod(out, st.st_mode & 07777) == 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0 || !writeAll(out, buffer, n)) {
            ok = ok && n == 0;
            break;
        }
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok || ::access(to.constData(), F_OK) == 0 || ::rename(temp.constData(), to.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    (void)syncDirectoryOf(to);
    if (::unlink(from.constData()) != 0) {
        // The source cannot go: keep it, and not a second copy of it.
        ::unlink(to.constData());
        return false;
    }
    return true;
}

bool renameOrCopyAcross(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::rename(source.constData(), target.constData()) == 0)
        return true;
    return errno == EXDEV && copyAcross(source, target);
}

} // namespace

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

bool isReadOnly(const QString& path)
{
    // A link has no read-only attribute of its own; what it leads to is not
    // looked at.
    const QFileInfo fi(nativePath(path));
    return fi.exists() && !fi.isSymLink() && !(fi.permissions() & QFileDevice::WriteOwner);
}

bool forceDelete(const QString& path)
{
    const QString p = nativePath(path);
    const QFileInfo info(p);
    if (info.isSymLink())
        return QFile::remove(p); // the link goes; what it leads to is not touched
    if (!info.exists())
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
    return ::lstat(QFile::encodeName(nativePath(path)).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isRegularFileOrNothing(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(nativePath(path)).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

OpenResult openRegularFile(QFile& file, const QString& path)
{
    const QString p = nativePath(path);
    // O_NONBLOCK: opening a pipe would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(p).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return OpenResult::NotFound;
        return errno == ELOOP ? OpenResult::NotRegular : OpenResult::Denied;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(p);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return OpenResult::Denied;
    }
    return OpenResult::Opened;
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
    return renameOrCopyAcross(nativePath(from), target);
}

bool writeDurably(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(nativePath(path));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray temp = target.left(slash + 1) + ".~" + target.mid(slash + 1) + ".part";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes.constData(), bytes.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return syncDirectoryOf(target);
}

bool removeDurably(const QString& path)
{
    const QByteArray target = QFile::encodeName(nativePath(path));
    if (::unlink(target.constData()) != 0)
        return false;
    (void)syncDirectoryOf(target);
    return true;
}

} // namespace fileops
