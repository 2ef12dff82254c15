// The store layer on real SQLite files: the database, its recordsets and the criteria strings.

#include "SchemaSql.h"
#include "TestSupport.h"
#include "platform/db/Criteria.h"
#include "platform/db/Database.h"
#include "platform/db/Recordset.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}
// A ctest name for a parameter: the letters and digits of its text, then its index.
std::string testName(QString text, size_t index)
{
    return text.remove(QRegularExpression(qs("[^A-Za-z0-9]"))).toStdString() + '_' + std::to_string(index);
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
    void addRow(const char* table, std::initializer_list<std::pair<const char*, QVariant>> values)
    {
        db::Recordset rs;
        PendingError e;
        bool ok = database.openRecordset(rs, qs(table), e) && rs.addNew(e);
        for (const auto& [name, value] : values)
            ok = ok && rs.setField(qs(name), value, e);
        EXPECT_TRUE(ok && rs.update(e)) << table << ": " << e.description.toStdString();
    }
    void addJob(const char* job) { addRow("LosNamen", {{"LosName", qs(job)}}); }
    void addBar(const char* job, int bar, const QVariant& id = {})
    {
        addRow("Stabdaten", {{"LosName", qs(job)}, {"StabNr", bar}, {"ID", id}});
    }
    // Rows of a table matching an SQL condition ("" = all) as another
    // program sees them once the call so far is committed; a new call
    // follows.
    int count(const char* table, const char* where = "")
    {
        PendingError e;
        EXPECT_TRUE(!database.isOpen() || database.commit(e)) << e.description.toStdString();
        int n = -1;
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(qs("QSQLITE"), qs("raw-count"));
            raw.setDatabaseName(path());
            QSqlQuery q(raw);
            const QString condition = *where ? qs(" WHERE ") + qs(where) : QString();
            if (raw.open() && q.exec(qs("SELECT count(*) FROM ") + qs(table) + condition) && q.next())
                n = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(qs("raw-count"));
        EXPECT_TRUE(database.open(path(), e)) << e.description.toStdString();
        return n;
    }

    QTemporaryDir m_dir;
    PendingError err;
    db::Database database;
};

TEST_F(JobDbTest, CreateRefusesAnExistingFileAndOpenNeverCreates)
{
    database.close();
    const QByteArray before = readFileBytes(path());
    QString message;
    EXPECT_FALSE(db::createDatabase(path(), schema::jobDatabaseSql(), &message));
    EXPECT_TRUE(message.contains(path()) && message.contains(qs("exists"))) << message.toStdString();
    EXPECT_EQ(readFileBytes(path()), before);

    const QString other = path() + qs(".neu");
    EXPECT_FALSE(db::createDatabase(other, qs("CREATE TABLE a (x INTEGER); CREATE TABL b"), &message));
    EXPECT_FALSE(database.open(other, err));
    EXPECT_EQ(err.description, qs("Could not find file '%1'.").arg(other));
    EXPECT_FALSE(QFile::exists(other)) << "neither a failed creation nor opening leaves a file";
}

TEST_F(JobDbTest, ALockedDatabaseFailsWithinTheTimeoutAndOpensOnceFree)
{
    addJob("J"); // `database` holds its call's write transaction.
    db::Database second;
    second.setBusyTimeout(300);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(second.open(path(), err));
    EXPECT_EQ(err.number, 3218);
    EXPECT_EQ(err.description, qs("Could not update; currently locked."));
    EXPECT_FALSE(second.isOpen()) << "a refused open leaves nothing open";
    EXPECT_LT(timer.elapsed(), 3000);
    ASSERT_TRUE(database.commit(err));
    err.clear();
    EXPECT_TRUE(second.open(path(), err) && second.hasRows(qs("LosNamen"), err)) << err.description.toStdString();
}

// Only what a call committed stays: close, the destructor or a killed process leave none of the call's rows.
TEST_F(JobDbTest, OnlyCommittedCallsLeaveRows)
{
    addJob("kept");
    EXPECT_TRUE(database.commit(err));
    ASSERT_TRUE(database.open(path(), err));
    addJob("dropped");
    database.close();
    {
        db::Database destroyed;
        ASSERT_TRUE(destroyed.open(path(), err));
        db::Recordset rs;
        ASSERT_TRUE(destroyed.openRecordset(rs, qs("LosNamen"), err));
        rs.addNew(err);
        rs.setField(qs("LosName"), qs("destroyed"), err);
        ASSERT_TRUE(rs.update(err));
    }
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) { // an import that dies in the middle of its call
        db::Database d;
        db::Recordset rs;
        PendingError e;
        bool ok = d.open(path(), e) && d.openRecordset(rs, qs("LosNamen"), e);
        for (int i = 0; ok && i < 200; ++i)
            ok = rs.addNew(e) && rs.setField(qs("LosName"), qs("child%1").arg(i), e) && rs.update(e);
        if (ok)
            kill(getpid(), SIGKILL);
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
    ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    EXPECT_EQ(count("LosNamen"), 1);
    EXPECT_EQ(count("LosNamen", "LosName = 'kept'"), 1);
    addJob("after"); // the file is writable again
}

TEST_F(JobDbTest, DeleteAndUpdateWhereCountRowsAndDeletingAJobCascadesButNotToPrintData)
{
    for (const char* job : {"J1", "J2"}) {
        addJob(job);
        addBar(job, 1);
        addBar(job, 2);
        addRow("Teiledaten", {{"LosName", qs(job)}, {"TeileNr", 1}, {"StabNr", 1}});
        addRow("Werkzeugdaten", {{"LosName", qs(job)}, {"TeileNr", 1}, {"BearbNr", 3}});
        addRow("Druckdaten", {{"LosName", qs(job)}, {"TeileNr", 1}});
    }
    EXPECT_EQ(database.updateWhere(qs("Stabdaten"), qs("Farbe"), qs("rot"), db::Criteria(qs("StabNr"), 2), err), 2);
    EXPECT_EQ(database.deleteWhere(qs("Stabdaten"), db::Criteria(qs("LosName"), qs("J2")).and_(qs("StabNr"), 2), err),
              1);
    EXPECT_EQ(count("Stabdaten", "Farbe = 'rot'"), 1);
    EXPECT_EQ(database.deleteWhere(qs("Nix"), db::Criteria(), err), -1);
    EXPECT_EQ(err.description, qs("Cannot find the input table or query 'Nix'."));
    db::Recordset jobs;
    ASSERT_TRUE(database.openRecordset(jobs, qs("LosNamen"), qs("LosName='J1'"), err) && jobs.remove(err));
    for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"})
        EXPECT_EQ(count(table), 1) << table; // J2's
    EXPECT_EQ(count("Druckdaten"), 2);
}

TEST_F(JobDbTest, ConstraintViolationsHaveTheirNumbersAndKeepTheBuffer)
{
    addJob("J1");
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err) && rs.addNew(err));
    EXPECT_FALSE(rs.update(err));
    EXPECT_TRUE(err.description.startsWith(qs("The field 'Stabdaten.LosName' cannot contain a Null value")));
    rs.setField(qs("LosName"), qs("J9"), err);
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.description,
              qs("You cannot add or change a record because a related record is required in table 'LosNamen'."));
    rs.setField(qs("LosName"), qs("J1"), err);
    EXPECT_TRUE(rs.update(err)) << "the buffer stayed open";
    ASSERT_TRUE(database.openRecordset(rs, qs("LosNamen"), err) && rs.addNew(err));
    rs.setField(qs("LosName"), qs("j1"), err);
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.number, 3022) << "job names are unique without case";
    EXPECT_EQ(count("LosNamen") + count("Stabdaten"), 2);
}

struct Conversion {
    const char* column; // of Stabdaten
    QVariant value;
    int error;         // 0: accepted
    QVariant readBack; // stored: value and type that field() returns; refused: the description
};

void PrintTo(const Conversion& c, std::ostream* os)
{
    *os << c.column << " <- " << c.value.toString().toStdString();
}

class FieldConversion : public JobDbTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(FieldConversion, StoresLikeTheEngineOrRaises)
{
    const Conversion& c = GetParam();
    addJob("J");
    db::Recordset rs;
    PendingError e;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err) && rs.addNew(err));
    ASSERT_TRUE(rs.setField(qs("LosName"), qs("J"), err));
    EXPECT_EQ(rs.setField(qs(c.column), c.value, e), c.error == 0);
    EXPECT_EQ(e.number, c.error) << e.description.toStdString();
    if (c.error != 0) {
        EXPECT_EQ(e.description, c.readBack.toString());
        return;
    }
    ASSERT_TRUE(rs.update(err) && rs.moveTo(rs.lastModified(), err)) << err.description.toStdString();
    const QVariant read = rs.field(qs(c.column), err);
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
        Conversion{"StabNr", QByteArray(" 0042 "), 0, 42}, Conversion{"StabNr", qs("12a"), 3421, Mismatch},
        Conversion{"StabNr", qs(""), 3421, Mismatch}, Conversion{"Freigabe", qs("kein Datum"), 3421, Mismatch},
        Conversion{"Rohlaenge", qs("1234.5"), 0, 1234.5}, Conversion{"ResteTeileNr", 1234.5, 0, qs("1234.5")},
        // integers round half to even and stay in range
        Conversion{"StabNr", 12.5, 0, 12}, Conversion{"StabNr", qs("13.5"), 0, 14}, Conversion{"StabNr", true, 0, -1},
        Conversion{"LoadID", qs("32768"), 6, qs("Overflow")}, Conversion{"ID", 3.0e9, 6, qs("Overflow")},
        Conversion{"Laufbahn", qs("123456"), 3163, TooLong}, Conversion{"farbe", QByteArray("\xdf"), 0, qs("ß")},
        Conversion{"StabNr", {}, 0, {}}, Conversion{"Freigabe", Release, 0, Release},
        Conversion{"Gibtsnicht", 1, 3265, qs("Item not found in this collection.")}),
    [](const auto& i) { return testName(qs(i.param.column) + i.param.value.toString(), i.index); });

TEST_F(JobDbTest, NumbersAreStoredAsNumbersAndTextsAsTexts)
{
    addJob("J");
    addRow("Stabdaten", {{"LosName", qs("J")}, {"StabNr", qs("007")}, {"Farbe", qs("007")}});
    ASSERT_TRUE(database.commit(err));
    { // what another program reading the file sees
        QSqlDatabase raw = QSqlDatabase::addDatabase(qs("QSQLITE"), qs("raw-types"));
        raw.setDatabaseName(path());
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(qs("SELECT typeof(StabNr) || StabNr || ' ' || typeof(Farbe) || Farbe FROM Stabdaten")));
        EXPECT_TRUE(q.next() && q.value(0).toString() == qs("integer7 text007"));
    }
    QSqlDatabase::removeDatabase(qs("raw-types"));
}

// FindFirst and the walk go in key order; an added row leaves the current row where it was until the
// recordset moves to it; a move drops an unsaved buffer.
TEST_F(JobDbTest, RecordsetFindsAddsEditsAndWalksLikeTheEngine)
{
    addJob("J1");
    addJob("J2");
    for (int bar : {1, 2, 3})
        addBar("J1", bar);
    for (int id : {20, 21})
        addBar("J2", 2, id);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err));
    ASSERT_TRUE(rs.findFirst(db::Criteria(qs("LosName"), qs("j2")).andNumberText(qs("StabNr"), qs("002")), err) &&
                !rs.noMatch())
        << "names compare without case";
    EXPECT_EQ(rs.field(qs("ID"), err).toInt(), 20);
    ASSERT_TRUE(rs.findFirst(db::Criteria(qs("LosName"), qs("J3")), err) && rs.noMatch());
    EXPECT_EQ(rs.field(qs("ID"), err).toInt(), 20) << "no match: the current row stays";

    ASSERT_TRUE(rs.addNew(err));
    rs.setField(qs("LosName"), qs("J1"), err);
    rs.setField(qs("StabNr"), 4, err);
    EXPECT_EQ(rs.field(qs("StabNr"), err).toInt(), 4) << "reads from the buffer";
    ASSERT_TRUE(rs.update(err));
    EXPECT_EQ(rs.field(qs("ID"), err).toInt(), 20) << "the row current before stays current";
    ASSERT_TRUE(rs.moveTo(rs.lastModified(), err) && rs.edit(err));
    EXPECT_EQ(rs.field(qs("StabNr"), err), QVariant(4)) << "the row just stored reads as stored";
    EXPECT_TRUE(rs.field(qs("Farbe"), err).isNull());
    rs.setField(qs("Farbe"), qs("weiss"), err);
    ASSERT_TRUE(rs.update(err) && rs.moveTo(rs.lastModified(), err) && rs.edit(err));
    EXPECT_EQ(rs.field(qs("Farbe"), err), QVariant(qs("weiss")));
    rs.setField(qs("Farbe"), qs("rot"), err);
    ASSERT_TRUE(rs.findFirst(db::Criteria(qs("StabNr"), 1), err));
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.description, qs("Update or CancelUpdate without AddNew or Edit."));

    // A row deleted by a statement of the connection is no bookmark any more.
    ASSERT_TRUE(rs.addNew(err) && rs.setField(qs("LosName"), qs("J1"), err) && rs.setField(qs("StabNr"), 5, err) &&
                rs.update(err));
    ASSERT_EQ(database.deleteWhere(qs("Stabdaten"), db::Criteria(qs("StabNr"), 5), err), 1);
    EXPECT_FALSE(rs.moveTo(rs.lastModified(), err));
    EXPECT_EQ(err.description, qs("Not a valid bookmark."));

    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), qs("LosName='J1'"), err));
    EXPECT_EQ(rs.field(qs("StabNr"), err), QVariant(1)) << "opens on the first row in key order";
    EXPECT_EQ(count("Stabdaten", "LosName = 'J1' AND Farbe = 'weiss' AND StabNr = 4"), 1);
}

// criteria -> "column=value:type" per term; nullptr: refused as a syntax error naming the expression
using Parsed = std::pair<const char*, const char*>;

class CriteriaParsing : public ::testing::TestWithParam<Parsed> {};

TEST_P(CriteriaParsing, BindsValuesOrRefusesTheWholeExpression)
{
    const auto& [criteria, expected] = GetParam();
    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    EXPECT_EQ(db::parseCriteria(qs(criteria), terms, err), expected != nullptr);
    QStringList parsed;
    for (const db::CriteriaTerm& t : terms)
        parsed << t.column + '=' + t.value.toString() + ':' + t.value.typeName();
    if (err.pending())
        parsed << QString::number(err.number) + ' ' + err.description;
    const QString refused = qs("3075 Syntax error (missing operator) in query expression '%1'.").arg(qs(criteria));
    EXPECT_EQ(parsed.join(' '), expected ? qs(expected) : refused);
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, CriteriaParsing,
    ::testing::Values(Parsed{"LosName='A123' and StabNr=007", "LosName=A123:QString StabNr=7:qlonglong"},
                      Parsed{"  StabNr =  -3.50  ", "StabNr=-3.5:double"},
                      Parsed{"[LosName]='a b' aNd [TeileNr]=+5", "LosName=a b:QString TeileNr=5:qlonglong"},
                      Parsed{"LosName='Größe; -- 1=1'", "LosName=Größe; -- 1=1:QString"}, Parsed{"   ", ""},
                      Parsed{"LosName='O'Brien' and StabNr=1", nullptr}, Parsed{"StabNr=", nullptr},
                      Parsed{"StabNr=12a", nullptr}, Parsed{"StabNr=1.2.3", nullptr},
                      Parsed{"LosName='x' or StabNr=1", nullptr}, Parsed{"LosName='x' and", nullptr},
                      Parsed{"LosName='unterminated", nullptr}, Parsed{"StabNr=1and TeileNr=2", nullptr},
                      Parsed{"LosName='x' and StabNr=5 and LosName='x'", nullptr}),
    [](const auto& i) { return testName(qs(i.param.first), i.index); });

// A number given as text is read as a criteria string reads it: accepted exactly when the string
// "StabNr=<text>" would be, with the same value; otherwise the criteria are the string's syntax error.
TEST(TypedCriteria, NumberTextsFollowTheCriteriaStringGrammar)
{
    for (const char* number :
         {"007", " 12 ", "\t5", "-3.50", "+4", "1\n", "1 2", "12a", "", "  ", "'1'", "1.2.3", "0x1"}) {
        const QString text = qs("LosName='J' and StabNr=") + qs(number);
        std::vector<db::CriteriaTerm> parsed;
        PendingError parseErr;
        const bool parses = db::parseCriteria(text, parsed, parseErr);
        const db::Criteria typed = db::Criteria(qs("LosName"), qs("J")).andNumberText(qs("StabNr"), qs(number));
        PendingError typedErr;
        EXPECT_EQ(typed.check(typedErr), parses) << number;
        EXPECT_EQ(typedErr.number, parseErr.number) << number;
        EXPECT_EQ(typedErr.description, parseErr.description) << number;
        if (parses) {
            ASSERT_EQ(typed.terms().size(), 2u);
            EXPECT_EQ(typed.terms()[1].value, parsed[1].value) << number;
            EXPECT_EQ(typed.terms()[1].value.typeId(), parsed[1].value.typeId()) << number;
        }
    }
    PendingError err;
    EXPECT_FALSE(
        db::Criteria(qs("LosName"), qs("O'Brien")).refuse().andNumberText(qs("TeileNr"), qs("0012")).check(err));
    EXPECT_EQ(err.description,
              qs("Syntax error (missing operator) in query expression 'LosName='O'Brien' and TeileNr=0012'."));
}

// Whatever a value holds, it is bound: a statement touches the rows holding exactly that value. Refused
// criteria fail wherever they are used; criteria name real columns of the matching type.
TEST_F(JobDbTest, CriteriaValuesAreBoundAndBadCriteriaTouchNoRows)
{
    addJob("x");
    addBar("x", 1);
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err));
    for (const char* name : {"'; DROP TABLE LosNamen; --", "x' or '1'='1", "x' and Farbe='"}) {
        const db::Criteria bound(qs("LosName"), qs(name));
        EXPECT_EQ(database.deleteWhere(qs("Stabdaten"), bound, err), 0) << name;
        EXPECT_EQ(database.updateWhere(qs("Stabdaten"), qs("Farbe"), qs("rot"), bound, err), 0) << name;
        EXPECT_TRUE(rs.findFirst(bound, err) && rs.noMatch()) << name;
    }
    const db::Criteria refused = db::Criteria(qs("LosName"), qs("x")).refuse();
    PendingError e[4];
    EXPECT_EQ(database.deleteWhere(qs("Stabdaten"), refused, e[0]), -1);
    EXPECT_EQ(database.updateWhere(qs("Stabdaten"), qs("Farbe"), qs("rot"), refused, e[1]), -1);
    EXPECT_TRUE(!rs.findFirst(refused, e[2]) && rs.noMatch());
    db::Recordset other;
    EXPECT_FALSE(database.openRecordset(other, qs("Stabdaten"), refused, e[3]));
    for (const PendingError& one : e)
        EXPECT_EQ(one.description, qs("Syntax error (missing operator) in query expression 'LosName='x''."));

    EXPECT_TRUE(rs.findFirst(db::Criteria(qs("losname"), qs("x")).and_(qs("stabnr"), 1), err) && !rs.noMatch())
        << "names compare without case";
    for (const db::Criteria& typeMismatch : {db::Criteria(qs("StabNr"), qs("12")), db::Criteria(qs("LosName"), 12)}) {
        EXPECT_FALSE(rs.findFirst(typeMismatch, err));
        EXPECT_EQ(err.number, 3464);
    }
    EXPECT_FALSE(rs.findFirst(db::Criteria(qs("LosName"), qs("x")).and_(qs("Gibtsnicht"), 1), err));
    EXPECT_EQ(err.description, qs("Too few parameters. Expected 1."));
    EXPECT_EQ(count("LosNamen") + count("Stabdaten"), 2) << "nothing deleted";
    EXPECT_EQ(count("Stabdaten", "Farbe = 'rot'"), 0) << "nothing changed";
}

} // namespace
