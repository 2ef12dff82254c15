#include "platform/TextFile.h"

#include "platform/Text.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kBlock = 64 * 1024;

void raiseWriteOpenError(const QString& path, PendingError& err)
{
    if (!QFileInfo::exists(QFileInfo(path).absolutePath()))
        err.raise(ErrorNumber::PathNotFound, QStringLiteral("Path not found"));
    else
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
}

bool writeBytes(const QString& path, const QString& content, QIODevice::OpenMode mode, PendingError& err)
{
    QFile f(path);
    if (!f.open(mode)) {
        raiseWriteOpenError(path, err);
        return false;
    }
    const QByteArray bytes = text::toCp1252(content);
    if (f.write(bytes) != bytes.size()) {
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Disk full or write error"));
        return false;
    }
    return true;
}

} // namespace

bool raiseUnlessOpened(fileops::OpenResult result, PendingError& err)
{
    switch (result) {
    case fileops::OpenResult::Opened:
        return true;
    case fileops::OpenResult::NotFound:
        err.raise(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
        break;
    case fileops::OpenResult::NotRegular:
        err.raise(ErrorNumber::PathFileAccess, QStringLiteral("Path/File access error"));
        break;
    case fileops::OpenResult::Denied:
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
        break;
    }
    return false;
}

bool LineReader::open(const QString& path, PendingError& err)
{
    close();
    return raiseUnlessOpened(fileops::openRegularFile(m_file, path), err);
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const QByteArray more = m_file.read(kBlock);
    if (more.isEmpty()) {
        m_eof = true;
        return false;
    }
    m_buffer.append(more);
    return true;
}

bool LineReader::atEnd()
{
    if (!m_file.isOpen())
        return true;
    if (m_pos < m_buffer.size())
        return false;
    return !fill();
}

QByteArray LineReader::readLine()
{
    for (;;) {
        const qsizetype cr = m_buffer.indexOf('\r', m_pos);
        if (cr >= 0) {
            // A CR as the last byte of the buffer may be followed by an LF
            // that is still in the file. fill() moves the buffer, so the CR
            // is looked for again either way.
            if (cr + 1 == m_buffer.size() && !m_eof) {
                fill();
                continue;
            }
            QByteArray line = m_buffer.mid(m_pos, cr - m_pos);
            m_pos = cr + 1;
            if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == '\n')
                ++m_pos;
            return line;
        }
        if (!fill()) {
            QByteArray line = m_buffer.mid(m_pos);
            m_pos = m_buffer.size();
            return line;
        }
    }
}

void LineReader::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_buffer.clear();
    m_pos = 0;
    m_eof = false;
}

bool writeTextFile(const QString& path, const QString& content, PendingError& err)
{
    return writeBytes(path, content, QIODevice::WriteOnly | QIODevice::Truncate, err);
}

bool appendTextFile(const QString& path, const QString& content, PendingError& err)
{
    return writeBytes(path, content, QIODevice::WriteOnly | QIODevice::Append, err);
}

bool saveTextFile(const QString& path, const QString& content, PendingError& err)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        raiseWriteOpenError(path, err);
        return false;
    }
    const QByteArray bytes = text::toCp1252(content);
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Disk full or write error"));
        return false;
    }
    return true;
}
