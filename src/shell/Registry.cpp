#include "shell/Registry.h"

#include "platform/Text.h"

#include <QSettings>
#include <QtEndian>

namespace {

bool isExpandable(const QString& text)
{
    const auto first = text.indexOf(QLatin1Char('%'));
    return first >= 0 && text.indexOf(QLatin1Char('%'), first + 2) >= 0;
}

QByteArray number32(qint32 n)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(n, bytes.data());
    return bytes;
}

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

RegistryData registryDataFor(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString text = value.toString();
        return {isExpandable(text) ? RegistryType::ExpandString : RegistryType::String,
                text::toCp1252(text) + QByteArray(1, '\0')};
    }
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Bool:
        return {RegistryType::Number32, number32(value.toInt())};
    case QMetaType::QByteArray:
        return {RegistryType::Binary, value.toByteArray()};
    default:
        return {};
    }
}

void SetRegistryValue(const QString& application, const QString& section, const QString& valueName,
                      const QVariant& value)
{
    const RegistryData data = registryDataFor(value);
    if (data.type == RegistryType::None)
        return;
    QSettings store(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Quenmark"), application);
    if (!store.isWritable())
        return;
    store.beginGroup(section);
    switch (data.type) {
    case RegistryType::String:
    case RegistryType::ExpandString:
        store.setValue(valueName, value.toString());
        break;
    case RegistryType::Number32:
        store.setValue(valueName, value.toInt());
        break;
    case RegistryType::Binary:
        store.setValue(valueName, data.data);
        break;
    case RegistryType::None:
        break;
    }
    store.endGroup();
    store.sync();
}

void RegisterServerPaths(const QString& programPath)
{
    followXdgConfigDirs();
    const QString application = QStringLiteral("Lorvane-Application");
    const QString section = QStringLiteral("Quirnel-Server");
    SetRegistryValue(application, section, QStringLiteral("Server"), programPath);
    SetRegistryValue(application, section, QStringLiteral("Extension"), QStringLiteral("ZEZAD"));
}
