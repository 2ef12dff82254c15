#include "shell/Registry.h"

#include <QSettings>

namespace {

// The machine-wide store follows XDG_CONFIG_DIRS when it is set, as the
// freedesktop tools that read it do.
void followXdgConfigDirs()
{
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QString first = dirs.section(QLatin1Char(':'), 0, 0);
    if (!first.isEmpty())
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, first);
}

} // namespace

void RegisterServerPaths(const QString& programPath)
{
    followXdgConfigDirs();
    QSettings store(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Quenmark"),
                    QStringLiteral("Lorvane-Application"));
    if (!store.isWritable())
        return;
    store.beginGroup(QStringLiteral("Quirnel-Server"));
    store.setValue(QStringLiteral("Server"), programPath);
    store.setValue(QStringLiteral("Extension"), QStringLiteral("ZEZAD"));
    store.endGroup();
    store.sync();
}
