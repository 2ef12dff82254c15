// "KTN" piece record head and its sub-fields "F", "K", "P", "T" through the
// real importer.

#include "ImportHelpers.h"

#include "config/SettingsForm.h"

namespace {

using namespace readertest;

const char* const kCompartments = "SELECT WagenNr, FachNr, Kommission FROM Teiledaten ORDER BY TeileNr";
const char* const kSteelPieces = "SELECT TeileNr, StabNr, PVCLosName, Stahllaufbahn, PVCTeileNr, StahlName, "
                                 "Stahlanwahl FROM StahlTeiledaten ORDER BY TeileNr";

// A steel piece links to the PVC piece the production-data file listed for
// it, or else to its own number.
template <int saDefault> void steelSetup(PieceImport& r)
{
    r.plant.ctx.settings.steelDefault = static_cast<SteelDefault>(saDefault);
    r.plant.job.pvcPieceNumbers.append(QStringLiteral("12"), QStringLiteral("0034"));
}

// "F" forms: compartment only, "W" trolley, "S" shelf; the commission after
// it shows the width.
const Case kCases[] = {
    {"CompartmentsThreeDigits",
     {"KB 001", "KTN0001F034K1234567", "KTN0002FW012034K1234567", "KTN0003FSxyz012034002K1234567",
      "KTN0004K1234567PPOS01T12"},
     {{kCompartments, "~,34,1234567;12,34,1234567;12,2034,1234567;~,~,1234567"},
      {"SELECT Position, TeileTyp FROM Teiledaten WHERE TeileNr=4", "POS01,12"}}},
    {"CompartmentsFourDigits",
     {"KB 001", "KTN0001F0345K1234567", "KTN0002FW0120345K1234567", "KTN0003FSxyz0120345002K1234567"},
     {{kCompartments, "~,345,1234567;12,345,1234567;12,2345,1234567"}},
     F4},
    {"ThreeDigitCompartmentLeavesTheFourthDigit",
     {"KB 001", "KTN0001F0345"},
     {{"log", "Job: J1.$tx\r\nLine: 2\r\nCol: 12\r\nWrong ID: <5 ... >"}}},
    // Pieces without a current bar get a bar numbered like the piece.
    {"PiecesBeforeAnyBarGetTheirOwnBars",
     {"KTN0005", "KTN0007", "KB 010", "KTN0008"},
     {{"SELECT StabNr FROM Stabdaten ORDER BY StabNr", "5;7;10"},
      {"SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr", "5,5;7,7;8,10"}}},
    {"SteelPiecesNoSteel",
     {"KS 001TBST-1    ", "KTN0012", "KTN0013"},
     {{kSteelPieces, "12,1,J1,1,34,ST-1,0;13,1,J1,1,13,ST-1,0"}},
     Steel,
     steelSetup<int(SteelDefault::NoSteel)>},
    {"SteelPiecesManual",
     {"KS 001TBST-1    ", "KTN0012", "KTN0013"},
     {{kSteelPieces, "12,1,J1,1,34,ST-1,1;13,1,J1,1,13,ST-1,1"}},
     Steel,
     steelSetup<int(SteelDefault::ManualSteel)>},
    {"SteelPiecesAutomatic",
     {"KS 001TBST-1    ", "KTN0012", "KTN0013"},
     {{kSteelPieces, "12,1,J1,1,34,ST-1,2;13,1,J1,1,13,ST-1,2"}},
     Steel,
     steelSetup<int(SteelDefault::AutomaticSteel)>},
    {"SteelPiecesSwitchOff",
     {"KS 001TBST-1    ", "KTN0012", "KTN0013"},
     {{kSteelPieces, "12,1,J1,1,34,ST-1,~;13,1,J1,1,13,ST-1,~"}},
     Steel,
     steelSetup<int(SteelDefault::SwitchOff)>},
    {"SteelPiecesGetReleaseNumbers",
     {"KB 001", "KTN0001", "KTN0002"},
     {{"SELECT ID, Freigabe IS NOT NULL FROM StahlTeiledaten ORDER BY TeileNr", "7,1;8,1"}, {"carry", "0,9"}},
     Steel | Release,
     [](PieceImport& r) { r.carry.nextPieceID = 7; }},
    {"SteelOverrideFindsThePieceAgain",
     {"KB 001", "KTN0001K1111111", "--", "KB 001", "KTN0001K2222222", "KTN0002"},
     {{"SELECT TeileNr, Kommission FROM StahlTeiledaten ORDER BY TeileNr", "1,2222222;2,~"}},
     Steel},
};

READER_CASES(PieceHead, kCases);

} // namespace
