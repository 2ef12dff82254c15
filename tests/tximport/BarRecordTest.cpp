// "KB" bar record, "KS" bar selection record and "KR" remnant record
// through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

// A sub-field of the wrong width shows as a wrong raw length or as a stop.
const Case kBars[] = {
    {"SubFieldsAndSkippedFields",
     {"KB 001E7B  Fenster links     TB PR 70  TF  weiss             SB ST 4711R 12345A12PB12345678P123  L01000"},
     {{"SELECT Laufbahn, Bezeichnung, ProfilName, Farbe, StahlName, Rohlaenge, ResteTeileNr FROM Stabdaten",
       "7,  Fenster links     ,PR 70,weiss,ST 4711,100,0"}}},
    {"SteelModeNamesAndIgnoresSB",
     {"KB 001TB ST 70  TF  weiss             SB ST 4711L01000"},
     {{"SELECT StahlName, Farbe, Rohlaenge FROM StahlStabdaten", "ST 70,weiss,100"}},
     Steel},
    {"TenthsRule",
     {"KB 001L12345", "KB 002L00000", "KB 003L-0012", "KB 004L  123"},
     {{"SELECT Rohlaenge FROM Stabdaten ORDER BY StabNr", "1234.5;0;0;12.3"}}},
    {"ProfileLookup",
     {"KB 001T12L01000", "KB 002T99L01000", "KB 003T12TB OWN     L01000"},
     {{"SELECT ProfilNr, ProfilName, Rohlaenge FROM Stabdaten ORDER BY StabNr", "12,PVC 12,100;99,99,100;12,OWN,100"}},
     Profiles},
    {"ThreeDigitProfiles",
     {"KB 001T123L01000", "KB 002T 12L01000"},
     {{"SELECT ProfilNr, ProfilName, Rohlaenge FROM Stabdaten ORDER BY StabNr", "123,PVC 123,100;12,PVC 12,100"}},
     Profiles | P3},
    // Job mode: the bar row stays as far as it was read.
    {"TwoDigitProfileStopsOnTheThirdDigit",
     {"KB 001T123L01000"},
     {{"log", "Job: J1.$tx\r\nLine: 1\r\nCol: 10\r\nWrong ID: <3L01000>"}, {"SELECT ProfilNr FROM Stabdaten", ""}},
     JobMode},
    {"LoadIdsAndReleaseNumbers",
     {"KB 001", "KB 002", "KB 003"},
     {{"SELECT LoadID, ID, Freigabe IS NOT NULL FROM Stabdaten ORDER BY StabNr", "0,40,1;1,41,1;2,42,1"},
      {"carry", "43,0"}},
     LoadId | Release,
     [](PieceImport& r) { r.carry.nextBarID = 40; }},
    // Override: bars of the job are found again and lose their old pieces;
    // bar 2 is not in the second file and goes with its piece.
    {"OverrideReusesBarsAndReplacesTheirPieces",
     {"KB 001L01000", "KTN0001W0100100", "KTN0002", "KB 002", "KTN0003W0100100", "--", "KB 001L02000", "KTN0004"},
     {{"SELECT StabNr, Rohlaenge FROM Stabdaten ORDER BY StabNr", "1,200"},
      {"SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr", "4,1"},
      {"SELECT COUNT(*) FROM Werkzeugdaten", "0"}}},
    // Steel pieces are detached; those not attached again go at the end,
    // and so do bar 2 and its piece.
    {"SteelOverrideDeletesPiecesNotAttachedAgain",
     {"KB 001", "KTN0001", "KTN0002", "KB 002", "KTN0003", "--", "KB 001", "KTN0001"},
     {{"SELECT TeileNr, PVCTeileNr FROM StahlTeiledaten ORDER BY TeileNr", "1,1"},
      {"SELECT StabNr FROM StahlStabdaten", "1"}},
     Steel},
    {"SteelImportWithoutOverrideDeletesNothing",
     {"KB 001", "KTN0001"},
     {{"SELECT LosName FROM StahlTeiledaten WHERE PVCTeileNr=0", "A"}},
     Steel,
     [](PieceImport& r) {
         r.import({"KB 001", "KTN0001"}, true, QStringLiteral("A"));
         r.exec(QStringLiteral("UPDATE StahlTeiledaten SET PVCTeileNr=0"));
     }},
};

READER_CASES(BarRecord, kBars);

const char* const kPieceBar = "SELECT StabNr FROM Teiledaten";
const Case kSelections[] = {
    // A bar of the job (leading blanks in its number) is selected as it is:
    // no sub-field is read, and its pieces join it.
    {"FindsABarOfTheJob",
     {"KB  7 TBPR-7    L01000", "KB 008TBPR-8    ", "KS 007L09999TBOTHER   ", "KTN0001"},
     {{"SELECT StabNr, Rohlaenge, ProfilName FROM Stabdaten ORDER BY StabNr", "7,100,PR-7;8,~,PR-8"},
      {kPieceBar, "7"}}},
    {"SteelBarGivesItsSteelNameToItsPieces",
     {"KB 007TBST-7    ", "KB 008TBST-8    ", "KS 007", "KTN0001"},
     {{"SELECT StabNr, StahlName FROM StahlTeiledaten", "7,ST-7"}},
     Steel},
    {"NewBarFromTheSubFields",
     {"KS 009B12TBPR-9    TF  weiss             L01234", "KTN0001"},
     {{"SELECT StabNr, Rohlaenge, ProfilName, Farbe FROM Stabdaten", "9,123.4,PR-9,weiss"}, {kPieceBar, "9"}}},
    {"NewBarProfileNumberAsName",
     {"KS 009T12L00000", "KTN0001"},
     {{"SELECT ProfilName, Rohlaenge FROM Stabdaten", "12,0"}, {kPieceBar, "9"}}},
    {"NewSteelBar",
     {"KS 009TBST-9    ", "KTN0001"},
     {{"SELECT StabNr, StahlName FROM StahlStabdaten", "9,ST-9"}, {"SELECT StabNr FROM StahlTeiledaten", "9"}},
     Steel},
};

READER_CASES(BarSelection, kSelections);

const Case kRemnants[] = {
    {"WithoutSubFieldsLeavesTheBar",
     {"KB 001L05000", "KR"},
     {{"SELECT ResteTeileNr, ResteLaenge FROM Stabdaten", "0,~"}}},
    {"LabelDataColumns",
     {"KB 001", "KRDE23004201234AX"},
     {{"SELECT ResteEtkLaufbahn, ResteEtkDruckerNr, ResteEtkNr, ResteEtkPosition, ResteKennung FROM Stabdaten",
       "2,3,42,123.4,X"}}},
    // The label step: in job mode a label number other than the next piece's
    // goes into the label list; a printer sets the job's label flag.
    {"LabelOfTheNextPieceNeedsNoEntry", {"KB 001", "KTN0041", "KRDE11004200000"}, {{"labels", "1 "}}, JobMode},
    {"OtherLabelNumberIsListed", {"KB 001", "KTN0041", "KRDE11005000000"}, {{"labels", "1 #50,42;"}}, JobMode},
    {"SeparateModeNoEntry", {"KB 001", "KTN0041", "KRDE11005000000"}, {{"labels", "1 "}}},
    // "D" with a printer: one print row per remnant; the job's old print rows
    // go first.
    {"LabelWritesPrintRows",
     {"KB 001", "KRN0012D1", "KB 002", "KRN0013D0", "KB 003", "KRN0014D2"},
     {{"SELECT TeileNr, Etikettendaten FROM Druckdaten WHERE LosName='J1' ORDER BY TeileNr",
       "12,Label(Rest):12;14,Label(Rest):14"}},
     0,
     [](PieceImport& r) {
         r.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J1', 99, 'old')"));
     }},
    {"PrintTableMissingStops",
     {"KB 001", "KRN0012D1"},
     {{"log", "Job: J1.$tx\r\nPiece:0\r\nLine:2\r\nCol: 8\r\nSel: 1\r\nBuf:\r\nOpening printdata table in database?"},
      {"box", "Job: J1.$tx not correct loaded!!\r\n\r\nOpening printdata table in database?\r\n"}},
     JobMode | NoPrint},
    // The bar stays open: a piece that follows still names its steel.
    {"BarStaysOpenForThePiecesThatFollow",
     {"KB 001", "KRN0012L01500", "KTN0001S101000123SBST-A    "},
     {{"SELECT StabNr, StahlName, ResteLaenge FROM Stabdaten", "1,ST-A,150"}}},
};

READER_CASES(Remnant, kRemnants);

} // namespace
