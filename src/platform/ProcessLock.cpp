#include "platform/ProcessLock.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct flock wholeFile(short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however long the file grows
    return lock;
}

// "4711\nplant-pc\n": written after the lock is taken, read only to tell
// the operator who holds it.
QByteArray holderText()
{
    return QByteArray::number(qint64(::getpid())) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

void writeHolder(int fd)
{
    const QByteArray text = holderText();
    if (::ftruncate(fd, 0) != 0)
        return;
    [[maybe_unused]] const auto written = ::pwrite(fd, text.constData(), size_t(text.size()), 0);
}

QString readHolder(int fd)
{
    char buf[512];
    const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
    const QList<QByteArray> lines = QByteArray(buf, n > 0 ? qsizetype(n) : 0).split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    const QByteArray host = lines.value(1).trimmed();
    if (!isNumber || pid <= 0 || host.isEmpty())
        return QStringLiteral("another process");
    return QStringLiteral("process %1 on %2").arg(pid).arg(QString::fromUtf8(host));
}

} // namespace

ProcessLock::ProcessLock(const QString& path) : m_path(path) {}

ProcessLock::~ProcessLock()
{
    unlock();
}

ProcessLock::Result ProcessLock::tryLock()
{
    if (m_fd >= 0)
        return Result::Taken;
    m_holder.clear();
    m_error.clear();
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Result::Failed;
    }
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
        m_fd = fd;
        writeHolder(fd);
        return Result::Taken;
    }
    const int error = errno;
    const bool held = error == EAGAIN || error == EACCES;
    if (held)
        m_holder = readHolder(fd);
    else
        m_error = QString::fromLocal8Bit(std::strerror(error));
    ::close(fd);
    return held ? Result::Held : Result::Failed;
}

void ProcessLock::unlock()
{
    if (m_fd < 0)
        return;
    // Emptied first, so that the file never names a process that let go.
    [[maybe_unused]] const int truncated = ::ftruncate(m_fd, 0);
    ::close(m_fd); // closing the last descriptor of the file releases the lock
    m_fd = -1;
}
