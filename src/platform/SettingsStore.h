#pragma once

#include <QString>

#include <map>

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

// In-memory store for tests.
class MemorySettingsStore final : public SettingsStore {
public:
    void setValue(const QString& key, const QString& value) override { m_values[key] = value; }
    [[nodiscard]] QString value(const QString& key) const override
    {
        const auto it = m_values.find(key);
        return it == m_values.end() ? QString() : it->second;
    }

private:
    std::map<QString, QString> m_values;
};
