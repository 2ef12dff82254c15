#include "platform/db/Criteria.h"

#include "DbTestSupport.h"

#include <vector>

namespace {

struct Parsed {
    const char* criteria;
    std::vector<std::pair<const char*, QVariant>> terms;
};

class CriteriaParses : public ::testing::TestWithParam<Parsed> {};

TEST_P(CriteriaParses, IntoColumnsAndBoundValues)
{
    const Parsed& p = GetParam();
    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    ASSERT_TRUE(db::parseCriteria(QString::fromUtf8(p.criteria), terms, err)) << err.description.toStdString();
    ASSERT_EQ(terms.size(), p.terms.size());
    for (size_t i = 0; i < terms.size(); ++i) {
        EXPECT_EQ(terms[i].column, QString::fromLatin1(p.terms[i].first));
        EXPECT_EQ(terms[i].value.typeId(), p.terms[i].second.typeId()) << p.criteria;
        EXPECT_EQ(terms[i].value, p.terms[i].second) << p.criteria;
    }
    EXPECT_FALSE(err.pending());
}

INSTANTIATE_TEST_SUITE_P(
    Readers, CriteriaParses,
    ::testing::Values(
        Parsed{"LosName='A123' and StabNr=007", {{"LosName", QString("A123")}, {"StabNr", qlonglong(7)}}},
        Parsed{"LosName='x' AND TeileNr=12", {{"LosName", QString("x")}, {"TeileNr", qlonglong(12)}}},
        Parsed{"ProfilNr= 12", {{"ProfilNr", qlonglong(12)}}},
        Parsed{"  StabNr =  -3.50  ", {{"StabNr", -3.5}}},
        Parsed{"StabNr=+0012", {{"StabNr", qlonglong(12)}}},
        Parsed{"LosName='a b  c'And StabNr=1", {{"LosName", QString("a b  c")}, {"StabNr", qlonglong(1)}}},
        Parsed{"[LosName]='x' aNd [TeileNr]=5", {{"LosName", QString("x")}, {"TeileNr", qlonglong(5)}}},
        Parsed{"LosName=''", {{"LosName", QString("")}}},
        Parsed{"LosName='Größe; -- 1=1'", {{"LosName", QString::fromUtf8("Größe; -- 1=1")}}},
        Parsed{"   ", {}}));

class CriteriaRefused : public ::testing::TestWithParam<const char*> {};

TEST_P(CriteriaRefused, AsSyntaxErrorNamingTheExpression)
{
    const QString criteria = QString::fromUtf8(GetParam());
    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    EXPECT_FALSE(db::parseCriteria(criteria, terms, err));
    EXPECT_TRUE(terms.empty());
    EXPECT_EQ(err.number, 3075);
    EXPECT_EQ(err.description, QStringLiteral("Syntax error (missing operator) in query expression '%1'.").arg(criteria));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CriteriaRefused,
    ::testing::Values("LosName='O'Brien'", "LosName='O'Brien' and StabNr=1", "StabNr=", "StabNr=12a",
                      "StabNr=12 x", "StabNr=1.2.3", "StabNr=.", "StabNr=- 5", "LosName='x' or StabNr=1",
                      "LosName='x' and", "LosName='unterminated", "=5", "StabNr==5", "StabNr 5",
                      "LosName='x' andStabNr=1", "StabNr=1and TeileNr=2", "LosName=x",
                      // injection attempts through a job name
                      "LosName=''; DROP TABLE LosNamen; --'", "LosName='x' or '1'='1'",
                      "LosName='x' and StabNr=5 and LosName='x'", "LosName='x' and Farbe=''",
                      "LosName='x' and Farbe='' and StabNr=3"));

TEST(Criteria, QuotedWrapsWithoutEscaping)
{
    EXPECT_EQ(db::quoted(QStringLiteral("A123")), QStringLiteral("'A123'"));
    EXPECT_EQ(db::quoted(QStringLiteral("O'Brien")), QStringLiteral("'O'Brien'"));
}

// Whatever a job name holds, a statement built from it touches that job's
// rows or fails; the other jobs' rows stay.
class JobNameInCriteria : public JobDbTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(JobNameInCriteria, NeverReachesOtherJobs)
{
    addJob(QStringLiteral("x"));
    addJob(QStringLiteral("J2"));
    addBar(QStringLiteral("x"), 5);
    addBar(QStringLiteral("J2"), 1);
    const QString job = QString::fromUtf8(GetParam());
    const QString criteria = QStringLiteral("LosName=") + db::quoted(job);

    PendingError e;
    EXPECT_EQ(database.deleteWhere(QStringLiteral("Stabdaten"), criteria, e), -1);
    EXPECT_EQ(e.number, 3075);
    e.clear();
    EXPECT_EQ(database.updateWhere(QStringLiteral("Stabdaten"), QStringLiteral("Farbe"), QStringLiteral("rot"),
                                   criteria + QStringLiteral(" and StabNr=1"), e),
              -1);
    EXPECT_EQ(e.number, 3075);
    e.clear();
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("LosNamen"), e));
    EXPECT_FALSE(rs.findFirst(criteria, e));
    EXPECT_EQ(e.number, 3075);
    EXPECT_TRUE(rs.noMatch());

    EXPECT_EQ(count(QStringLiteral("LosNamen")), 2);
    EXPECT_EQ(count(QStringLiteral("Stabdaten")), 2);
    EXPECT_EQ(count(QStringLiteral("Stabdaten"), QStringLiteral("Farbe='rot'")), 0);
}

INSTANTIATE_TEST_SUITE_P(Injection, JobNameInCriteria,
                         ::testing::Values("'; DROP TABLE LosNamen; --", "x' or '1'='1", "O'Brien",
                                           "x' and StabNr=5 and LosName='x", "x' and Farbe='", "x'--"));

TEST_F(JobDbTest, CriteriaNameRealColumnsOfMatchingType)
{
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Stabdaten"), err));
    struct Case {
        const char* criteria;
        int number;
    } cases[] = {
        {"LosName='x' and Gibtsnicht=1", 3061},
        {"StabNr='12'", 3464},
        {"LosName=12", 3464},
        {"losname='x' AND stabnr=1", 0}, // names compare without case
    };
    for (const Case& c : cases) {
        PendingError e;
        EXPECT_EQ(rs.findFirst(QString::fromLatin1(c.criteria), e), c.number == 0) << c.criteria;
        EXPECT_EQ(e.number, c.number) << c.criteria;
    }
    PendingError e;
    rs.findFirst(QStringLiteral("Nix=1"), e);
    EXPECT_EQ(e.description, QStringLiteral("Too few parameters. Expected 1."));
}

} // namespace
