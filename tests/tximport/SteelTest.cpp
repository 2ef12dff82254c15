// Piece sub-field "S" (steel reinforcement) through the real importer.

#include "PieceImportFixture.h"

#include "config/SettingsForm.h"

#include <gtest/gtest.h>

using namespace piecetest;

namespace {

// The base columns with the given ones changed or added.
Columns with(Columns base, Columns changes)
{
    changes.merge(base);
    return changes;
}

struct SteelCase {
    const char* name;
    bool steelMode;
    int steeldata;
    QByteArray lines; // joined with CR LF
    Columns columns;
    bool jobHasSteelData;
    bool switchOff = false;
    bool convert = false; // the counter list
    int loadMode = 0;
    const char* list = "";
};

class SteelColumns : public ::testing::TestWithParam<SteelCase> {};

TEST_P(SteelColumns, WritesThePieceColumnsAndTheCounterList)
{
    const SteelCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.Steeldata = c.steeldata;
    run.plant.ctx.settings.ConvToPvcNum = c.convert;
    run.plant.ctx.settings.JobLoadMode = c.loadMode;
    if (c.switchOff)
        run.plant.ctx.form.cmbSADefault = SADefault::SwitchOff;
    run.importBytes(c.lines + "\r\n", c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run, c.columns, 1, c.steelMode);
    EXPECT_EQ(run.plant.job.jobHasSteelData, c.jobHasSteelData);
    EXPECT_EQ(run.plant.job.pvcPieceNumbers.text(), QString::fromLatin1(c.list));
}

// Two "SA" forms, then "Q": the second form is 21 characters wide whatever it does.
const QByteArray kTwoSteels = "KTN0001L00000" + sa('2', '1', "0034", "10000", "00050", "123") +
                              sa('1', '2', "0002", "05000", "00030", "456") + "Q0010000200";
const QByteArray kTwoShortForms = "KTN0001S112000123\r\nKTN0005S112000123";
const Columns kFirstSteel = {{"Stahlanwahl", 2}, {"Stahllaufbahn", 1}, {"StahlTeileNr", 34}, {"Stahllaenge", 1000},
                             {"Stahlnummer", "123"}, {"Stahleinschubtiefe", 5}, {"Stahlanwahl2", Null},
                             {"Stahllaenge2", Null}, {"KappHoeheAnschnitt", 10}};
const Columns kFirstSteelPiece = {{"Stahlanwahl", 2}, {"Stahlanwahl1", 2}, {"Stahllaufbahn", 1}, {"PVCTeileNr", 34},
                                  {"TeileLaenge", 0}, {"TeileLaenge1", 1000}, {"Stahleinschubtiefe", 5},
                                  {"Stahleinschubtiefe1", 5}, {"Stahlnummer", Null}, {"Stahlanwahl2", Null},
                                  {"TeileLaenge2", Null}, {"KappHoeheAnschnitt", 10}};

// The counter list: pieces whose number is not their steel count.
SteelCase list(const char* name, bool convert, int loadMode, int steeldata, const QByteArray& lines, const char* list)
{
    return {name, false, steeldata, lines, {}, true, false, convert, loadMode, list};
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SteelColumns,
    ::testing::Values(
        SteelCase{"ShortForm", false, 0, "KTN0001S112000123L01000",
                  {{"Stahlanwahl", 1}, {"Stahllaenge", 1200}, {"Stahlnummer", "123"}, {"TeileLaenge", 100}}, true},
        SteelCase{"ShortFormSelection3", false, 0, "KTN0001S300500007L01000",
                  {{"Stahlanwahl", 3}, {"Stahllaenge", 50}, {"Stahlnummer", "7"}, {"TeileLaenge", 100}}, false},
        SteelCase{"DesignationsJoined", false, 2,
                  "KTN0001" + sa('1', '1', "0001", "10000", "00050", "001") + "SB ST 4711" +
                      sa('1', '1', "0002", "10000", "00050", "001") + "SBX       L01000",
                  {{"StahlBezeichnung", "ST 4711+X"}, {"StahlNr", "ST 4711"}, {"StahlNr1", "ST 4711"},
                   {"StahlNr2", "X"}, {"TeileLaenge", 100}}, true},
        SteelCase{"DesignationReplacedInSteelMode", true, 0, "KTN0001SBFIRST   SBSECOND  L01000",
                  {{"StahlBezeichnung", "SECOND"}, {"StahlNr", Null}, {"TeileLaenge", 100}}, false},
        SteelCase{"SecondIgnored", false, 0, kTwoSteels, kFirstSteel, true},
        SteelCase{"SecondTens", false, 1, kTwoSteels, with(kFirstSteel, {{"Stahlanwahl", 12}}), true},
        SteelCase{"SecondDouble", false, 2, kTwoSteels,
                  with(kFirstSteel, {{"Stahlanwahl", 12}, {"Stahlanwahl1", 2}, {"Stahlanwahl2", 1}, {"StahlTeileNr", 0},
                                     {"StahlTeileNr1", 34}, {"StahlTeileNr2", 2}, {"Stahllaufbahn2", 2},
                                     {"Stahllaenge", 1500}, {"Stahllaenge1", 1000}, {"Stahllaenge2", 500},
                                     {"Stahleinschubtiefe", 0}, {"Stahleinschubtiefe1", 5}, {"Stahleinschubtiefe2", 3},
                                     {"Stahlnummer1", "123"}, {"Stahlnummer2", "456"}}),
                  true},
        SteelCase{"SteelPieceSecondIgnored", true, 0, kTwoSteels, kFirstSteelPiece, false},
        SteelCase{"SteelPieceSecondTens", true, 1, kTwoSteels, with(kFirstSteelPiece, {{"Stahlanwahl", 12}}), false},
        SteelCase{"SteelPieceSecondDouble", true, 2, kTwoSteels,
                  with(kFirstSteelPiece, {{"Stahlanwahl", 12}, {"Stahlanwahl2", 1}, {"Stahllaufbahn2", 2},
                                          {"StahlTeileNr2", 2}, {"TeileLaenge", 1500}, {"TeileLaenge2", 500},
                                          {"Stahleinschubtiefe2", 3}, {"Stahllaenge2", Null}}), false},
        // Switched off: the short form's selection stands, the double steel adds nothing.
        SteelCase{"SwitchOffDouble", false, 2,
                  "KTN0001S112000123" + sa('2', '1', "0001", "10000", "00050", "123") +
                      sa('1', '2', "0002", "05000", "00030", "456"),
                  {{"Stahlanwahl", 1}, {"Stahlanwahl1", 1}, {"Stahlanwahl2", 0}, {"Stahllaenge", 1500}}, true, true},
        SteelCase{"SwitchOffFirstAlone", false, 2, "KTN0001" + sa('2', '1', "0001", "10000", "00050", "123"),
                  {{"Stahlanwahl", Null}, {"StahlTeileNr", 1}}, false, true},
        SteelCase{"SteelPieceNumberZeroKeepsTheHeads", true, 0,
                  "KB 001L06000\r\nKTN0012" + sa('1', '1', "0000", "10000", "00050", "123"),
                  {{"SELECT PVCTeileNr FROM StahlTeiledaten WHERE TeileNr=12", 12}}, false},
        list("ListThreePieces", true, 1, 0, kTwoShortForms + "\r\nKTN0007S212000123", "#2,0005;#3,0007;"),
        list("ListNoSelectionDoesNotCount", true, 1, 0, "KTN0001S112000123\r\nKTN0003S012000123\r\nKTN0005S112000123",
             "#2,0005;"),
        list("ListConversionOff", false, 1, 0, kTwoShortForms, ""),
        list("ListSeparateMode", true, 0, 0, kTwoShortForms, ""),
        list("ListFirstSteelNumbers", true, 2, 0, "KTN0001SA110005100000005012\r\nKTN0002SA110002100000005012",
             "#5,0001;"),
        list("ListDoubleSteelBoth", true, 1, 2,
             "KTN0001" + sa('1', '1', "0005", "10000", "00050", "123") + sa('1', '1', "0009", "05000", "00030", "456"),
             "#5,0001;#9,0001;")),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
