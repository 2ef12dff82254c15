#include "platform/db/Recordset.h"

#include "DbTestSupport.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

struct Conversion {
    const char* column; // of Stabdaten
    QVariant value;
    int error;         // 0: accepted
    QVariant readBack; // stored: value and type that field() returns; refused: the description
};

void PrintTo(const Conversion& c, std::ostream* os) { *os << c.column << " <- " << c.value.toString().toStdString(); }

class FieldConversion : public JobDbTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(FieldConversion, StoresLikeTheEngineOrRaises)
{
    const Conversion& c = GetParam();
    addJob("J");
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err) && rs.addNew(err));
    ASSERT_TRUE(rs.setField(qs("LosName"), qs("J"), err));
    const QString column = qs(c.column);
    PendingError e;
    EXPECT_EQ(rs.setField(column, c.value, e), c.error == 0);
    EXPECT_EQ(e.number, c.error) << e.description.toStdString();
    if (c.error != 0) {
        EXPECT_EQ(e.description, c.readBack.toString());
        return;
    }
    ASSERT_TRUE(rs.update(err) && rs.moveTo(rs.lastModified(), err)) << err.description.toStdString();
    const QVariant read = rs.field(column, err);
    EXPECT_EQ(read.typeId(), c.readBack.typeId()) << read.typeName();
    EXPECT_EQ(read, c.readBack) << err.description.toStdString();
}

const QDateTime Release(QDate(2026, 12, 5), QTime(10, 30, 0));
const QString TooLong = qs("The field is too small to accept the amount of data you attempted to add. "
                           "Try inserting or pasting less data.");
const QString Mismatch = qs("Data type conversion error.");

INSTANTIATE_TEST_SUITE_P(
    Columns, FieldConversion,
    ::testing::Values(
        Conversion{"StabNr", qs("007"), 0, 7}, Conversion{"StabNr", QByteArray(" 0042 "), 0, 42},
        Conversion{"StabNr", qs("12a"), 3421, Mismatch}, Conversion{"StabNr", qs(""), 3421, Mismatch},
        Conversion{"Rohlaenge", qs("1234.5"), 0, 1234.5}, Conversion{"Freigabe", qs("kein Datum"), 3421, Mismatch},
        // integers round half to even and stay in range
        Conversion{"StabNr", 12.5, 0, 12}, Conversion{"StabNr", qs("13.5"), 0, 14}, Conversion{"StabNr", true, 0, -1},
        Conversion{"LoadID", 32767, 0, 32767}, Conversion{"LoadID", qs("32768"), 6, qs("Overflow")},
        Conversion{"ID", 3.0e9, 6, qs("Overflow")}, Conversion{"Laufbahn", qs("12345"), 0, qs("12345")},
        Conversion{"Laufbahn", qs("123456"), 3163, TooLong}, Conversion{"ResteTeileNr", 1234.5, 0, qs("1234.5")},
        Conversion{"ResteTeileNr", qs("0012"), 0, qs("0012")}, Conversion{"farbe", QByteArray("\xdf"), 0, qs("ß")},
        Conversion{"Farbe", {}, 0, {}}, Conversion{"StabNr", {}, 0, {}}, Conversion{"Freigabe", Release, 0, Release},
        Conversion{"Gibtsnicht", 1, 3265, qs("Item not found in this collection.")}),
    [](const auto& i) { return testName(qs(i.param.column) + i.param.value.toString(), i.index); });

TEST_F(JobDbTest, NumbersAreStoredAsNumbersAndTextsAsTexts)
{
    addJob("J");
    addRow("Stabdaten", {{"LosName", qs("J")}, {"StabNr", qs("007")}});
    addRow("Druckdaten", {{"LosName", qs("J")}, {"TeileNr", 1}, {"Etikettendaten", qs("007")}});
    database.close();
    { // what another program reading the file sees
        QSqlDatabase raw = QSqlDatabase::addDatabase(qs("QSQLITE"), qs("raw-types"));
        raw.setDatabaseName(path());
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(qs("SELECT typeof(StabNr) || StabNr || ' ' || (SELECT typeof(Etikettendaten) || "
                              "Etikettendaten FROM Druckdaten) FROM Stabdaten")) && q.next());
        EXPECT_EQ(q.value(0).toString(), qs("integer7 text007"));
    }
    QSqlDatabase::removeDatabase(qs("raw-types"));
}

TEST_F(JobDbTest, FindFirstAndWalkGoInKeyOrder)
{
    addJob("J1");
    addJob("J2");
    for (int bar : {1, 2, 3})
        addBar("J1", bar);
    for (int bar : {2, 1, 2})
        addBar("J2", bar, bar * 10);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err));
    ASSERT_TRUE(rs.findFirst(qs("LosName='J2' and StabNr=002"), err) && !rs.noMatch());
    EXPECT_EQ(rs.field(qs("ID"), err).toInt(), 20);
    ASSERT_TRUE(rs.findFirst(qs("LosName='J3'"), err));
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.field(qs("ID"), err).toInt(), 20) << "no match: the current row stays";
    EXPECT_TRUE(rs.findFirst(qs("LosName='j1' and StabNr=3"), err) && !rs.noMatch()) << "names compare without case";

    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), qs("LosName='J1'"), err));
    QList<int> bars;
    for (; !rs.eof(); rs.moveNext(err))
        bars << rs.field(qs("StabNr"), err).toInt();
    EXPECT_EQ(bars, QList<int>({1, 2, 3}));
    EXPECT_FALSE(rs.moveNext(err));
    EXPECT_EQ(err.number, 3021);
    (void)rs.field(qs("StabNr"), err);
    EXPECT_EQ(err.description, qs("No current record."));

    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), qs("LosName='J3'"), err));
    EXPECT_TRUE(rs.isEmpty());
    EXPECT_FALSE(rs.moveFirst(err) || rs.moveLast(err) || rs.edit(err));
    EXPECT_EQ(err.number, 3021);
}

TEST_F(JobDbTest, AddNewUpdateKeepsTheCurrentRowUntilMovedToLastModified)
{
    addJob("J");
    addBar("J", 1);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err) && rs.addNew(err));
    rs.setField(qs("LosName"), qs("J"), err);
    rs.setField(qs("StabNr"), qs("002"), err);
    EXPECT_EQ(rs.field(qs("StabNr"), err).toInt(), 2) << "reads from the buffer";
    ASSERT_TRUE(rs.update(err));
    EXPECT_EQ(rs.field(qs("StabNr"), err).toInt(), 1) << "the row current before stays current";

    const qint64 added = rs.lastModified();
    ASSERT_TRUE(rs.moveTo(added, err));
    EXPECT_EQ(rs.field(qs("StabNr"), err).toInt(), 2);
    ASSERT_TRUE(rs.edit(err));
    rs.setField(qs("Farbe"), qs("weiss"), err);
    ASSERT_TRUE(rs.update(err));
    EXPECT_EQ(rs.lastModified(), added);
    EXPECT_EQ(count("Stabdaten", "StabNr=2 and Farbe='weiss'"), 1);
    ASSERT_TRUE(rs.edit(err));
    rs.setField(qs("Farbe"), qs("rot"), err);
    ASSERT_TRUE(rs.findFirst(qs("StabNr=1"), err)) << "a move drops the unsaved buffer";
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.description, qs("Update or CancelUpdate without AddNew or Edit."));
    EXPECT_EQ(count("Stabdaten", "Farbe='rot'"), 0);
    database.close();
    EXPECT_FALSE(rs.isOpen() || rs.moveFirst(err));
    EXPECT_EQ(err.number, 3420) << "recordsets of a closed database are unusable";
}

// The walk of the print-data clean-up: Edit, Delete, MoveNext.
TEST_F(JobDbTest, RemovedRowStaysCurrentUntilTheNextMove)
{
    addJob("J");
    for (int bar = 1; bar <= 5; ++bar)
        addBar("J", bar);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err));
    while (!rs.eof()) {
        if (rs.field(qs("StabNr"), err).toInt() % 2 == 0) {
            ASSERT_TRUE(rs.edit(err) && rs.remove(err));
            PendingError e;
            (void)rs.field(qs("StabNr"), e);
            EXPECT_EQ(e.description, qs("Record is deleted."));
        }
        ASSERT_TRUE(rs.moveNext(err));
    }
    EXPECT_EQ(count("Stabdaten"), 3);

    ASSERT_TRUE(rs.moveFirst(err));
    EXPECT_EQ(database.deleteWhere(qs("Stabdaten"), qs("StabNr=1"), err), 1);
    (void)rs.field(qs("StabNr"), err);
    EXPECT_EQ(err.number, 3167) << "a row deleted behind the recordset";
}

} // namespace
