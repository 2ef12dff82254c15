// "KR" remnant record through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const Case kCases[] = {
    {"NumberLengthAndMark",
     {"KB 001L05000", "KRN0012L01500AR"},
     {{"SELECT ResteTeileNr, ResteLaenge, ResteKennung, Rohlaenge FROM Stabdaten", "0012,150,R,500"}}},
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
    {"PrinterZeroNoFlagNoEntry", {"KB 001", "KTN0041", "KRDE10005000000"}, {{"labels", "0 "}}, JobMode},
    {"SeparateModeNoEntry", {"KB 001", "KTN0041", "KRDE11005000000"}, {{"labels", "1 "}}},
    {"OwnRemnantNumberNoEntry", {"KB 001", "KTN0041", "KRN0012DE11005000000"}, {{"labels", "1 "}}, JobMode},
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

READER_CASES(Remnant, kCases);

} // namespace
