#pragma once

#include <QHash>
#include <QString>

// A list of "#key,value;" entries as the job state has always kept them
// (appended in order, duplicates allowed, the first entry of a key wins),
// with an index so that a lookup costs the same at the end of a large job
// as at its start.
class KeyedList {
public:
    void append(const QString& key, const QString& value)
    {
        m_text += QLatin1Char('#') + key + QLatin1Char(',') + value + QLatin1Char(';');
        if (!m_first.contains(key))
            m_first.insert(key, value);
    }
    // The value of the first entry with this key; found is false when none.
    [[nodiscard]] QString find(const QString& key, bool* found) const
    {
        const auto it = m_first.constFind(key);
        *found = it != m_first.constEnd();
        return *found ? *it : QString();
    }
    [[nodiscard]] bool isEmpty() const { return m_text.isEmpty(); }
    // The list as text, for reports and tests: "#2,0005;#3,0007;".
    [[nodiscard]] const QString& text() const { return m_text; }
    void clear()
    {
        m_text.clear();
        m_first.clear();
    }

private:
    QString m_text;
    QHash<QString, QString> m_first;
};
