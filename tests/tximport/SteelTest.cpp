// Piece sub-field "S" (steel reinforcement) through the real importer.

#include "ImportHelpers.h"

#include "config/SettingsForm.h"

namespace {

using namespace readertest;

template <int steeldata, bool convert = false, int loadMode = 0, bool switchOff = false> void plant(PieceImport& r)
{
    r.plant.ctx.settings.Steeldata = static_cast<TriState>(steeldata);
    r.plant.ctx.settings.ConvToPvcNum = convert;
    r.plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(loadMode);
    if (switchOff)
        r.plant.ctx.settings.steelDefault = SteelDefault::SwitchOff;
}

// "SA" forms: "SA" selection lane, number(4) length(5) depth(5) steel number(3). Two of them
// (SA21 0034 10000 00050 123, SA12 0002 05000 00030 456), then "Q": the second is 21 characters
// wide whatever it does.
const char* const kTwoSteels = "KTN0001L00000SA2100341000000050123SA1200020500000030456Q0010000200";
const char* const kPiece =
    "SELECT Stahlanwahl, Stahlanwahl1, Stahlanwahl2, Stahllaufbahn, Stahllaufbahn2, StahlTeileNr, StahlTeileNr1, "
    "StahlTeileNr2, Stahllaenge, Stahllaenge1, Stahllaenge2, Stahleinschubtiefe, Stahleinschubtiefe1, "
    "Stahleinschubtiefe2, Stahlnummer, Stahlnummer1, Stahlnummer2, KappHoeheAnschnitt FROM Teiledaten";
const char* const kSteelPiece =
    "SELECT Stahlanwahl, Stahlanwahl1, Stahlanwahl2, Stahllaufbahn, Stahllaufbahn2, PVCTeileNr, StahlTeileNr2, "
    "TeileLaenge, TeileLaenge1, TeileLaenge2, Stahleinschubtiefe, Stahleinschubtiefe1, Stahleinschubtiefe2, "
    "Stahlnummer, Stahllaenge2, KappHoeheAnschnitt FROM StahlTeiledaten";
const char* const kShort = "SELECT Stahlanwahl, Stahllaenge, Stahlnummer, TeileLaenge FROM Teiledaten";

// "steel": the job's steel flag and the counter list of pieces whose number is not their steel count.
const Case kCases[] = {
    {"ShortForm", {"KTN0001S112000123L01000"}, {{kShort, "1,1200,123,100"}, {"steel", "1 "}}},
    {"ShortFormSelection3", {"KTN0001S300500007L01000"}, {{kShort, "3,50,7,100"}, {"steel", "0 "}}},
    {"DesignationsJoined",
     {"KTN0001SA1100011000000050001SB ST 4711SA1100021000000050001SBX       L01000"},
     {{"SELECT StahlBezeichnung, StahlNr, StahlNr1, StahlNr2, TeileLaenge FROM Teiledaten",
       "ST 4711+X,ST 4711,ST 4711,X,100"}},
     0,
     plant<2>},
    {"DesignationReplacedInSteelMode",
     {"KTN0001SBFIRST   SBSECOND  L01000"},
     {{"SELECT StahlBezeichnung, StahlNr, TeileLaenge FROM StahlTeiledaten", "SECOND,~,100"}, {"steel", "0 "}},
     Steel},
    {"SecondIgnored",
     {kTwoSteels},
     {{kPiece, "2,~,~,1,~,34,~,~,1000,~,~,5,~,~,123,~,~,10"}, {"steel", "1 "}},
     0,
     plant<0>},
    {"SecondTens", {kTwoSteels}, {{kPiece, "12,~,~,1,~,34,~,~,1000,~,~,5,~,~,123,~,~,10"}}, 0, plant<1>},
    {"SecondDouble", {kTwoSteels}, {{kPiece, "12,2,1,1,2,0,34,2,1500,1000,500,0,5,3,123,123,456,10"}}, 0, plant<2>},
    {"SteelPieceSecondDouble",
     {kTwoSteels},
     {{kSteelPiece, "12,2,1,1,2,34,2,1500,1000,500,5,5,3,~,~,10"}},
     Steel,
     plant<2>},
    // Switched off: the short form's selection stands, the double steel adds nothing.
    {"SwitchOffDouble",
     {"KTN0001S112000123SA2100011000000050123SA1200020500000030456"},
     {{"SELECT Stahlanwahl, Stahlanwahl1, Stahlanwahl2, Stahllaenge FROM Teiledaten", "1,1,0,1500"}, {"steel", "1 "}},
     0,
     plant<2, false, 0, true>},
    {"SwitchOffFirstAlone",
     {"KTN0001SA2100011000000050123"},
     {{"SELECT Stahlanwahl, StahlTeileNr FROM Teiledaten", "~,1"}, {"steel", "0 "}},
     0,
     plant<2, false, 0, true>},
    {"SteelPieceNumberZeroKeepsTheHeads",
     {"KB 001L06000", "KTN0012SA1100001000000050123"},
     {{"SELECT PVCTeileNr FROM StahlTeiledaten WHERE TeileNr=12", "12"}},
     Steel},
    {"ListThreePieces",
     {"KTN0001S112000123", "KTN0005S112000123", "KTN0007S212000123"},
     {{"steel", "1 #2,0005;#3,0007;"}},
     0,
     plant<0, true, 1>},
    {"ListNoSelectionDoesNotCount",
     {"KTN0001S112000123", "KTN0003S012000123", "KTN0005S112000123"},
     {{"steel", "1 #2,0005;"}},
     0,
     plant<0, true, 1>},
    {"ListConversionOff", {"KTN0001S112000123", "KTN0005S112000123"}, {{"steel", "1 "}}, 0, plant<0, false, 1>},
    {"ListSeparateMode", {"KTN0001S112000123", "KTN0005S112000123"}, {{"steel", "1 "}}, 0, plant<0, true, 0>},
    {"ListFirstSteelNumbers",
     {"KTN0001SA110005100000005012", "KTN0002SA110002100000005012"},
     {{"steel", "1 #5,0001;"}},
     0,
     plant<0, true, 2>},
    {"ListDoubleSteelBoth",
     {"KTN0001SA1100051000000050123SA1100090500000030456"},
     {{"steel", "1 #5,0001;#9,0001;"}},
     0,
     plant<2, true, 1>},
};

READER_CASES(Steel, kCases);

} // namespace
