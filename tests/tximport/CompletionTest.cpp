// Piece completion: steel names of the piece and its bar, load identifiers.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const char* const kNames = "SELECT s.StahlName, t.StahlNr, t.StahlNr1, t.StahlNr2 FROM Teiledaten t "
                           "JOIN Stabdaten s ON s.StabNr=t.StabNr";

template <int steeldata> void steeldataSetup(PieceImport& r)
{
    r.plant.ctx.settings.Steeldata = static_cast<TriState>(steeldata);
}

// Short steel form "S<selection>..." and "SA" entries, each followed by the
// "SB" steel names.
const Case kCases[] = {
    {"ManualFillsAnEmptyBar", {"KB 001", "KTN0001S101000123SBST-A    "}, {{kNames, "ST-A,ST-A,ST-A,~"}}},
    {"ManualKeepsTheBarsName", {"KB 001SBOLD     ", "KTN0001S101000123SBST-A    "}, {{kNames, "OLD,ST-A,ST-A,~"}}},
    {"AutomaticOverwritesTheBarsName",
     {"KB 001SBOLD     ", "KTN0001S201000123SBST-A    "},
     {{kNames, "ST-A,ST-A,ST-A,~"}}},
    {"NoSelectionEmptiesThePiecesNames", {"KB 001", "KTN0001S001000123SBST-A    "}, {{kNames, "~,,,"}}},
    {"NoSteelNameChangesNothing", {"KB 001", "KTN0001S201000123"}, {{kNames, "~,~,~,~"}}},
    {"TwelveNamesTheSecondSteel",
     {"KB 001", "KTN0001SA2100010100000000123SA1100020100000000123SBST-A    "},
     {{kNames, "ST-A,ST-A,ST-A,ST-A"}},
     0,
     steeldataSetup<1>},
    {"SecondSelectionZeroEmptiesTheSecondName",
     {"KB 001", "KTN0001SA1100010100000000123SA0100020100000000123SBST-A    SBST-B    "},
     {{kNames, "ST-A,ST-A,ST-A,"}},
     0,
     steeldataSetup<2>},
    // The name carries over to the next pieces until a bar selection record.
    {"SteelNameCarriesOverUntilABarSelection",
     {"KB 001", "KTN0001S101000123SBST-A    ", "KB 002", "KTN0002S101000123", "KS 003", "KTN0003S101000123"},
     {{"SELECT StabNr, StahlName FROM Stabdaten ORDER BY StabNr", "1,ST-A;2,ST-A;3,~"},
      {"SELECT COUNT(LoadID) FROM Teiledaten", "0"}}},
    {"SteelModeChangesNoSteelNames",
     {"KB 001", "KTN0001S201000123SBST-A    "},
     {{"SELECT s.StahlName, t.StahlNr FROM StahlTeiledaten t JOIN StahlStabdaten s ON s.StabNr=t.StabNr", "~,~"}},
     Steel},
    {"LoadIdsStartAtZeroInAnEmptyTable",
     {"KB 001", "KTN0001", "KTN0002"},
     {{"SELECT LoadID FROM Teiledaten ORDER BY TeileNr", "0;1"}},
     LoadId},
    {"LoadIdsContinueTheLargestOne",
     {"KB 001", "KTN0001", "KTN0002", "KTN0003"},
     {{"SELECT LoadID FROM Teiledaten WHERE LosName='J1' ORDER BY TeileNr", "17;18;19"}},
     LoadId,
     [](PieceImport& r) {
         r.exec(QStringLiteral("INSERT INTO LosNamen (LosName) VALUES ('OTHER')"));
         r.exec(QStringLiteral("INSERT INTO Teiledaten (LosName, TeileNr, LoadID) VALUES ('OTHER', 1, 16)"));
     }},
};

READER_CASES(Completion, kCases);

} // namespace
