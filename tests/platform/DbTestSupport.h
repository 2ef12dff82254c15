#pragma once

// A job database in a temporary directory for the store-layer tests.

#include "SchemaSql.h"
#include "platform/PendingError.h"
#include "platform/db/Database.h"
#include "platform/db/Recordset.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

inline QString qs(const char* text) { return QString::fromUtf8(text); }
// A ctest name for a parameter: the letters and digits of its text, then its index.
inline std::string testName(QString text, size_t index)
{
    return text.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]"))).toStdString() + '_' + std::to_string(index);
}

class JobDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString message;
        ASSERT_TRUE(db::createDatabase(path(), schema::jobDatabaseSql(), &message)) << message.toStdString();
        ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    }
    [[nodiscard]] QString path() const { return m_dir.filePath(QStringLiteral("prog.mdb")); }

    // Adds a row through a recordset of its own.
    void addRow(const char* table, std::initializer_list<std::pair<const char*, QVariant>> values)
    {
        db::Recordset rs;
        PendingError e;
        EXPECT_TRUE(database.openRecordset(rs, qs(table), e) && rs.addNew(e)) << e.description.toStdString();
        for (const auto& [name, value] : values)
            EXPECT_TRUE(rs.setField(qs(name), value, e)) << name << ": " << e.description.toStdString();
        EXPECT_TRUE(rs.update(e)) << e.description.toStdString();
    }
    void addJob(const char* job) { addRow("LosNamen", {{"LosName", qs(job)}}); }
    void addBar(const char* job, int bar, const QVariant& id = {})
    {
        addRow("Stabdaten", {{"LosName", qs(job)}, {"StabNr", bar}, {"ID", id}});
    }
    // Rows of a table matching criteria ("" = all), counted by walking.
    int count(const char* table, const char* criteria = "")
    {
        db::Recordset rs;
        PendingError e;
        int n = 0;
        for (bool ok = database.openRecordset(rs, qs(table), qs(criteria), e); ok && !rs.eof(); ++n)
            ok = rs.moveNext(e);
        return e.pending() ? -1 : n;
    }

    QTemporaryDir m_dir;
    PendingError err;
    db::Database database;
};
