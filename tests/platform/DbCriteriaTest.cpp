#include "platform/db/Criteria.h"

#include "DbTestSupport.h"

namespace {

// criteria -> "column=value:type" per term
using Parsed = std::pair<const char*, const char*>;

class CriteriaParses : public ::testing::TestWithParam<Parsed> {};

TEST_P(CriteriaParses, IntoColumnsAndBoundValues)
{
    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    ASSERT_TRUE(db::parseCriteria(qs(GetParam().first), terms, err)) << err.description.toStdString();
    QStringList parsed;
    for (const db::CriteriaTerm& t : terms)
        parsed << t.column + '=' + t.value.toString() + ':' + t.value.typeName();
    EXPECT_EQ(parsed.join(' '), qs(GetParam().second));
}

INSTANTIATE_TEST_SUITE_P(
    Readers, CriteriaParses,
    ::testing::Values(Parsed{"LosName='A123' and StabNr=007", "LosName=A123:QString StabNr=7:qlonglong"},
                      Parsed{"  StabNr =  -3.50  ", "StabNr=-3.5:double"},
                      Parsed{"[LosName]='a b' aNd [TeileNr]=+5", "LosName=a b:QString TeileNr=5:qlonglong"},
                      Parsed{"LosName='Größe; -- 1=1'", "LosName=Größe; -- 1=1:QString"}, Parsed{"   ", ""}),
    [](const auto& i) { return testName(qs(i.param.first), i.index); });

class CriteriaRefused : public ::testing::TestWithParam<const char*> {};

TEST_P(CriteriaRefused, AsSyntaxErrorNamingTheExpression)
{
    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    EXPECT_FALSE(db::parseCriteria(qs(GetParam()), terms, err));
    EXPECT_TRUE(terms.empty());
    EXPECT_EQ(err.number, 3075);
    EXPECT_EQ(err.description, qs("Syntax error (missing operator) in query expression '%1'.").arg(qs(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(BadInput, CriteriaRefused,
                         ::testing::Values("LosName='O'Brien' and StabNr=1", "StabNr=", "StabNr=12a", "StabNr=1.2.3",
                                           "LosName='x' or StabNr=1", "LosName='x' and", "LosName='unterminated",
                                           "StabNr=1and TeileNr=2", "LosName='x' and StabNr=5 and LosName='x'"),
                         [](const auto& i) { return testName(qs(i.param), i.index); });

// Whatever a job name holds, a statement built from it touches that job's
// rows or fails; the other jobs' rows stay.
class JobNameInCriteria : public JobDbTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(JobNameInCriteria, IsASyntaxErrorAndTouchesNoRows)
{
    addJob("x");
    addJob("J2");
    addBar("x", 5);
    addBar("J2", 1);
    const QString criteria = qs("LosName=") + db::quoted(qs(GetParam()));

    PendingError e[3];
    db::Recordset rs;
    EXPECT_EQ(database.deleteWhere(qs("Stabdaten"), criteria, e[0]), -1);
    EXPECT_EQ(database.updateWhere(qs("Stabdaten"), qs("Farbe"), qs("rot"), criteria + qs(" and StabNr=1"), e[1]), -1);
    ASSERT_TRUE(database.openRecordset(rs, qs("LosNamen"), err));
    EXPECT_FALSE(rs.findFirst(criteria, e[2]));
    EXPECT_TRUE(rs.noMatch());
    for (const PendingError& one : e)
        EXPECT_EQ(one.number, 3075);
    EXPECT_EQ(count("LosNamen"), 2);
    EXPECT_EQ(count("Stabdaten"), 2);
    EXPECT_EQ(count("Stabdaten", "Farbe='rot'"), 0);
}

INSTANTIATE_TEST_SUITE_P(Injection, JobNameInCriteria,
                         ::testing::Values("'; DROP TABLE LosNamen; --", "x' or '1'='1", "O'Brien", "x' and Farbe='"),
                         [](const auto& i) { return testName(qs(i.param), i.index); });

TEST_F(JobDbTest, CriteriaNameRealColumnsOfMatchingType)
{
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err));
    EXPECT_TRUE(rs.findFirst(qs("losname='x' AND stabnr=1"), err)) << "names compare without case";
    for (const char* typeMismatch : {"StabNr='12'", "LosName=12"}) {
        EXPECT_FALSE(rs.findFirst(qs(typeMismatch), err));
        EXPECT_EQ(err.number, 3464) << typeMismatch;
    }
    EXPECT_FALSE(rs.findFirst(qs("LosName='x' and Gibtsnicht=1"), err));
    EXPECT_EQ(err.description, qs("Too few parameters. Expected 1."));
}

} // namespace
