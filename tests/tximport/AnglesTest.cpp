// Piece sub-fields "G" and "L" through the real importer.

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using piecetest::Schema;

namespace {

// Every case ends with "L01000", so a wrong width shows as a wrong length.
constexpr double kTrailingLength = 100.0;

struct ExplicitAngleCase {
    const char* subField;
    bool angleConversion;
    double on;
    double off;
};

class ExplicitAngles : public ::testing::TestWithParam<ExplicitAngleCase> {};

TEST_P(ExplicitAngles, StoresHundredthsAndConvertsZero)
{
    const ExplicitAngleCase& c = GetParam();
    SCOPED_TRACE(c.subField);
    PieceImport run;
    run.plant.ctx.settings.WinkelKonverter = c.angleConversion;
    run.import({QByteArray("KTN0001") + c.subField + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("AnGehrung").toDouble(), c.on);
    EXPECT_DOUBLE_EQ(run.piece("AbGehrung").toDouble(), c.off);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge").toDouble(), kTrailingLength);
    // Explicit angles without codes: the angle-ID columns say "no code".
    EXPECT_EQ(run.piece("AngleOnCutID").toInt(), 0);
    EXPECT_FALSE(run.piece("AngleOnCutID").isNull());
    EXPECT_EQ(run.piece("AngleOffCutID").toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ExplicitAngles,
    ::testing::Values(ExplicitAngleCase{"GG+4500-4500", false, 45, -45}, //
                      ExplicitAngleCase{"GG45009000", false, 45, 90},     //
                      ExplicitAngleCase{"GG+12500900", false, 12.5, 9},   //
                      ExplicitAngleCase{"GG00000000", false, 0, 0},       //
                      ExplicitAngleCase{"GG00000000", true, 90, 90},      //
                      ExplicitAngleCase{"GG-00000000", true, 90, 90},     //
                      ExplicitAngleCase{"GG45000000", true, 45, 90}));

struct CodeCase {
    const char* name;
    Schema schema;
    bool idConversion;
    const char* subFields;
    double on;
    double off;
    int onId; // -1: column absent
    int offId;
};

class AngleCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(AngleCodes, WritesCodesAndConvertsThem)
{
    const CodeCase& c = GetParam();
    PieceImport run(c.schema);
    run.plant.ctx.settings.WinkelIDKonverter = c.idConversion;
    run.import({QByteArray("KTN0001") + c.subFields + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("AnGehrung").toDouble(), c.on);
    EXPECT_DOUBLE_EQ(run.piece("AbGehrung").toDouble(), c.off);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge").toDouble(), kTrailingLength);
    if (c.onId >= 0) {
        EXPECT_EQ(run.piece("AngleOnCutID").toInt(), c.onId);
        EXPECT_EQ(run.piece("AngleOffCutID").toInt(), c.offId);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AngleCodes,
    ::testing::Values(CodeCase{"Mitre", Schema::Full, true, "G12", 45, 90, 1, 2},
                      CodeCase{"Special", Schema::Full, true, "G37", 403, 407, 3, 7},
                      CodeCase{"NoConversion", Schema::Full, false, "G12", 1, 2, 1, 2},
                      CodeCase{"NoIdColumns", Schema::NoAngleIds, true, "G12", 1, 2, -1, -1},
                      CodeCase{"ExplicitKept", Schema::Full, false, "GG45009000G37", 45, 90, 3, 7},
                      CodeCase{"ConversionWinsOverExplicit", Schema::Full, true, "GG45009000G37", 403, 407, 3, 7},
                      CodeCase{"ExplicitAfterCodesKeepsIds", Schema::Full, false, "G12GG30006000", 30, 60, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AngleCodes, CodeTheDatabaseCannotStoreTakesTheFailureExit)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1; // keep the rows for inspection
    run.import({"KTN0001GXYL01000"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_TRUE(run.lastReport().contains(QLatin1String("Piece:1"))) << run.lastReport().toStdString();
    EXPECT_TRUE(run.lastReport().contains(QLatin1String("Data type conversion error.")));
    EXPECT_FALSE(run.stopBoxText().isEmpty());
}

struct SkippedCase {
    const char* subField;
};

class SkippedAngleData : public ::testing::TestWithParam<SkippedCase> {};

TEST_P(SkippedAngleData, ConsumesItsWidthAndWritesNothing)
{
    SCOPED_TRACE(GetParam().subField);
    PieceImport run;
    run.import({QByteArray("KTN0001") + GetParam().subField + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_TRUE(run.piece("AnGehrung").isNull());
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge").toDouble(), kTrailingLength);
}

INSTANTIATE_TEST_SUITE_P(Widths, SkippedAngleData,
                         ::testing::Values(SkippedCase{"GA1234567890123456"},  // 18
                                           SkippedCase{"GE12345678901234567"}, // 19
                                           SkippedCase{"GP1234"}));            // 6

struct LengthCase {
    const char* subField;
    double length;
};

class PieceLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(PieceLength, OwnBarRowGetsTheLengthAsRawLength)
{
    SCOPED_TRACE(GetParam().subField);
    PieceImport run;
    run.import({QByteArray("KTN0007") + GetParam().subField + "Q0010000200"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), GetParam().length);
    EXPECT_DOUBLE_EQ(run.bar("Rohlaenge", 7).toDouble(), GetParam().length);
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAnschnitt", 7).toDouble(), 10.0); // next sub-field intact
}

TEST_P(PieceLength, BarOfABarRecordKeepsItsRawLength)
{
    SCOPED_TRACE(GetParam().subField);
    PieceImport run;
    run.import({"KB 001L06000", QByteArray("KTN0007") + GetParam().subField});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), GetParam().length);
    EXPECT_DOUBLE_EQ(run.bar("Rohlaenge", 1).toDouble(), 600.0);
}

INSTANTIATE_TEST_SUITE_P(Values, PieceLength,
                         ::testing::Values(LengthCase{"L12345", 1234.5}, LengthCase{"L00000", 0},
                                           LengthCase{"L-0012", 0}, LengthCase{"Lab   ", 0}));

} // namespace
