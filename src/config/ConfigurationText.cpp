#include "config/ConfigurationText.h"

#include "platform/FileOps.h"
#include "platform/Text.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kPathFileAccessError = 75;

} // namespace

QStringList configurationLines(const QByteArray& bytes)
{
    static const QByteArray kBom("\xEF\xBB\xBF");
    const bool utf8 = bytes.startsWith(kBom);
    const QByteArray body = utf8 ? bytes.mid(kBom.size()) : bytes;
    const auto decode = [utf8](const QByteArray& line) {
        return utf8 ? QString::fromUtf8(line) : text::fromCp1252(line);
    };

    QStringList lines;
    if (!body.contains('\r')) {
        for (const QByteArray& line : body.split('\n'))
            lines << decode(line);
        return lines;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i) != '\r')
            continue;
        lines << decode(body.mid(start, i - start));
        if (i + 1 < body.size() && body.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < body.size())
        lines << decode(body.mid(start));
    return lines;
}

bool readConfigurationLines(const QString& path, QStringList* lines, PendingError& err)
{
    const QString native = fileops::nativePath(path);
    const QFileInfo info(native);
    if (!info.exists()) {
        err.raise(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
        return false;
    }
    if (info.isDir()) {
        err.raise(kPathFileAccessError, QStringLiteral("Path/File access error"));
        return false;
    }
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly)) {
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
        return false;
    }
    *lines = configurationLines(file.readAll());
    return true;
}
