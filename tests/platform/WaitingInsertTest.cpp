// A new row stored and opened for editing in one step waits to be written
// until its edit is stored: the database must see the same rows, in the
// same order, as if it had been written at once.

#include "SchemaSql.h"
#include "TestSupport.h"
#include "platform/db/Criteria.h"
#include "platform/db/Database.h"
#include "platform/db/DbErrors.h"
#include "platform/db/Recordset.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class WaitingInsertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString message;
        ASSERT_TRUE(db::createDatabase(path(), schema::jobDatabaseSql(), &message)) << message.toStdString();
        ASSERT_TRUE(database.open(path(), err));
        db::Recordset jobs;
        ASSERT_TRUE(database.openRecordset(jobs, QStringLiteral("LosNamen"), err) && jobs.addNew(err) &&
                    jobs.setField(QStringLiteral("LosName"), QStringLiteral("J1"), err) && jobs.update(err));
        ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Werkzeugdaten"), err));
    }
    [[nodiscard]] QString path() const { return m_dir.filePath(QStringLiteral("prog.mdb")); }

    // A machining row of piece `piece`, stored and open for editing.
    bool storeRow(const char* job, int piece)
    {
        return rs.addNew(err) && rs.setField(QStringLiteral("LosName"), QString::fromLatin1(job), err) &&
               rs.setField(QStringLiteral("TeileNr"), piece, err) && rs.setField(QStringLiteral("StabNr"), 1, err) &&
               rs.updateAndEdit(err);
    }
    // "piece:number" of every machining row as another program sees them
    // after the commit, in the order they were added.
    std::string committedRows()
    {
        PendingError e;
        EXPECT_TRUE(!database.isOpen() || database.commit(e)) << e.description.toStdString();
        std::string rows;
        for (const QVariantList& row :
             queryRows(path(), QStringLiteral("SELECT TeileNr, BearbNr FROM Werkzeugdaten ORDER BY RowKey")))
            rows += row[0].toString().toStdString() + ':' + row[1].toString().toStdString() + ' ';
        return rows;
    }

    QTemporaryDir m_dir;
    db::Database database;
    db::Recordset rs;
    PendingError err;
};

TEST_F(WaitingInsertTest, TheRowIsCurrentWithItsValuesAndIsWrittenWithItsEdit)
{
    ASSERT_TRUE(storeRow("J1", 7));
    EXPECT_EQ(rs.field(QStringLiteral("TeileNr"), err).toString(), QStringLiteral("7"));
    EXPECT_TRUE(rs.field(QStringLiteral("BearbNr"), err).isNull());
    ASSERT_TRUE(rs.setField(QStringLiteral("BearbNr"), 5, err) && rs.update(err));
    EXPECT_EQ(rs.field(QStringLiteral("BearbNr"), err).toInt(), 5);
    const qint64 key = rs.lastModified();
    ASSERT_TRUE(key > 0 && rs.moveFirst(err) && rs.moveTo(key, err));
    EXPECT_EQ(rs.field(QStringLiteral("BearbNr"), err).toInt(), 5);

    // A row left open is written with what it was stored with.
    ASSERT_TRUE(storeRow("J1", 8) && rs.setField(QStringLiteral("BearbNr"), 6, err));
    EXPECT_EQ(committedRows(), "7:5 8: ");
}

// A statement that may meet the waiting row finds it written, and the
// edit then updates it.
TEST_F(WaitingInsertTest, AnyOtherStatementWritesTheWaitingRowFirst)
{
    db::Recordset other;
    ASSERT_TRUE(database.openRecordset(other, QStringLiteral("Werkzeugdaten"), err));
    ASSERT_TRUE(storeRow("J1", 1));
    ASSERT_TRUE(other.findFirst(db::Criteria(QStringLiteral("TeileNr"), 1), err));
    EXPECT_FALSE(other.noMatch());
    ASSERT_TRUE(rs.setField(QStringLiteral("BearbNr"), 2, err) && rs.update(err));
    ASSERT_TRUE(other.findFirst(db::Criteria(QStringLiteral("TeileNr"), 1), err));
    EXPECT_EQ(other.field(QStringLiteral("BearbNr"), err).toInt(), 2);
    ASSERT_TRUE(storeRow("J1", 3));
    EXPECT_EQ(database.deleteWhere(QStringLiteral("Werkzeugdaten"), db::Criteria(QStringLiteral("TeileNr"), 3), err),
              1);
    // A delete may cascade from any table: the job's row goes, and with it
    // the machining row waiting to be written.
    ASSERT_TRUE(storeRow("J1", 4));
    EXPECT_EQ(database.deleteWhere(QStringLiteral("LosNamen"),
                                   db::Criteria(QStringLiteral("LosName"), QStringLiteral("J1")), err),
              1);
    EXPECT_EQ(committedRows(), "");
}

// A row the database refuses is refused where its edit is stored, or by
// the commit; nothing of it stays.
TEST_F(WaitingInsertTest, ARefusedRowIsReportedAndNothingIsCommitted)
{
    ASSERT_TRUE(storeRow("NOJOB", 1));
    EXPECT_FALSE(rs.setField(QStringLiteral("BearbNr"), 2, err) && rs.update(err));
    EXPECT_EQ(err.number, db::error::RelatedRecordRequired);

    err.clear();
    ASSERT_TRUE(storeRow("NOJOB", 2));
    EXPECT_FALSE(database.commit(err));
    EXPECT_EQ(err.number, db::error::RelatedRecordRequired);
    EXPECT_EQ(committedRows(), "");
}

} // namespace
