// Piece sub-fields "G" and "L" through the real importer (failure exits: SubFieldFailure).

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

using namespace piecetest;

namespace {

struct AngleCase {
    const char* name;
    const char* subFields; // followed by "L01000", so a wrong width shows as a wrong length
    bool angleConversion, idConversion;
    QVariant on, off;
    int onId, offId; // -1: not checked
    Schema schema = Schema::Full;
};

class Angles : public ::testing::TestWithParam<AngleCase> {};

TEST_P(Angles, WritesAnglesAndCodes)
{
    const AngleCase& c = GetParam();
    PieceImport run(c.schema);
    run.plant.ctx.settings.WinkelKonverter = c.angleConversion;
    run.plant.ctx.settings.WinkelIDKonverter = c.idConversion;
    run.import({QByteArray("KTN0001") + c.subFields + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectValue(run.piece("AnGehrung"), c.on, "AnGehrung");
    expectValue(run.piece("AbGehrung"), c.off, "AbGehrung");
    expectValue(run.piece("TeileLaenge"), 100, "TeileLaenge");
    if (c.onId >= 0) {
        expectValue(run.piece("AngleOnCutID"), c.onId, "AngleOnCutID");
        expectValue(run.piece("AngleOffCutID"), c.offId, "AngleOffCutID");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Angles,
    ::testing::Values(
        // Explicit angles say "no code" in the angle-ID columns.
        AngleCase{"Signed", "GG+4500-4500", false, false, 45, -45, 0, 0},
        AngleCase{"Unsigned", "GG45009000", false, false, 45, 90, 0, 0},
        AngleCase{"SignTakesAColumn", "GG+12500900", false, false, 12.5, 9, 0, 0},
        AngleCase{"ZeroKept", "GG00000000", false, false, 0, 0, 0, 0},
        AngleCase{"ZeroConverted", "GG00000000", true, false, 90, 90, 0, 0},
        AngleCase{"SignedZeroConverted", "GG-00000000", true, false, 90, 90, 0, 0},
        AngleCase{"OneZeroConverted", "GG45000000", true, false, 45, 90, 0, 0},
        AngleCase{"CodesConverted", "G12", false, true, 45, 90, 1, 2},
        AngleCase{"OtherCodesConverted", "G37", false, true, 403, 407, 3, 7},
        AngleCase{"CodesNotConverted", "G12", false, false, 1, 2, 1, 2},
        AngleCase{"NoIdColumns", "G12", false, true, 1, 2, -1, -1, Schema::NoAngleIds},
        AngleCase{"ExplicitThenCodes", "GG45009000G37", false, false, 45, 90, 3, 7},
        AngleCase{"ConversionWinsOverExplicit", "GG45009000G37", false, true, 403, 407, 3, 7},
        AngleCase{"ExplicitAfterCodesKeepsIds", "G12GG30006000", false, false, 30, 60, 1, 2},
        // Skipped sub-fields consume their width and write nothing.
        AngleCase{"GA18", "GA1234567890123456", false, false, Null, Null, -1, -1},
        AngleCase{"GE19", "GE12345678901234567", false, false, Null, Null, -1, -1},
        AngleCase{"GP6", "GP1234", false, false, Null, Null, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

class PieceLength : public ::testing::TestWithParam<std::tuple<const char*, const char*, double>> {};

// Piece 7 comes before any bar and has its own bar row; piece 8 belongs to bar 1.
TEST_P(PieceLength, OwnBarRowGetsTheLengthAsRawLength)
{
    const auto& [name, subField, length] = GetParam();
    PieceImport run;
    run.import({QByteArray("KTN0007") + subField + "Q0010000200", "KB 001L06000", QByteArray("KTN0008") + subField});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), length);
    EXPECT_DOUBLE_EQ(run.bar("Rohlaenge", 7).toDouble(), length);
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAnschnitt", 7).toDouble(), 10.0); // next sub-field intact
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 8).toDouble(), length);
    EXPECT_DOUBLE_EQ(run.bar("Rohlaenge", 1).toDouble(), 600.0);
}

INSTANTIATE_TEST_SUITE_P(Values, PieceLength,
                         ::testing::Values(std::tuple("Tenths", "L12345", 1234.5), std::tuple("Zero", "L00000", 0.0),
                                           std::tuple("Negative", "L-0012", 0.0),
                                           std::tuple("NotANumber", "Lab   ", 0.0)),
                         [](const auto& info) { return std::string(std::get<0>(info.param)); });

} // namespace
