// The "KTN" piece record and each of its sub-fields through the real
// importer, with the failure exits of the sub-fields and their reports.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

// The steel default; piece 12 is listed with PVC piece 34, piece 13 is not.
template <int saDefault> void sd(PieceImport& r)
{
    r.plant.ctx.settings.steelDefault = static_cast<SteelDefault>(saDefault);
    r.plant.job.pvcPieceNumbers.append(QStringLiteral("12"), QStringLiteral("0034"));
}
void id7(PieceImport& r)
{
    r.carry.nextPieceID = 7;
}

const char* const kStId = "SELECT ID FROM StahlTeiledaten";
const char* const kStK = "SELECT TeileNr, Kommission FROM StahlTeiledaten";
const char* const kBox = "SELECT WagenNr, FachNr, Kommission FROM Teiledaten ORDER BY TeileNr";
const char* const kStPc = "SELECT TeileNr, StabNr, PVCLosName, Stahllaufbahn, PVCTeileNr, StahlName, "
                          "Stahlanwahl FROM StahlTeiledaten ORDER BY TeileNr";
const char* const kPcBar = "SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr";
const char* const kReleasedWithTheJob = "SELECT COUNT(*) FROM StahlTeiledaten p JOIN StahlLosNamen j "
                                        "ON p.LosName = j.LosName AND p.Freigabe = j.Freigabe";
const char* const kKS = "KS 001TBST-1    ";
const std::vector<const char*> kTwo = {"KB 001", "KTN0001", "KTN0002"};
const std::vector<const char*> kF3 = {"KB 001", "KTN0001F034K1234567", "KTN0002FW012034K1234567",
                                      "KTN0003FSxyz012034002K1234567", "KTN0004K1234567PPOS01T12"};
const std::vector<const char*> kF4 = {"KB 001", "KTN0001F0345K1234567", "KTN0002FW0120345K1234567",
                                      "KTN0003FSxyz0120345002K1234567"};

const char* const kTool =
    "SELECT BearbNr, WerkzPos, Tiefe, YOffset, ZOffset, (SELECT TeileLaenge FROM Teiledaten) FROM Werkzeugdaten";
template <int choice> void wb(PieceImport& r)
{
    r.plant.ctx.settings.machiningLayout = static_cast<MachiningLayout>(choice);
}

const char* const kPiece = "SELECT (SELECT COUNT(*) FROM Stabdaten), (SELECT COUNT(*) FROM Werkzeugdaten), "
                           "TeileLaenge, AnGehrung FROM Teiledaten WHERE TeileNr=1";
const char* const kOwnBar =
    "SELECT StabNr, ProfilName, Farbe, Bezeichnung, (SELECT TeileLaenge FROM Teiledaten) FROM Stabdaten";
const char* const kStBar = "SELECT StahlName, Farbe FROM StahlStabdaten";

const char* const kAngles = "SELECT AnGehrung, AbGehrung, AngleOnCutID, AngleOffCutID, TeileLaenge FROM Teiledaten";
template <bool angles, bool ids, bool idColumns = true> void cv(PieceImport& r)
{
    r.plant.ctx.settings.WinkelKonverter = angles;
    r.plant.ctx.settings.WinkelIDKonverter = ids;
    if (!idColumns)
        r.exec(QStringLiteral("ALTER TABLE Teiledaten DROP COLUMN AngleOnCutID"));
}
const char* const kLen = "SELECT TeileLaenge, KappHoeheAnschnitt FROM Teiledaten";
const char* const kRaw = "SELECT Rohlaenge FROM Stabdaten";
const char* const kP7 = "KTN0007L12345Q0010000200";

template <int compare, bool convert, int loadMode = 1> void lb(PieceImport& r)
{
    r.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES "
                          "('J1', 5, 'old'), ('J2', 5, 'other')"));
    r.plant.ctx.settings.CompareDEandKTN = static_cast<TriState>(compare);
    r.plant.ctx.settings.ConvToPvcNum = convert;
    r.plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(loadMode);
}
const char* const kPrint = "SELECT LosName, TeileNr, Etikettendaten FROM Druckdaten ORDER BY 1, 2";
const char* const kLabel = "SELECT EtikettLaufbahn, EtikettDruckerNr, EtikettNr, EtikettPosition FROM Teiledaten";
const char* const kShortRows = "J1,12,Label:12;J1,13,Label:13;J2,5,other";
#define MISMATCH "DE130013... <Wrong piece number> KTN0012..."

// "S": Steeldata, ConvToPvcNum, the load mode, the steel default switched off.
template <int steeldata, bool convert = false, int loadMode = 0, bool switchOff = false> void st(PieceImport& r)
{
    r.plant.ctx.settings.Steeldata = static_cast<TriState>(steeldata);
    r.plant.ctx.settings.ConvToPvcNum = convert;
    r.plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(loadMode);
    if (switchOff)
        r.plant.ctx.settings.steelDefault = SteelDefault::SwitchOff;
}
const char* const k2SA = "KTN0001L00000SA2100341000000050123SA1200020500000030456Q0010000200";
const char* const kSteel =
    "SELECT Stahlanwahl, Stahlanwahl1, Stahlanwahl2, Stahllaufbahn, Stahllaufbahn2, StahlTeileNr, StahlTeileNr1, "
    "StahlTeileNr2, Stahllaenge, Stahllaenge1, Stahllaenge2, Stahleinschubtiefe, Stahleinschubtiefe1, "
    "Stahleinschubtiefe2, Stahlnummer, Stahlnummer1, Stahlnummer2, KappHoeheAnschnitt FROM Teiledaten";
const char* const kShort = "SELECT Stahlanwahl, Stahllaenge, Stahlnummer, TeileLaenge FROM Teiledaten";
const char* const kDesig = "SELECT StahlBezeichnung, StahlNr, StahlNr1, StahlNr2, TeileLaenge FROM Teiledaten";
const char* const kJoined = "KTN0001SA1100011000000050001SB ST 4711SA1100021000000050001SBX       L01000";
const char* const kOff = "KTN0001S112000123SA2100011000000050123SA1200020500000030456";
const char* const kStDesig = "SELECT StahlBezeichnung, StahlNr, TeileLaenge FROM StahlTeiledaten";
const char* const kSel = "SELECT Stahlanwahl, Stahlanwahl1, Stahlanwahl2, Stahllaenge FROM Teiledaten";
const char* const kStPvc = "SELECT PVCTeileNr FROM StahlTeiledaten";
const char* const kS3 = "KTN0003S012000123";
const char* const kS5 = "KTN0005S112000123";
const char* const kS7 = "KTN0007S212000123";

const char* const kNames = "SELECT s.StahlName, t.StahlNr, t.StahlNr1, t.StahlNr2 FROM Teiledaten t "
                           "JOIN Stabdaten s ON s.StabNr=t.StabNr";
void otherJob(PieceImport& r)
{
    r.exec(QStringLiteral("INSERT INTO LosNamen (LosName) VALUES ('OTHER')"));
    r.exec(QStringLiteral("INSERT INTO Teiledaten (LosName, TeileNr, LoadID) VALUES ('OTHER', 1, 16)"));
}
const char* const kSA = "KTN0001SA2100010100000000123SA1100020100000000123SBST-A    ";
const char* const kSA0 = "KTN0001SA1100010100000000123SA0100020100000000123SBST-A    SBST-B    ";
const char* const kSB = "KTN0001S101000123SBST-A    ";
const char* const kP2 = "KTN0002S101000123";
const char* const kP3 = "KTN0003S101000123";
const char* const kBarSteel = "SELECT StabNr, StahlName FROM Stabdaten ORDER BY StabNr";
const char* const kStNames =
    "SELECT s.StahlName, t.StahlNr FROM StahlTeiledaten t JOIN StahlStabdaten s ON s.StabNr=t.StabNr";
const char* const kLoadIds = "SELECT LoadID FROM Teiledaten WHERE LosName='J1'";

#define AT_COLUMN_8 "Job: J1.$tx\r\nPiece:1\r\nLine:1\r\nCol: 8\r\nSel: "
#define MISTYPED "\r\nType mismatch"
#define NO_PRINT_TABLE "Opening printdata table in database?"
const char* const kAdded = "SELECT TeileNr, BearbNr IS NULL AND WerkzPos IS NULL FROM Werkzeugdaten";

const Case kPieces[] = {
    // "F": compartment only, "W" trolley, "S" shelf; the commission shows the width taken. Pieces without a
    // current bar get a bar numbered like the piece. A steel piece links to the PVC piece listed for it.
    {"Compartments3", kF3, {{kBox, "~,34,1234567;12,34,1234567;12,2034,1234567;~,~,1234567"}}},
    {"Compartments4", kF4, {{kBox, "~,345,1234567;12,345,1234567;12,2345,1234567"}}, F4},
    {"Compartment3LeavesADigit", {"KB 001", "KTN0001F0345"}, {{"log", WRONG_ID(2, 12) "<5 ... >"}}},
    {"SteelManual", {kKS, "KTN0012", "KTN0013"}, {{kStPc, "12,1,J1,1,34,ST-1,1;13,1,J1,1,13,ST-1,1"}}, Steel, sd<1>},
    {"SteelReleaseIDs", kTwo, {{kStId, "7;8"}, {"carry", "0,9"}, {kReleasedWithTheJob, "2"}}, Steel | Release, id7},
    {"SteelAgain", {"KB 001", "KTN0001K1111111", "--", "KB 001", "KTN0001K2", "KTN0002"}, {{kStK, "1,2;2,~"}}, Steel},
    // "W": the columns of the machining row; the piece length shows the width taken. The plant's list
    // layout decides where the two further values go.
    {"FixedBlankInNumber", {"KTN0012W12 0015L01000"}, {{kTool, "12,1.5,~,~,~,100"}}},
    {"ListLayoutChosen", {"KTN0012WB 3,1200,55,12;L01000"}, {{kTool, "3,120,1.2,~,5.5,100"}}, 0, wb<1>},
    {"ListZeroAndNegative", {"KTN0012WB 3,-5,-5,0;L01000"}, {{kTool, "3,0,-0.5,~,0,100"}}, 0, wb<4>},
    {"ListNoSemicolonTakesTheRest", {"KTN0012WB 3,1200,55,12"}, {{kTool, "3,120,5.5,~,1.2,~"}}, 0, wb<4>},
    // After "C", a next line beginning "KT" goes on with the same piece; a bar record there is read, and the
    // pieces after it belong to the new bar. "A" and "X" fill the bar made for the piece alone, never a bar
    // record's.
    {"LeadingBlanks", {"KTN0001L01000C", "   KTGG45009000"}, {{kPiece, "1,0,100,45"}}},
    {"NextLineIsABarRecord", {"KB 001", "KTN0001C", "KB 002", "KTN0002"}, {{kPcBar, "1,1;2,2"}, {kPiece, "2,0,~,~"}}},
    {"EndOfFile", {"KTN0001L01000C"}, {{kPiece, "1,0,100,~"}}, Raw},
    {"BarThreeDigits", {"KTN0007A123RWL01000"}, {{kOwnBar, "7,123,RW,~,100"}}, P3},
    {"BarDesignation", {"KTN0007X FRAME LEFT         L01000"}, {{kOwnBar, "7,~,~, FRAME LEFT         ,100"}}},
    {"SteelBarName", {"KTN0007ABST 4711 RWX  STEEL             L01000"}, {{kStBar, "ST 4711,RW"}}, Steel},
    {"KeepsRecordBar", {"KB 001TFWHITE  ", "KTN0007A12RWX FRAME LEFT         L01000"}, {{kOwnBar, "1,~,WHITE,~,100"}}},
    // "G" and "L". Explicit angles say "no code" in the angle-ID columns; skipped sub-fields consume their
    // width and write nothing. Piece 7 comes before any bar: its own bar gets the length as raw length.
    {"SignTakesAColumn", {"KTN0001GG+12500900L01000"}, {{kAngles, "12.5,9,0,0,100"}}},
    {"OneZeroConverted", {"KTN0001GG45000000L01000"}, {{kAngles, "45,90,0,0,100"}}, 0, cv<true, false>},
    {"CodesConverted", {"KTN0001G37L01000"}, {{kAngles, "403,407,3,7,100"}}, 0, cv<false, true>},
    {"NoIdColumns", {"KTN0001G12"}, {{"SELECT AnGehrung, AbGehrung FROM Teiledaten", "1,2"}}, 0, cv<0, 1, 0>},
    {"ConversionWinsOverExplicit", {"KTN0001GG45009000G37L01000"}, {{kAngles, "403,407,3,7,100"}}, 0, cv<0, 1>},
    {"ExplicitAfterCodesKeepsIds", {"KTN0001G12GG30006000L01000"}, {{kAngles, "30,60,1,2,100"}}},
    {"GA18", {"KTN0001GA1234567890123456L01000"}, {{kAngles, "~,~,~,~,100"}}},
    {"LengthInTenths", {kP7, "KB 001", "KTN0008L12345"}, {{kLen, "1234.5,10;1234.5,~"}, {kRaw, "1234.5;~"}}},
    {"NegativeLength", {"KTN0007L-0012", "KB 001", "KTN0008Lab   "}, {{kLen, "0,~;0,~"}, {kRaw, "0;~"}}},
    // "D": CompareDEandKTN, ConvToPvcNum and the load mode, with print rows of this and another job. The
    // first short label with a printer replaces the job's print rows.
    {"NoPrinter", {"KTN0012D0"}, {{kLabel, "~,~,~,~"}, {"labels", "0 "}, {kPrint, "J1,5,old;J2,5,other"}}, 0, lb<0, 0>},
    {"Short", {"KTN0012D3", "KTN0013D1"}, {{kLabel, "~,3,12,~;~,1,13,~"}, {kPrint, kShortRows}}, 0, lb<0, 0, 0>},
    {"Mismatch",
     {"KTN0012DE13001300125"},
     {{"log", AT_COLUMN_8 "0013\r\nBuf:00125\r\n" MISMATCH},
      {"box", "Job: J1.$tx not correct loaded!!\r\n\r\n" MISMATCH "\r\n"},
      {"labels", "1 "}},
     0,
     lb<1, 0>},
    {"MismatchCheckGreyed", {"KTN0012DE13001300125"}, {{"labels", "1 "}}, 0, lb<2, false>},
    {"ListOtherNumber", {"KTN0012DE13000700125"}, {{"labels", "1 #7,0012;"}}, 0, lb<0, true>},
    {"ListSeparateMode", {"KTN0012DE13000700125"}, {{"labels", "1 "}}, 0, lb<0, true, 0>},
    // "SA": selection lane, number(4) length(5) depth(5) steel number(3). Two of them, then "Q": the second
    // is 21 characters wide whatever it does. Switched off, the short form's selection stands and the double
    // steel adds nothing. "steel": the job's steel flag and the counter list of pieces whose number is not
    // their steel count.
    {"ShortForm", {"KTN0001S112000123L01000"}, {{kShort, "1,1200,123,100"}, {"steel", "1 "}}},
    {"DesignationsJoined", {kJoined}, {{kDesig, "ST 4711+X,ST 4711,ST 4711,X,100"}}, 0, st<2>},
    {"DesignationInSteel", {"KTN0001SBFIRST   SBSECOND  L01000"}, {{kStDesig, "SECOND,~,100"}, {"steel", "0 "}}, Steel},
    {"SecondIgnored", {k2SA}, {{kSteel, "2,~,~,1,~,34,~,~,1000,~,~,5,~,~,123,~,~,10"}}, 0, st<0>},
    {"SecondDouble", {k2SA}, {{kSteel, "12,2,1,1,2,0,34,2,1500,1000,500,0,5,3,123,123,456,10"}}, 0, st<2>},
    {"SwitchOffDouble", {kOff}, {{kSel, "1,1,0,1500"}, {"steel", "1 "}}, 0, st<2, 0, 0, 1>},
    {"SteelPieceNumberZero", {"KB 001", "KTN0012SA1100001000000050123"}, {{kStPvc, "12"}}, Steel},
    {"ListSkipsNoSelection", {"KTN0001S112000123", kS3, kS5, kS7}, {{"steel", "1 #2,0005;#3,0007;"}}, 0, st<0, 1, 1>},
    // Completion: short steel form "S<selection>..." and "SA" entries, each followed by the "SB" steel names.
    // The name carries over to the next pieces until a bar selection record.
    {"ManualKeepsTheBarsName", {"KB 001SBOLD     ", "KTN0001S101000123SBST-A    "}, {{kNames, "OLD,ST-A,ST-A,~"}}},
    {"AutomaticOverwritesBar", {"KB 001SBOLD     ", "KTN0001S201000123SBST-A    "}, {{kNames, "ST-A,ST-A,ST-A,~"}}},
    {"NoSelectionEmptiesThePiecesNames", {"KB 001", "KTN0001S001000123SBST-A    "}, {{kNames, "~,,,"}}},
    {"TwelveNamesTheSecondSteel", {"KB 001", kSA}, {{kNames, "ST-A,ST-A,ST-A,ST-A"}}, 0, st<1>},
    {"SecondSelectionZeroEmptiesTheSecondName", {"KB 001", kSA0}, {{kNames, "ST-A,ST-A,ST-A,"}}, 0, st<2>},
    {"SteelNameCarriesOver", {"KB 001", kSB, "KB 002", kP2, "KS 003", kP3}, {{kBarSteel, "1,ST-A;2,ST-A;3,~"}}},
    {"SteelModeChangesNoSteelNames", {"KB 001", "KTN0001S201000123SBST-A    "}, {{kStNames, "~,~"}}, Steel},
    {"LoadIdsContinueTheLargestOne", kTwo, {{kLoadIds, "17;18"}}, LoadId, otherJob},
    // The report of a failure in the first sub-field of the first piece; the stop exit in job mode keeps a
    // machining row as it was added.
    {"Blank", {"KTN0012W05     L01000"}, {{"log", AT_COLUMN_8 "     \r\nBuf:L01000" MISTYPED}, {kAdded, ""}}, JobMode},
    {"ListPosition", {"KTN0012WB 3,12a0;"}, {{"log", AT_COLUMN_8 "12a0\r\nBuf:" MISTYPED}, {kAdded, ""}}, JobMode},
    {"ListValue3", {"KTN0012WB 3,1200,55,1 2;"}, {{"log", AT_COLUMN_8 "1 2\r\nBuf:" MISTYPED}}},
    {"AngleCode", {"KTN0001GXYL01000"}, {{"log", AT_COLUMN_8 "X\r\nBuf:GXYL01000\r\nData type conversion error."}}},
    {"NoPrintTable", {"KTN0012D3L01000"}, {{"log", AT_COLUMN_8 "3\r\nBuf:L01000\r\n" NO_PRINT_TABLE}}, NoPrint},
    {"WrongIdLowerCase", {"KTN0001 w0500150"}, {{"log", WRONG_ID(1, 9) "<w0500150 ... >"}}},
    {"NewPieceAfterC", {"KTN0001C", "KTN0002L01000"}, {{"log", WRONG_ID(2, 3) "<N0002L01000 ... >"}}},
    {"ColumnOfTheContinuation", {"KTN0001L01000C", "KTGG45009000Z1"}, {{"log", WRONG_ID(2, 13) "<Z1 ... >"}}},
};
READER_CASES(PieceRecord, kPieces);

} // namespace
