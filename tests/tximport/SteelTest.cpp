// Piece sub-field "S" (steel reinforcement) through the real importer.

#include "PieceImportFixture.h"

#include "config/SettingsForm.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using piecetest::PieceImport;
using piecetest::sa;

namespace {

// Expected column values; a Null QVariant expects Null, a string a text.
using Columns = std::vector<std::pair<const char*, QVariant>>;

void expectColumns(const PieceImport& run, const Columns& expected, bool steelMode, int pieceNo = 1)
{
    for (const auto& [column, want] : expected) {
        const QVariant got = run.piece(QString::fromLatin1(column), pieceNo, steelMode);
        if (want.isNull())
            EXPECT_TRUE(got.isNull()) << column << " = " << got.toString().toStdString();
        else if (want.typeId() == QMetaType::QString)
            EXPECT_EQ(got.toString(), want.toString()) << column;
        else
            EXPECT_DOUBLE_EQ(got.toDouble(), want.toDouble()) << column << " is Null: " << got.isNull();
    }
}

struct ShortCase {
    const char* subField;
    Columns columns;
    bool jobHasSteelData;
};

class SteelShortForm : public ::testing::TestWithParam<ShortCase> {};

TEST_P(SteelShortForm, WritesSelectionLengthAndNumber)
{
    const ShortCase& c = GetParam();
    SCOPED_TRACE(c.subField);
    PieceImport run;
    run.import({QByteArray("KTN0001") + c.subField + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run, c.columns, false);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge").toDouble(), 100.0); // 10 characters consumed
    EXPECT_EQ(run.plant.job.jobHasSteelData, c.jobHasSteelData);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SteelShortForm,
    ::testing::Values(
        ShortCase{"S112000123", {{"Stahlanwahl", 1}, {"Stahllaenge", 1200}, {"Stahlnummer", QStringLiteral("123")}}, true},
        ShortCase{"S300500007", {{"Stahlanwahl", 3}, {"Stahllaenge", 50}, {"Stahlnummer", QStringLiteral("7")}}, false},
        ShortCase{"S0-0010abc", {{"Stahlanwahl", 0}, {"Stahllaenge", 0}, {"Stahlnummer", QStringLiteral("0")}}, false}));

struct CounterCase {
    const char* name;
    bool convert;
    int loadMode;
    std::vector<const char*> pieces;
    const char* list;
};

class SteelCounterList : public ::testing::TestWithParam<CounterCase> {};

TEST_P(SteelCounterList, ListsPiecesWhoseNumberIsNotTheirSteelCount)
{
    const CounterCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.ConvToPvcNum = c.convert;
    run.plant.ctx.settings.JobLoadMode = c.loadMode;
    QByteArray content;
    for (const char* p : c.pieces)
        content += QByteArray(p) + "\r\n";
    run.importBytes(content);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.plant.job.pvcPieceNumbers.text(), QString::fromLatin1(c.list));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SteelCounterList,
    ::testing::Values(
        CounterCase{"ThreePieces", true, 1, {"KTN0001S112000123", "KTN0005S112000123", "KTN0007S212000123"},
                    "#2,0005;#3,0007;"},
        CounterCase{"NoSelectionDoesNotCount", true, 1,
                    {"KTN0001S112000123", "KTN0003S012000123", "KTN0005S112000123"}, "#2,0005;"},
        CounterCase{"ConversionOff", false, 1, {"KTN0001S112000123", "KTN0005S112000123"}, ""},
        CounterCase{"SeparateMode", true, 0, {"KTN0001S112000123", "KTN0005S112000123"}, ""},
        CounterCase{"FirstSteelNumbers", true, 2, {"KTN0001SA110005100000005012", "KTN0002SA110002100000005012"},
                    "#5,0001;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SteelDesignation, SecondDesignationIsJoinedInProductionData)
{
    PieceImport run;
    run.plant.ctx.settings.Steeldata = 2;
    run.import({"KTN0001" + sa('1', '1', "0001", "10000", "00050", "001") + "SB ST 4711"
                + sa('1', '1', "0002", "10000", "00050", "001") + "SBX       L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run,
                  {{"StahlBezeichnung", QStringLiteral("ST 4711+X")},
                   {"StahlNr", QStringLiteral("ST 4711")},
                   {"StahlNr1", QStringLiteral("ST 4711")},
                   {"StahlNr2", QStringLiteral("X")},
                   {"TeileLaenge", 100}},
                  false);
}

TEST(SteelDesignation, EachDesignationReplacesTheLastInSteelMode)
{
    PieceImport run;
    run.import({"KTN0001SBFIRST   SBSECOND  L01000"}, true);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run, {{"StahlBezeichnung", QStringLiteral("SECOND")}, {"StahlNr", QVariant()}, {"TeileLaenge", 100}},
                  true);
}

struct SecondSteelCase {
    const char* name;
    bool steelMode;
    int steeldata;
    Columns columns;
};

class SecondSteel : public ::testing::TestWithParam<SecondSteelCase> {};

TEST_P(SecondSteel, FollowsTheDoubleSteelSetting)
{
    const SecondSteelCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.Steeldata = c.steeldata;
    run.import({"KTN0001L00000" + sa('2', '1', "0034", "10000", "00050", "123")
                + sa('1', '2', "0002", "05000", "00030", "456") + "Q0010000200"},
               c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run, c.columns, c.steelMode);
    // The second form is 21 characters wide whatever it does.
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAnschnitt", 1, c.steelMode).toDouble(), 10.0);
    EXPECT_EQ(run.plant.job.jobHasSteelData, !c.steelMode);
}

const Columns kFirstSteel = {{"Stahlanwahl", 2},         {"Stahllaufbahn", 1},       {"StahlTeileNr", 34},
                             {"Stahllaenge", 1000},      {"Stahleinschubtiefe", 5},  {"Stahlnummer", QStringLiteral("123")},
                             {"Stahlanwahl2", QVariant()}, {"Stahllaenge2", QVariant()}};

const Columns kFirstSteelPiece = {{"Stahlanwahl", 2},          {"Stahlanwahl1", 2},       {"Stahllaufbahn", 1},
                                  {"PVCTeileNr", 34},          {"TeileLaenge1", 1000},    {"Stahleinschubtiefe", 5},
                                  {"Stahleinschubtiefe1", 5},  {"Stahlnummer", QVariant()}, {"TeileLaenge", 0},
                                  {"Stahlanwahl2", QVariant()}, {"TeileLaenge2", QVariant()}};

Columns with(Columns base, const Columns& changes)
{
    for (const auto& [column, value] : changes) {
        bool replaced = false;
        for (auto& entry : base) {
            if (qstrcmp(entry.first, column) == 0) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced)
            base.emplace_back(column, value);
    }
    return base;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SecondSteel,
    ::testing::Values(
        SecondSteelCase{"ProductionIgnored", false, 0, kFirstSteel},
        SecondSteelCase{"ProductionTens", false, 1, with(kFirstSteel, {{"Stahlanwahl", 12}})},
        SecondSteelCase{"ProductionDouble", false, 2,
                        with(kFirstSteel, {{"Stahlanwahl", 12},
                                           {"Stahlanwahl1", 2},
                                           {"Stahlanwahl2", 1},
                                           {"Stahllaufbahn2", 2},
                                           {"StahlTeileNr", 0},
                                           {"StahlTeileNr1", 34},
                                           {"StahlTeileNr2", 2},
                                           {"Stahllaenge", 1500},
                                           {"Stahllaenge1", 1000},
                                           {"Stahllaenge2", 500},
                                           {"Stahleinschubtiefe", 0},
                                           {"Stahleinschubtiefe1", 5},
                                           {"Stahleinschubtiefe2", 3},
                                           {"Stahlnummer1", QStringLiteral("123")},
                                           {"Stahlnummer2", QStringLiteral("456")}})},
        SecondSteelCase{"SteelPieceIgnored", true, 0, kFirstSteelPiece},
        SecondSteelCase{"SteelPieceTens", true, 1, with(kFirstSteelPiece, {{"Stahlanwahl", 12}})},
        SecondSteelCase{"SteelPieceDouble", true, 2,
                        with(kFirstSteelPiece, {{"Stahlanwahl", 12},
                                                {"Stahlanwahl2", 1},
                                                {"Stahllaufbahn2", 2},
                                                {"StahlTeileNr2", 2},
                                                {"TeileLaenge2", 500},
                                                {"TeileLaenge", 1500},
                                                {"Stahleinschubtiefe2", 3},
                                                {"Stahllaenge2", QVariant()}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SteelSwitchedOff, FirstSelectionIsNotStoredAndSecondBecomesZero)
{
    PieceImport run;
    run.plant.ctx.form.cmbSADefault = SADefault::SwitchOff;
    run.plant.ctx.settings.Steeldata = 2;
    run.import({"KTN0001S112000123" + sa('2', '1', "0001", "10000", "00050", "123")
                    + sa('1', '2', "0002", "05000", "00030", "456"),
                "KTN0002" + sa('2', '1', "0001", "10000", "00050", "123")});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    // The short form's selection stands; the double steel adds nothing to it.
    expectColumns(run, {{"Stahlanwahl", 1}, {"Stahlanwahl1", 1}, {"Stahlanwahl2", 0}, {"Stahllaenge", 1500}}, false, 1);
    expectColumns(run, {{"Stahlanwahl", QVariant()}, {"StahlTeileNr", 1}}, false, 2);
}

TEST(SteelSwitchedOff, FirstSelectionAloneGivesTheJobNoSteelData)
{
    PieceImport run;
    run.plant.ctx.form.cmbSADefault = SADefault::SwitchOff;
    run.import({"KTN0002" + sa('2', '1', "0001", "10000", "00050", "123")});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_FALSE(run.plant.job.jobHasSteelData);
}

TEST(SteelPvcList, DoubleSteelListsBothSteelPieces)
{
    PieceImport run;
    run.plant.ctx.settings.ConvToPvcNum = true;
    run.plant.ctx.settings.JobLoadMode = 1;
    run.plant.ctx.settings.Steeldata = 2;
    run.import({"KTN0001" + sa('1', '1', "0005", "10000", "00050", "123") + sa('1', '1', "0009", "05000", "00030", "456")});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.plant.job.pvcPieceNumbers.text(), QStringLiteral("#5,0001;#9,0001;"));
}

struct PvcNumberCase {
    const char* number;
    int pvcPiece;
};

class SteelPieceOfPvcPiece : public ::testing::TestWithParam<PvcNumberCase> {};

TEST_P(SteelPieceOfPvcPiece, ZeroKeepsTheNumberTheHeadGave)
{
    SCOPED_TRACE(GetParam().number);
    PieceImport run;
    run.import({"KB 001L06000", "KTN0012" + sa('1', '1', GetParam().number, "10000", "00050", "123")}, true);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.piece("PVCTeileNr", 12, true).toInt(), GetParam().pvcPiece);
}

INSTANTIATE_TEST_SUITE_P(Numbers, SteelPieceOfPvcPiece,
                         ::testing::Values(PvcNumberCase{"0000", 12}, PvcNumberCase{"0034", 34}));

} // namespace
