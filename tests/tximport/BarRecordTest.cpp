// "KB" bar record, "KS" bar selection record and "KR" remnant record
// through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

void bar40(PieceImport& r)
{
    r.carry.nextBarID = 40;
}
// Job A's steel piece detached by an earlier override (no PVC piece).
void detachedSteel(PieceImport& r)
{
    r.import(crlf({"KB 001", "KTN0001"}), true, QStringLiteral("A"));
    r.exec(QStringLiteral("UPDATE StahlTeiledaten SET PVCTeileNr=0"));
}

const char* const kSkipped =
    "KB 001E7B  Fenster links     TB PR 70  TF  weiss             SB ST 4711R 12345A12PB12345678P123  L01000";
const char* const kBar = "SELECT Laufbahn, Bezeichnung, ProfilName, Farbe, StahlName, Rohlaenge FROM Stabdaten";
const char* const kStBar = "SELECT StahlName, Farbe, Rohlaenge FROM StahlStabdaten";
const char* const kRaw = "SELECT Rohlaenge FROM Stabdaten";
const char* const kProf2 = "SELECT ProfilNr, ProfilName FROM Stabdaten";
const char* const kStPcs = "SELECT TeileNr, PVCTeileNr FROM StahlTeiledaten";
const char* const kDetached = "SELECT LosName FROM StahlTeiledaten WHERE PVCTeileNr=0";
const char* const kProf = "SELECT ProfilNr, ProfilName, Rohlaenge FROM Stabdaten";
const char* const kIds = "SELECT LoadID, ID, Freigabe IS NOT NULL FROM Stabdaten";
const char* const kP4W = "KTN0004W0100100";
const char* const kP1W = "KTN0001W0100100";
const char* const kKS4 = "KS 004TBST-4    ";
const char* const kStPcBar = "SELECT StabNr, StahlName FROM StahlTeiledaten";
const char* const kTools = "SELECT COUNT(*) FROM Werkzeugdaten";
const char* const kPcBar = "SELECT TeileNr, StabNr FROM Teiledaten";
const std::vector<const char*> kTwice = {"KB 001L01000", "KTN0001W0100100", "KTN0002", "KB 002", "KTN0003W0100100",
                                         "--",           "KB 001L02000",    "KTN0004"};
const std::vector<const char*> kSteelTwice = {"KB 001",  "KTN0001", "KTN0002", "KB 002",
                                              "KTN0003", "--",      "KB 001",  "KTN0001"};

const char* const kSel = "SELECT StabNr, Rohlaenge, ProfilName FROM Stabdaten";
const char* const kKB7 = "KB  7 TBPR-7    L01000";
const char* const kStBarName = "SELECT StabNr, StahlName FROM StahlStabdaten";
const char* const kPcBars = "SELECT StabNr FROM Teiledaten";

void oldRow(PieceImport& r)
{
    r.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J1', 99, 'old')"));
}
const char* const kRest =
    "SELECT ResteEtkLaufbahn, ResteEtkDruckerNr, ResteEtkNr, ResteEtkPosition, ResteKennung FROM Stabdaten";
const char* const kPrintRows = "SELECT TeileNr, Etikettendaten FROM Druckdaten";
const char* const kSB = "KTN0001S101000123SBST-A    ";

const Case kBarRecords[] = {
    // "KB": a sub-field of the wrong width shows as a wrong raw length or as a stop. Job mode: a stopped bar row
    // stays as far as it was read. Override: bars of the job are found again and lose their old pieces; bar 2
    // is not in the second file and goes with its piece. Steel pieces are detached; those not attached again
    // go at the end, and so do bar 2 and its piece.
    {"SkippedFields", {kSkipped}, {{kBar, "7,  Fenster links     ,PR 70,weiss,ST 4711,100"}}},
    {"SteelSB", {"KB 001TB ST 70  TF  weiss             SB ST 4711L01000"}, {{kStBar, "ST 70,weiss,100"}}, Steel},
    {"TenthsRule", {"KB 001L12345", "KB 002L00000", "KB 003L-0012", "KB 004L  123"}, {{kRaw, "1234.5;0;0;12.3"}}},
    // The profile database is opened once for a file's lookups and closed with it; a missing one is tried at
    // every lookup.
    {"Profiles",
     {"KB 001T12", "KB 002T99", "KB 003T12TB OWN     "},
     {{kProf2, "12,PVC 12;99,99;12,OWN"}, {"profileOpens", "1 0"}},
     Profiles},
    {"NoProfileDatabase", {"KB 001T12", "KB 002T12"}, {{kProf2, "12,12;12,12"}, {"profileOpens", "2 0"}}},
    {"ThreeDigitProfiles", {"KB 001T123L01000", "KB 002T 12"}, {{kProf, "123,PVC 123,100;12,PVC 12,~"}}, Profiles | P3},
    {"TwoDigitProfileStops", {"KB 001T123L01000"}, {{"log", WRONG_ID(1, 10) "<3L01000>"}, {kProf, ""}}, JobMode},
    {"LoadAndReleaseIds", {"KB 001", "KB 002"}, {{kIds, "0,40,1;1,41,1"}, {"carry", "42,0"}}, LoadId | Release, bar40},
    {"OverrideReusesBars", kTwice, {{kRaw, "200"}, {kPcBar, "4,1"}, {kTools, "0"}}},
    // A job delivered again: bars selected by "KS" and bars of pieces of their own get their pieces and
    // machining once, not a second time.
    {"OverrideSelectedBar", {"KS 004T12", kP4W, "--", "KS 004T12", kP4W}, {{kPcBar, "4,4"}, {kTools, "1"}}},
    {"OverrideOwnBar", {kP1W, "KTN0002", "--", kP1W, "KTN0002"}, {{kPcBar, "1,1;2,2"}, {kTools, "1"}}},
    {"SteelOverrideSelectedBar", {kKS4, "KTN0004", "--", kKS4, "KTN0004"}, {{kStPcBar, "4,ST-4"}}, Steel},
    {"SteelOverride", kSteelTwice, {{kStPcs, "1,1"}, {"SELECT StabNr FROM StahlStabdaten", "1"}}, Steel},
    {"SteelWithoutOverride", {"KB 001", "KTN0001"}, {{kDetached, "A"}}, Steel, detachedSteel},
    // "KS": a bar of the job (leading blanks in its number) is selected as it is: no sub-field is read, and its
    // pieces join it.
    {"FindsAJobBar", {kKB7, "KB 008", "KS 007L09999TBOTHER", "KTN0001"}, {{kSel, "7,100,PR-7;8,~,~"}, {kPcBars, "7"}}},
    {"SteelNamesPieces", {"KB 007TBST-7    ", "KB 008TBST-8    ", "KS 007", "KTN0001"}, {{kStPcBar, "7,ST-7"}}, Steel},
    {"New", {"KS 009B12TBPR-9    TF  weiss             L01234", "KTN0001"}, {{kSel, "9,123.4,PR-9"}, {kPcBars, "9"}}},
    {"NewSteelBar", {"KS 009TBST-9    ", "KTN0001"}, {{kStBarName, "9,ST-9"}, {kStPcBar, "9,ST-9"}}, Steel},
    // "KR", the label step: in job mode a label number other than the next piece's goes into the label list; a
    // printer sets the job's label flag. "D" with a printer: one print row per remnant; the job's old print
    // rows go first. The bar stays open: a piece that follows still names its steel.
    {"NoSubFields", {"KB 001L05000", "KR"}, {{"SELECT ResteTeileNr, ResteLaenge FROM Stabdaten", "0,~"}}},
    {"LabelDataColumns", {"KB 001", "KRDE23004201234AX"}, {{kRest, "2,3,42,123.4,X"}}},
    {"LabelOfTheNextPiece", {"KB 001", "KTN0041", "KRDE11004200000"}, {{"labels", "1 "}}, JobMode},
    {"OtherLabelNumberIsListed", {"KB 001", "KTN0041", "KRDE11005000000"}, {{"labels", "1 #50,42;"}}, JobMode},
    {"SeparateModeNoEntry", {"KB 001", "KTN0041", "KRDE11005000000"}, {{"labels", "1 "}}},
    {"LabelPrintRows", {"KB 001", "KRN0012D1", "KB 002", "KRN0013D0"}, {{kPrintRows, "12,Label(Rest):12"}}, 0, oldRow},
    {"PrintTableMissingStops",
     {"KB 001", "KRN0012D1"},
     {{"log", "Job: J1.$tx\r\nPiece:0\r\nLine:2\r\nCol: 8\r\nSel: 1\r\nBuf:\r\nOpening printdata table in database?"},
      {"box", "Job: J1.$tx not correct loaded!!\r\n\r\nOpening printdata table in database?\r\n"}},
     JobMode | NoPrint},
    {"BarStaysOpen", {"KB 001", "KRN0012L01500", kSB}, {{"SELECT StahlName, ResteLaenge FROM Stabdaten", "ST-A,150"}}},
};
READER_CASES(BarRecord, kBarRecords);

} // namespace
