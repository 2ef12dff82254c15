#include "platform/db/Recordset.h"

#include "DbTestSupport.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

// ---------------------------------------------------------------------------
// Field conversions

struct Conversion {
    const char* table;
    const char* column;
    QVariant value;
    int error;         // 0: accepted
    QVariant readBack; // value and type that field() returns after storing
};

void PrintTo(const Conversion& c, std::ostream* os)
{
    *os << c.table << "." << c.column << " <- " << c.value.toString().toStdString();
}

class FieldConversion : public JobDbTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(FieldConversion, StoresLikeTheEngineOrRaises)
{
    const Conversion& c = GetParam();
    addJob(QStringLiteral("J"));
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QString::fromLatin1(c.table), err));
    ASSERT_TRUE(rs.addNew(err));
    ASSERT_TRUE(rs.setField(QStringLiteral("LosName"), QStringLiteral("J"), err));
    const QString column = QString::fromLatin1(c.column);

    PendingError e;
    EXPECT_EQ(rs.setField(column, c.value, e), c.error == 0);
    EXPECT_EQ(e.number, c.error) << e.description.toStdString();
    if (c.error != 0) {
        if (c.error != 3265) {
            EXPECT_TRUE(rs.field(column, e).isNull()) << "the buffer keeps its previous value";
        }
        return;
    }
    ASSERT_TRUE(rs.update(err)) << err.description.toStdString();
    ASSERT_TRUE(rs.moveTo(rs.lastModified(), err));
    const QVariant read = rs.field(column, err);
    EXPECT_FALSE(err.pending());
    EXPECT_EQ(read.isNull(), c.readBack.isNull());
    if (!c.readBack.isNull()) {
        EXPECT_EQ(read.typeId(), c.readBack.typeId()) << read.typeName();
        EXPECT_EQ(read, c.readBack);
    }
}

const QDateTime Release(QDate(2026, 12, 5), QTime(10, 30, 0));

INSTANTIATE_TEST_SUITE_P(
    Columns, FieldConversion,
    ::testing::Values(
        // numbers as text into numeric columns
        Conversion{"Stabdaten", "StabNr", QStringLiteral("007"), 0, 7},
        Conversion{"Stabdaten", "StabNr", QStringLiteral(" 12 "), 0, 12},
        Conversion{"Stabdaten", "StabNr", QByteArray("0042"), 0, 42},
        Conversion{"Stabdaten", "StabNr", QStringLiteral("12a"), 3421, {}},
        Conversion{"Stabdaten", "StabNr", QStringLiteral(""), 3421, {}},
        Conversion{"Stabdaten", "StabNr", QStringLiteral("1 2"), 3421, {}},
        Conversion{"Stabdaten", "Rohlaenge", QStringLiteral("R"), 3421, {}},
        Conversion{"Stabdaten", "Rohlaenge", QStringLiteral("1234.5"), 0, 1234.5},
        Conversion{"Stabdaten", "Rohlaenge", 0, 0, 0.0},
        // integers round half to even and stay in range
        Conversion{"Stabdaten", "StabNr", 12.5, 0, 12},
        Conversion{"Stabdaten", "StabNr", 13.5, 0, 14},
        Conversion{"Stabdaten", "StabNr", QStringLiteral("-2.5"), 0, -2},
        Conversion{"Stabdaten", "StabNr", true, 0, -1},
        Conversion{"Stabdaten", "LoadID", 32767, 0, 32767},
        Conversion{"Stabdaten", "LoadID", 32768, 6, {}},
        Conversion{"Stabdaten", "LoadID", -32769, 6, {}},
        Conversion{"Stabdaten", "LoadID", QStringLiteral("40000"), 6, {}},
        Conversion{"Stabdaten", "ID", 3.0e9, 6, {}},
        Conversion{"Stabdaten", "ID", qlonglong(2147483647), 0, 2147483647},
        // texts
        Conversion{"Stabdaten", "Laufbahn", QStringLiteral("12345"), 0, QStringLiteral("12345")},
        Conversion{"Stabdaten", "Laufbahn", QStringLiteral("123456"), 3163, {}},
        Conversion{"Stabdaten", "ResteTeileNr", 0, 0, QStringLiteral("0")},
        Conversion{"Stabdaten", "ResteTeileNr", 12.0, 0, QStringLiteral("12")},
        Conversion{"Stabdaten", "ResteTeileNr", 1234.5, 0, QStringLiteral("1234.5")},
        Conversion{"Stabdaten", "ResteTeileNr", QStringLiteral("0012"), 0, QStringLiteral("0012")},
        Conversion{"Stabdaten", "Farbe", QByteArray("wei\xdf"), 0, QString::fromUtf8("weiß")},
        Conversion{"Stabdaten", "farbe", QStringLiteral("rot"), 0, QStringLiteral("rot")},
        Conversion{"Druckdaten", "Etikettendaten", QStringLiteral("007"), 0, QStringLiteral("007")},
        Conversion{"Druckdaten", "Tintendruckdaten", QStringLiteral("1.50"), 0, QStringLiteral("1.50")},
        // Null, dates, missing columns
        Conversion{"Stabdaten", "Farbe", QVariant(), 0, QVariant()},
        Conversion{"Stabdaten", "StabNr", QVariant(), 0, QVariant()},
        Conversion{"Stabdaten", "Freigabe", Release, 0, Release},
        Conversion{"Stabdaten", "Freigabe", QStringLiteral("kein Datum"), 3421, {}},
        Conversion{"Stabdaten", "Gibtsnicht", 1, 3265, {}}));

TEST_F(JobDbTest, ConversionErrorsCarryTheirTexts)
{
    addJob(QStringLiteral("J"));
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(rs.addNew(err));
    struct Case {
        const char* column;
        QVariant value;
        const char* text;
    } cases[] = {
        {"Gibtsnicht", 1, "Item not found in this collection."},
        {"StabNr", QStringLiteral("x"), "Data type conversion error."},
        {"LoadID", 99999, "Overflow"},
        {"Laufbahn", QStringLiteral("zu lang"),
         "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting less "
         "data."},
    };
    for (const Case& c : cases) {
        PendingError e;
        rs.setField(QString::fromLatin1(c.column), c.value, e);
        EXPECT_EQ(e.description, QString::fromLatin1(c.text));
    }
}

TEST_F(JobDbTest, NumbersAreStoredAsNumbersAndTextsAsTexts)
{
    addJob(QStringLiteral("J"));
    addRow(QStringLiteral("Stabdaten"), {{"LosName", QStringLiteral("J")}, {"StabNr", QStringLiteral("007")}});
    addRow(QStringLiteral("Druckdaten"),
           {{"LosName", QStringLiteral("J")}, {"TeileNr", 1}, {"Etikettendaten", QStringLiteral("007")}});
    database.close();
    // What another program reading the file sees.
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw-types"));
        raw.setDatabaseName(path());
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT typeof(StabNr), StabNr FROM Stabdaten")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("integer"));
        EXPECT_EQ(q.value(1).toInt(), 7);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT typeof(Etikettendaten), Etikettendaten FROM Druckdaten")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("text"));
        EXPECT_EQ(q.value(1).toString(), QStringLiteral("007"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw-types"));
}

// ---------------------------------------------------------------------------
// Positioning

TEST_F(JobDbTest, FindFirstMovesToFirstMatchInKeyOrder)
{
    addJob(QStringLiteral("J1"));
    addJob(QStringLiteral("J2"));
    for (int bar : {1, 2, 3})
        addBar(QStringLiteral("J1"), bar);
    for (int bar : {2, 1, 2})
        addBar(QStringLiteral("J2"), bar, bar * 10);

    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(rs.findFirst(QStringLiteral("LosName='J2' and StabNr=002"), err));
    EXPECT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(QStringLiteral("LosName"), err).toString(), QStringLiteral("J2"));
    EXPECT_EQ(rs.field(QStringLiteral("ID"), err).toInt(), 20);
    const qint64 found = rs.field(QStringLiteral("StabNr"), err).toInt();
    EXPECT_EQ(found, 2);

    // No match: flag set, the current row stays.
    ASSERT_TRUE(rs.findFirst(QStringLiteral("LosName='J3'"), err));
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.field(QStringLiteral("LosName"), err).toString(), QStringLiteral("J2"));
    EXPECT_FALSE(err.pending());

    // Job names compare without case, as they always did.
    ASSERT_TRUE(rs.findFirst(QStringLiteral("LosName='j1' and StabNr=3"), err));
    EXPECT_FALSE(rs.noMatch());
}

TEST_F(JobDbTest, WalksAFilteredRecordsetInKeyOrder)
{
    addJob(QStringLiteral("J1"));
    addJob(QStringLiteral("J2"));
    addBar(QStringLiteral("J1"), 1);
    addBar(QStringLiteral("J2"), 9);
    addBar(QStringLiteral("J1"), 2);
    addBar(QStringLiteral("J1"), 3);

    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), QStringLiteral("LosName='J1'"), err));
    EXPECT_FALSE(rs.bof());
    QList<int> bars;
    while (!rs.eof()) {
        bars << rs.field(QStringLiteral("StabNr"), err).toInt();
        ASSERT_TRUE(rs.moveNext(err));
    }
    EXPECT_EQ(bars, QList<int>({1, 2, 3}));
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.bof());

    PendingError e;
    EXPECT_FALSE(rs.moveNext(e));
    EXPECT_EQ(e.number, 3021);
    (void)rs.field(QStringLiteral("StabNr"), e);
    EXPECT_EQ(e.description, QStringLiteral("No current record."));

    ASSERT_TRUE(rs.moveLast(err));
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 3);
    ASSERT_TRUE(rs.moveFirst(err));
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 1);
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, EmptyRecordsetIsBeforeAndAfterAtOnce)
{
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    EXPECT_TRUE(rs.isEmpty());
    for (auto move : {&db::Recordset::moveFirst, &db::Recordset::moveLast, &db::Recordset::moveNext}) {
        PendingError e;
        EXPECT_FALSE((rs.*move)(e));
        EXPECT_EQ(e.number, 3021);
    }
    PendingError e;
    EXPECT_FALSE(rs.edit(e));
    EXPECT_EQ(e.number, 3021);
    EXPECT_FALSE(database.hasRows(QStringLiteral("Stabdaten"), err));
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, AddNewUpdateKeepsTheCurrentRowUntilMovedToLastModified)
{
    addJob(QStringLiteral("J"));
    addBar(QStringLiteral("J"), 1);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(rs.addNew(err));
    EXPECT_TRUE(rs.editing());
    rs.setField(QStringLiteral("LosName"), QStringLiteral("J"), err);
    rs.setField(QStringLiteral("StabNr"), QStringLiteral("002"), err);
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 2) << "reads from the buffer";
    EXPECT_TRUE(rs.field(QStringLiteral("Farbe"), err).isNull());
    ASSERT_TRUE(rs.update(err));
    EXPECT_FALSE(rs.editing());
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 1) << "the row current before stays current";

    const qint64 added = rs.lastModified();
    EXPECT_GT(added, 0);
    ASSERT_TRUE(rs.moveTo(added, err));
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 2);
    ASSERT_TRUE(rs.edit(err));
    rs.setField(QStringLiteral("Farbe"), QStringLiteral("weiss"), err);
    ASSERT_TRUE(rs.update(err));
    EXPECT_EQ(rs.lastModified(), added);
    EXPECT_EQ(rs.field(QStringLiteral("Farbe"), err).toString(), QStringLiteral("weiss"));
    EXPECT_FALSE(err.pending());

    PendingError e;
    EXPECT_FALSE(rs.moveTo(added + 100, e));
    EXPECT_EQ(e.number, 3159);
}

TEST_F(JobDbTest, EditBufferIsDroppedByMovesAndUpdateNeedsABuffer)
{
    addJob(QStringLiteral("J"));
    addBar(QStringLiteral("J"), 1);
    addBar(QStringLiteral("J"), 2);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(rs.edit(err));
    rs.setField(QStringLiteral("Farbe"), QStringLiteral("rot"), err);
    ASSERT_TRUE(rs.moveNext(err));
    EXPECT_FALSE(rs.editing());
    PendingError e;
    EXPECT_FALSE(rs.update(e));
    EXPECT_EQ(e.number, 3020);
    EXPECT_EQ(e.description, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    e.clear();
    EXPECT_FALSE(rs.setField(QStringLiteral("Farbe"), QStringLiteral("rot"), e));
    EXPECT_EQ(e.number, 3020);
    EXPECT_EQ(count(QStringLiteral("Stabdaten"), QStringLiteral("Farbe='rot'")), 0);

    // findFirst and cancelUpdate drop it as well.
    ASSERT_TRUE(rs.edit(err));
    rs.setField(QStringLiteral("Farbe"), QStringLiteral("blau"), err);
    rs.cancelUpdate();
    EXPECT_FALSE(rs.editing());
    ASSERT_TRUE(rs.edit(err));
    rs.setField(QStringLiteral("Farbe"), QStringLiteral("blau"), err);
    ASSERT_TRUE(rs.findFirst(QStringLiteral("StabNr=1"), err));
    EXPECT_FALSE(rs.editing());
    EXPECT_EQ(count(QStringLiteral("Stabdaten"), QStringLiteral("Farbe='blau'")), 0);
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, UpdateOfAnEditWritesOnlyTheColumnsSet)
{
    addJob(QStringLiteral("J"));
    addBar(QStringLiteral("J"), 1);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(rs.edit(err));
    rs.setField(QStringLiteral("Farbe"), QStringLiteral("rot"), err);
    // Another statement changes a different column of the same row.
    EXPECT_EQ(database.updateWhere(QStringLiteral("Stabdaten"), QStringLiteral("Laufbahn"), QStringLiteral("L"),
                                   QStringLiteral("LosName='J'"), err),
              1);
    ASSERT_TRUE(rs.update(err));
    EXPECT_EQ(rs.field(QStringLiteral("Farbe"), err).toString(), QStringLiteral("rot"));
    EXPECT_EQ(rs.field(QStringLiteral("Laufbahn"), err).toString(), QStringLiteral("L"));
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, ValuesReadStayCurrentWhenAnotherRecordsetStoresTheRow)
{
    addJob(QStringLiteral("J"));
    addRow(QStringLiteral("Stabdaten"), {{"LosName", QStringLiteral("J")}, {"StabNr", 1}, {"Farbe", QStringLiteral("rot")}});
    db::Recordset reader;
    db::Recordset writer;
    ASSERT_TRUE(database.openRecordset(reader, QStringLiteral("Stabdaten"), err));
    ASSERT_TRUE(database.openRecordset(writer, QStringLiteral("Stabdaten"), QStringLiteral("StabNr=1"), err));
    EXPECT_EQ(reader.field(QStringLiteral("Farbe"), err).toString(), QStringLiteral("rot"));
    ASSERT_TRUE(writer.edit(err));
    writer.setField(QStringLiteral("Farbe"), QStringLiteral("blau"), err);
    EXPECT_EQ(reader.field(QStringLiteral("Farbe"), err).toString(), QStringLiteral("rot")) << "not stored yet";
    ASSERT_TRUE(writer.update(err));
    EXPECT_EQ(reader.field(QStringLiteral("Farbe"), err).toString(), QStringLiteral("blau"));
    // The job row goes, and with it the bar: the reader's row is gone.
    EXPECT_EQ(database.deleteWhere(QStringLiteral("LosNamen"), QStringLiteral("LosName='J'"), err), 1);
    PendingError e;
    (void)reader.field(QStringLiteral("Farbe"), e);
    EXPECT_EQ(e.number, 3167);
    e.clear();
    ASSERT_TRUE(writer.edit(e)) << "the engine finds out at the store";
    writer.setField(QStringLiteral("Farbe"), QStringLiteral("gelb"), e);
    EXPECT_FALSE(writer.update(e));
    EXPECT_EQ(e.number, 3167);
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, RemovedRowStaysCurrentUntilTheNextMove)
{
    addJob(QStringLiteral("J"));
    for (int bar = 1; bar <= 5; ++bar)
        addBar(QStringLiteral("J"), bar);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    // The walk the print-data clean-up does: Edit, Delete, MoveNext; here
    // for the even bars only.
    while (!rs.eof()) {
        if (rs.field(QStringLiteral("StabNr"), err).toInt() % 2 == 0) {
            ASSERT_TRUE(rs.edit(err));
            ASSERT_TRUE(rs.remove(err));
            PendingError e;
            (void)rs.field(QStringLiteral("StabNr"), e);
            EXPECT_EQ(e.number, 3167);
            EXPECT_EQ(e.description, QStringLiteral("Record is deleted."));
            e.clear();
            EXPECT_FALSE(rs.remove(e));
            EXPECT_EQ(e.number, 3167);
        }
        ASSERT_TRUE(rs.moveNext(err));
    }
    EXPECT_EQ(count(QStringLiteral("Stabdaten")), 3);
    EXPECT_EQ(count(QStringLiteral("Stabdaten"), QStringLiteral("StabNr=2")), 0);
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, RowDeletedBehindTheRecordsetReadsAsDeleted)
{
    addJob(QStringLiteral("J"));
    addBar(QStringLiteral("J"), 1);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    EXPECT_EQ(rs.field(QStringLiteral("StabNr"), err).toInt(), 1);
    EXPECT_EQ(database.deleteWhere(QStringLiteral("Stabdaten"), QStringLiteral("StabNr=1"), err), 1);
    PendingError e;
    (void)rs.field(QStringLiteral("StabNr"), e);
    EXPECT_EQ(e.number, 3167);
}

TEST_F(JobDbTest, FieldNamesAreTheTableColumnsWithoutTheKey)
{
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("losnamen"), err));
    EXPECT_EQ(rs.table(), QStringLiteral("LosNamen"));
    EXPECT_EQ(rs.fieldNames(), QStringList({"LosName", "Freigabe", "ID"}));
    EXPECT_EQ(database.columnNames(QStringLiteral("LosNamen"), err), rs.fieldNames());
    EXPECT_TRUE(rs.hasField(QStringLiteral("freigabe")));
    EXPECT_FALSE(rs.hasField(QStringLiteral("RowKey")));
    EXPECT_FALSE(err.pending());
}

TEST_F(JobDbTest, RecordsetsOfAClosedDatabaseAreUnusable)
{
    addJob(QStringLiteral("J"));
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("LosNamen"), err));
    database.close();
    EXPECT_FALSE(rs.isOpen());
    PendingError e;
    EXPECT_FALSE(rs.moveFirst(e));
    EXPECT_EQ(e.number, 3420);
    e.clear();
    (void)rs.field(QStringLiteral("LosName"), e);
    EXPECT_EQ(e.number, 3420);
}

} // namespace
