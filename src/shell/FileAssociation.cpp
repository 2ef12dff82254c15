#include "shell/FileAssociation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kToolTimeoutMs = 30000;

// A quoted argument of a desktop entry's Exec key: ", `, $ and \ take a
// backslash inside the quotes, "%" is doubled, and the key's string value
// doubles every backslash once more.
QString execArgument(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Writes the file only when its content differs; true when written.
bool writeIfChanged(const QString& path, const QByteArray& content)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return false;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return out.write(content) == content.size() && out.flush();
}

// Runs a cache tool when installed; its output and its failure are no
// concern of the registration.
void runTool(const QString& tool, const QString& dir)
{
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty() || !QFileInfo(dir).isDir())
        return;
    QProcess p;
    p.start(exe, {dir});
    p.waitForFinished(kToolTimeoutMs);
}

} // namespace

QString associationMimeType(const QString& fileType)
{
    return QStringLiteral("application/x-") + fileType.toLower();
}

QString associationDesktopId(const QString& fileType)
{
    return QStringLiteral("serverquirnel-") + fileType.toLower() + QStringLiteral(".desktop");
}

QByteArray associationMimePackage(const QString& fileType)
{
    const QString lower = fileType.toLower();
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"%1\">\n"
                          "    <comment>VOV production-data server configuration</comment>\n"
                          "    <glob pattern=\"*.%2\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n")
        .arg(associationMimeType(fileType), lower)
        .toUtf8();
}

QByteArray associationDesktopEntry(const QString& fileType, const QString& programPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Server VOV - Produktionsdaten\n"
                          "Comment=Production-data server of the VOV machining centre\n"
                          "Exec=%1 %f\n"
                          "MimeType=%2;\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n")
        .arg(execArgument(programPath), associationMimeType(fileType))
        .toUtf8();
}

QByteArray withDefaultApplication(const QByteArray& mimeappsList, const QString& mimeType, const QString& desktopId)
{
    const QByteArray group = "[Default Applications]";
    const QByteArray key = mimeType.toUtf8();
    const QByteArray entry = key + '=' + desktopId.toUtf8();
    QList<QByteArray> lines = mimeappsList.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    qsizetype groupAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed() == group) {
            groupAt = i;
            break;
        }
    }
    if (groupAt < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QByteArray());
        lines.append(group);
        lines.append(entry);
    } else {
        qsizetype end = groupAt + 1;
        bool replaced = false;
        for (; end < lines.size() && !lines.at(end).trimmed().startsWith('['); ++end) {
            const QByteArray line = lines.at(end).trimmed();
            if (line.startsWith(key) && line.mid(key.size()).trimmed().startsWith('=')) {
                lines[end] = entry;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            // After the group's last entry, before blank lines that part it from the next.
            qsizetype at = end;
            while (at > groupAt + 1 && lines.at(at - 1).trimmed().isEmpty())
                --at;
            lines.insert(at, entry);
        }
    }
    return lines.join('\n') + '\n';
}

void RegisterFileAssociation(const QString& fileType, const QString& programPath)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dataHome.isEmpty() || configHome.isEmpty())
        return;
    const QString mimeDir = dataHome + QStringLiteral("/mime");
    const QString appsDir = dataHome + QStringLiteral("/applications");
    const QString package =
        mimeDir + QStringLiteral("/packages/serverquirnel-") + fileType.toLower() + QStringLiteral(".xml");
    const QString desktop = appsDir + QLatin1Char('/') + associationDesktopId(fileType);
    const QString mimeapps = configHome + QStringLiteral("/mimeapps.list");

    const bool mimeChanged = writeIfChanged(package, associationMimePackage(fileType));
    const bool desktopChanged = writeIfChanged(desktop, associationDesktopEntry(fileType, programPath));
    QByteArray list;
    QFile current(mimeapps);
    if (current.open(QIODevice::ReadOnly))
        list = current.readAll();
    current.close();
    writeIfChanged(mimeapps,
                   withDefaultApplication(list, associationMimeType(fileType), associationDesktopId(fileType)));

    // The caches are rebuilt when our files changed or were never indexed.
    if (QFile::exists(package) && (mimeChanged || !QFile::exists(mimeDir + QStringLiteral("/mime.cache"))))
        runTool(QStringLiteral("update-mime-database"), mimeDir);
    if (QFile::exists(desktop) && (desktopChanged || !QFile::exists(appsDir + QStringLiteral("/mimeinfo.cache"))))
        runTool(QStringLiteral("update-desktop-database"), appsDir);
}
