#pragma once

// Stand-ins for the clock, the error box and the settings store, for tests,
// benchmarks and the screenshot tool: they keep everything in memory.

#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/SettingsStore.h"

#include <QDateTime>
#include <QMap>
#include <QString>

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at) : m_now(std::move(at)) {}
    [[nodiscard]] QDateTime now() const override { return m_now; }
    void advanceSeconds(qint64 s) { m_now = m_now.addSecs(s); }

private:
    QDateTime m_now;
};

class MemoryErrorBox final : public ErrorBox {
public:
    void setText(const QString& text) override
    {
        m_text = text;
        ++changes;
        history << text;
    }
    void bringToFront() override { ++broughtToFront; }
    [[nodiscard]] QString text() const { return m_text; }
    int changes = 0;
    int broughtToFront = 0;
    QStringList history; // every text, in order

private:
    QString m_text;
};

class MemorySettingsStore final : public SettingsStore {
public:
    void setValue(const QString& key, const QString& value) override { m_values[key] = value; }
    [[nodiscard]] QString value(const QString& key) const override { return m_values.value(key); }

private:
    QMap<QString, QString> m_values;
};
