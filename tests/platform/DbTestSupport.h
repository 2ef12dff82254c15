#pragma once

// A job database in a temporary directory for the store-layer tests.

#include "SchemaSql.h"
#include "platform/PendingError.h"
#include "platform/db/Database.h"
#include "platform/db/Recordset.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

class JobDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QString message;
        ASSERT_TRUE(db::createDatabase(path(), schema::jobDatabaseSql(), &message)) << message.toStdString();
        ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    }

    [[nodiscard]] QString path() const { return m_dir.filePath(QStringLiteral("prog.mdb")); }
    [[nodiscard]] QString dirPath() const { return m_dir.path(); }

    // Adds a row through a recordset of its own; returns its bookmark.
    qint64 addRow(const QString& table, std::initializer_list<std::pair<const char*, QVariant>> values)
    {
        db::Recordset rs;
        PendingError e;
        EXPECT_TRUE(database.openRecordset(rs, table, e)) << e.description.toStdString();
        EXPECT_TRUE(rs.addNew(e));
        for (const auto& [name, value] : values)
            EXPECT_TRUE(rs.setField(QString::fromLatin1(name), value, e)) << name << ": " << e.description.toStdString();
        EXPECT_TRUE(rs.update(e)) << e.description.toStdString();
        return rs.lastModified();
    }
    void addJob(const QString& job) { addRow(QStringLiteral("LosNamen"), {{"LosName", job}}); }
    void addBar(const QString& job, int bar, const QVariant& id = {})
    {
        addRow(QStringLiteral("Stabdaten"), {{"LosName", job}, {"StabNr", bar}, {"ID", id}});
    }
    // Rows of a table matching criteria ("" = all), counted by walking.
    int count(const QString& table, const QString& criteria = QString())
    {
        db::Recordset rs;
        PendingError e;
        if (!database.openRecordset(rs, table, criteria, e))
            return -1;
        int n = 0;
        while (!rs.eof()) {
            ++n;
            if (!rs.moveNext(e))
                return -1;
        }
        return n;
    }

    PendingError err;
    db::Database database;

private:
    QTemporaryDir m_dir;
};
