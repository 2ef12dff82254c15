#include "platform/SettingsStore.h"

#include <QSettings>

namespace {
const QString kOrganisation = QStringLiteral("Lorvane-Application");
const QString kGroup = QStringLiteral("Settings");
} // namespace

QtSettingsStore::QtSettingsStore(QString applicationTitle) : m_application(std::move(applicationTitle)) {}

void QtSettingsStore::setValue(const QString& key, const QString& value)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, m_application);
    s.beginGroup(kGroup);
    s.setValue(key, value);
    s.endGroup();
    s.sync();
}

QString QtSettingsStore::value(const QString& key) const
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, m_application);
    s.beginGroup(kGroup);
    return s.value(key).toString();
}
