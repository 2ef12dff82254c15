#pragma once

#include <QString>

// The per-user settings store that other programs of the plant read
// ("ProdServerAktiv", "ProdServerPfad").
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual void setValue(const QString& key, const QString& value) = 0;
    [[nodiscard]] virtual QString value(const QString& key) const = 0;
};

// QSettings under organisation "Lorvane-Application", application
// "Server " + program title, group "Settings". On Linux this is
// $XDG_CONFIG_HOME/Lorvane-Application/<application>.conf.
class QtSettingsStore final : public SettingsStore {
public:
    explicit QtSettingsStore(QString applicationTitle);
    void setValue(const QString& key, const QString& value) override;
    [[nodiscard]] QString value(const QString& key) const override;

private:
    QString m_application;
};
