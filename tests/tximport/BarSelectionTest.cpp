// "KS" bar selection record through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const char* const kPieceBar = "SELECT StabNr FROM Teiledaten";

const Case kCases[] = {
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
    {"NewBarThreeDigitProfileNumber",
     {"KS 009T123L01000", "KTN0001"},
     {{"SELECT ProfilName, Rohlaenge FROM Stabdaten", "123,100"}},
     P3},
    {"NewSteelBar",
     {"KS 009TBST-9    ", "KTN0001"},
     {{"SELECT StabNr, StahlName FROM StahlStabdaten", "9,ST-9"}, {"SELECT StabNr FROM StahlTeiledaten", "9"}},
     Steel},
};

READER_CASES(BarSelection, kCases);

} // namespace
