// "KB" bar record through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

// Records end with "L01000": a sub-field of the wrong width shows as a wrong
// raw length or as a stop.
const Case kCases[] = {
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
    {"SteelProfileLookup",
     {"KB 001T12L01000"},
     {{"SELECT StahlNr, StahlName, Rohlaenge FROM StahlStabdaten", "12,PVC 12,100"}},
     Profiles | Steel},
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
    {"SteelBarsGetNoReleaseNumber", {"KB 001"}, {{"SELECT ID, Freigabe FROM StahlStabdaten", "~,~"}}, Steel | Release},
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

READER_CASES(BarRecord, kCases);

} // namespace
