// The store layer on real SQLite files: the database, rows and their column rules, the writer.

#include "SchemaSql.h"
#include "TestSupport.h"
#include "platform/db/Database.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}

class JobDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString message;
        ASSERT_TRUE(db::createDatabase(path(), schema::jobDatabaseSql(), &message)) << message.toStdString();
        ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    }
    [[nodiscard]] QString path() const { return m_dir.filePath(qs("prog.mdb")); }
    db::Row addRow(const char* table, std::initializer_list<std::pair<const char*, QVariant>> values)
    {
        PendingError e;
        db::Row row = database.newRow(qs(table), e);
        bool ok = !row.isNull();
        for (const auto& [name, value] : values)
            ok = ok && row.set(qs(name), value, e);
        EXPECT_TRUE(ok && database.store(row, e)) << table << ": " << e.description.toStdString();
        return row;
    }
    void addJob(const char* job) { addRow("LosNamen", {{"LosName", qs(job)}}); }
    // Rows of a table matching an SQL condition ("" = all) as another
    // program sees them once the call so far is committed; a new call
    // follows.
    int count(const char* table, const char* where = "")
    {
        PendingError e;
        EXPECT_TRUE(!database.isOpen() || database.commit(e)) << e.description.toStdString();
        const QString condition = *where ? qs(" WHERE ") + qs(where) : QString();
        const int n = queryValue(path(), qs("SELECT count(*) FROM ") + qs(table) + condition).toInt();
        EXPECT_TRUE(database.open(path(), e)) << e.description.toStdString();
        return n;
    }

    QTemporaryDir m_dir;
    PendingError err;
    db::Database database;
};

// A new row's INSERT waits for its next store, a read of its table or any
// other write; a refused row is reported by the call that wrote it, keeps
// its values, and nothing of the call is committed.
TEST_F(JobDbTest, NewRowsGoInWithTheirLastStoreAndRefusalsAreReportedWhereWritten)
{
    addJob("J1");
    db::Row bar = addRow("Stabdaten", {{"LosName", qs("J1")}, {"StabNr", qs("001")}});
    ASSERT_TRUE(bar.set(qs("Farbe"), qs("007"), err) && database.store(bar, err));
    EXPECT_EQ(bar.get(qs("StabNr"), err), QVariant(1)) << "read back from the row, as the column stores it";
    const db::Row found = database.firstRow(qs("Stabdaten"), {{qs("StabNr"), 1}}, err);
    ASSERT_FALSE(found.isNull()) << "written before its table is read";
    EXPECT_EQ(found.get(qs("Farbe"), err).toString(), qs("007"));
    ASSERT_TRUE(bar.set(qs("Farbe"), qs("rot"), err) && database.store(bar, err));
    EXPECT_EQ(count("Stabdaten", "Farbe = 'rot'"), 1) << "a written row's next store updates it";
    ASSERT_TRUE(bar.set(qs("Farbe"), qs("blau"), err) && database.store(bar, err)) << "a row of an earlier opening";
    EXPECT_EQ(count("Stabdaten", "Farbe = 'blau' AND typeof(StabNr) = 'integer'"), 1) << "a number stored as a number";

    db::Row again = database.firstRow(qs("Stabdaten"), {{qs("StabNr"), 1}}, err);
    EXPECT_FALSE(again.set(qs("LosName"), qs("J9"), err) && database.store(again, err));
    EXPECT_EQ(err.number, 3201) << "a refused UPDATE is reported by the store that wrote it";
    err.clear();
    ASSERT_TRUE(again.set(qs("LosName"), qs("J1"), err) && database.store(again, err));
    addRow("Stabdaten", {{"StabNr", 2}});
    EXPECT_FALSE(again.set(qs("Farbe"), qs("gelb"), err) && database.store(again, err)) << "it meets the waiting row";
    EXPECT_FALSE(database.hasRows(qs("Stabdaten"), err));
    EXPECT_TRUE(err.description.startsWith(qs("The field 'Stabdaten.LosName' cannot contain a Null value")));
    err.clear();
    EXPECT_FALSE(database.commit(err)) << "the refused row is tried again: the call never commits without it";
    ASSERT_TRUE(database.open(path(), err));
    addRow("Stabdaten", {{"LosName", qs("J9")}});
    EXPECT_FALSE(database.commit(err));
    EXPECT_EQ(err.description,
              qs("You cannot add or change a record because a related record is required in table 'LosNamen'."));
    ASSERT_TRUE(database.open(path(), err));
    addJob("j1");
    EXPECT_FALSE(database.commit(err));
    EXPECT_EQ(err.number, 3022) << "job names are unique without case";
    ASSERT_TRUE(database.open(path(), err));
    EXPECT_EQ(count("LosNamen") + count("Stabdaten"), 2);

    // A written row that nothing holds any more lends its room to the next
    // new row of its table, which starts empty.
    (void)addRow("Stabdaten", {{"LosName", qs("J1")}, {"StabNr", 5}, {"Farbe", qs("gruen")}});
    ASSERT_TRUE(database.hasRows(qs("Stabdaten"), err));
    const db::Row fresh = addRow("Stabdaten", {{"LosName", qs("J1")}, {"StabNr", 6}});
    EXPECT_TRUE(fresh.get(qs("Farbe"), err).isNull());
    EXPECT_EQ(count("Stabdaten", "StabNr = 6 AND Farbe IS NULL"), 1);
}

const QString TooLong = qs("The field is too small to accept the amount of data you attempted to add. "
                           "Try inserting or pasting less data.");

// A value set into a column of Stabdaten is stored as the engine would store
// it, or refused with the engine's error number and words.
TEST_F(JobDbTest, FieldsStoreLikeTheEngineOrRaise)
{
    const struct {
        const char* column;
        QVariant value;
        int error;         // 0: accepted
        QVariant readBack; // stored: value and type that get() returns; refused: the description
    } cases[] = {
        {"StabNr", QByteArray(" 0042 "), 0, 42},
        {"StabNr", qs("12a"), 3421, qs("Data type conversion error.")},
        {"Rohlaenge", QDate(2026, 12, 5), 3421, qs("Data type conversion error.")},
        {"Freigabe", 5, 3421, qs("Data type conversion error.")},
        {"Rohlaenge", qs("1234.5"), 0, 1234.5},
        {"ResteTeileNr", 1234.5, 0, qs("1234.5")},
        // integers round half to even and stay in range
        {"StabNr", 12.5, 0, 12},
        {"StabNr", qs("13.5"), 0, 14},
        {"StabNr", true, 0, -1},
        {"LoadID", qs("32768"), 6, qs("Overflow")},
        {"Laufbahn", qs("123456"), 3163, TooLong},
        {"farbe", QByteArray("\xdf"), 0, qs("ß")},
        {"Freigabe", QDateTime(QDate(2026, 12, 5), QTime(10, 30)), 0, QDateTime(QDate(2026, 12, 5), QTime(10, 30))},
        {"Gibtsnicht", 1, 3265, qs("Item not found in this collection.")},
    };
    addJob("J");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " <- " + c.value.toString().toStdString());
        ASSERT_GE(database.deleteWhere(qs("Stabdaten"), {}, err), 0) << err.description.toStdString();
        PendingError e;
        db::Row row = database.newRow(qs("Stabdaten"), err);
        ASSERT_TRUE(row.set(qs("LosName"), qs("J"), err));
        EXPECT_EQ(row.set(qs(c.column), c.value, e), c.error == 0);
        EXPECT_EQ(e.number, c.error) << e.description.toStdString();
        if (c.error != 0) {
            EXPECT_EQ(e.description, c.readBack.toString());
            continue;
        }
        ASSERT_TRUE(database.store(row, err)) << err.description.toStdString();
        const QVariant read =
            database.firstRow(qs("Stabdaten"), {{qs("LosName"), qs("J")}}, err).get(qs(c.column), err);
        EXPECT_EQ(row.get(qs(c.column), err), read) << "the row in memory reads as the database does";
        EXPECT_EQ(read.typeId(), c.readBack.typeId()) << read.typeName();
        EXPECT_EQ(read, c.readBack) << err.description.toStdString();
    }
}

} // namespace
