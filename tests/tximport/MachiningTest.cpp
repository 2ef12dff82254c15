// Piece sub-fields "W", "Q", "B", "E", "C", "A", "X", the separators, and the
// failure exits of the piece sub-fields with their reports, through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const char* const kTool =
    "SELECT BearbNr, WerkzPos, Tiefe, YOffset, ZOffset, (SELECT TeileLaenge FROM Teiledaten) FROM Werkzeugdaten";
template <int choice> void wb(PieceImport& r)
{
    r.plant.ctx.settings.machiningLayout = static_cast<MachiningLayout>(choice);
}

// The columns of the machining row; the piece length shows the width taken.
const Case kLayouts[] = {
    {"Fixed",
     {"KB 003L06000", "KTN0012W0500150L01000"},
     {{kTool, "5,15,~,~,~,100"}, {"SELECT LosName, TeileNr, StabNr FROM Werkzeugdaten", "J1,12,3"}}},
    {"FixedNegativePosition", {"KTN0012W07-0012L01000"}, {{kTool, "7,0,~,~,~,100"}}},
    {"FixedBlankInNumber", {"KTN0012W12 0015L01000"}, {{kTool, "12,1.5,~,~,~,100"}}},
    {"FixedNotANumber", {"KTN0012Wx 00150L01000"}, {{kTool, "0,15,~,~,~,100"}}},
    {"ListNoChoice", {"KTN0012WB 3,1200,55,12;L01000"}, {{kTool, "3,120,~,5.5,1.2,100"}}},
    // The plant's list layout decides where the two further values go.
    {"ListLayoutChosen", {"KTN0012WB 3,1200,55,12;L01000"}, {{kTool, "3,120,1.2,~,5.5,100"}}, 0, wb<1>},
    {"ListThreeNumbers", {"KTN0012WB 3, 1200 , 55 ;L01000"}, {{kTool, "3,120,5.5,~,~,100"}}, 0, wb<4>},
    {"ListMoreIgnored", {"KTN0012WB 3,1200,55,12,99;L01000"}, {{kTool, "3,120,5.5,~,1.2,100"}}, 0, wb<4>},
    {"ListZeroAndNegative", {"KTN0012WB 3,-5,-5,0;L01000"}, {{kTool, "3,0,-0.5,~,0,100"}}, 0, wb<4>},
    {"ListNoSemicolonTakesTheRest", {"KTN0012WB 3,1200,55,12"}, {{kTool, "3,120,5.5,~,1.2,~"}}, 0, wb<4>},
    {"ListRoundsTheNumber", {"KTN0012WB 2.5,10;L01000"}, {{kTool, "2,1,~,~,~,100"}}, 0, wb<4>},
};

READER_CASES(Machining, kLayouts);

const char* const kPiece = "SELECT (SELECT COUNT(*) FROM Stabdaten), (SELECT COUNT(*) FROM Werkzeugdaten), "
                           "TeileLaenge, AnGehrung FROM Teiledaten WHERE TeileNr=1";
const char* const kTail =
    "SELECT KappHoeheAnschnitt, KappHoeheAbschnitt, Barcode, PrintBarcode, TeileLaenge FROM Teiledaten";
const char* const kOwnBar =
    "SELECT StabNr, ProfilName, Farbe, Bezeichnung, (SELECT TeileLaenge FROM Teiledaten) FROM Stabdaten";

const Case kTails[] = {
    {"CutHeightsBarcodeSkipped",
     {"KTN0001Q00123-0010B*  CODE 4711         EZ  L01000"},
     {{kTail, "12.3,0,CODE 4711,CODE 4711,100"}}},
    {"CutHeightsNotNumbersBarcode20",
     {"KTN0001Q00000ab   BxABCDEFGHIJKLMNOPQRSTL02000"},
     {{kTail, "0,0,ABCDEFGHIJKLMNOPQRST,ABCDEFGHIJKLMNOPQRST,200"}}},
    // After "C", a next line beginning "KT" goes on with the same piece.
    {"FixedMachining", {"KTN0001L01000C", "KTWW0500150W0600200"}, {{kPiece, "1,2,100,~"}}},
    {"ListMachining", {"KTN0001L01000C", "KTWB 3,1200;"}, {{kPiece, "1,1,100,~"}}},
    {"Angles", {"KTN0001L01000C", "KTGG45009000"}, {{kPiece, "1,0,100,45"}}},
    {"LeadingBlanks", {"KTN0001L01000C", "   KTGG45009000"}, {{kPiece, "1,0,100,45"}}},
    {"LineFeedInTheLine", {"KTN0001L01000C\nKTGG45009000"}, {{kPiece, "1,0,100,45"}}},
    {"NextLineIsARecord", {"KTN0001L01000C", "KS 002L06000"}, {{kPiece, "2,0,100,~"}}},
    // A bar record there is read, and the pieces after it belong to the new bar.
    {"NextLineIsABarRecord",
     {"KB 001L06000", "KTN0001L01000C", "KB 002L07000", "KTN0002L02000"},
     {{"SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr", "1,1;2,2"}, {kPiece, "2,0,100,~"}}},
    {"EndOfFile", {"KTN0001L01000C"}, {{kPiece, "1,0,100,~"}}, Raw},
    {"BlanksAreSkipped", {"KTN0001  L01000  "}, {{kPiece, "1,0,100,~"}}},
    {"LineFeedEndsThePiece", {"KTN0001L01000\nL02000"}, {{kPiece, "1,0,100,~"}}},
    // "A" and "X" fill the bar made for the piece alone, never a bar record's.
    {"BarTwoDigits", {"KTN0007A123RL01000"}, {{kOwnBar, "7,12,3R,~,100"}}},
    {"BarThreeDigitsNotGiven", {"KTN0007A12RWL01000"}, {{kOwnBar, "7,12,RW,~,100"}}, P3},
    {"BarThreeDigits", {"KTN0007A123RWL01000"}, {{kOwnBar, "7,123,RW,~,100"}}, P3},
    {"BarName", {"KTN0007AB PROF 1 W L01000"}, {{kOwnBar, "7,PROF 1,W,~,100"}}},
    {"BarDesignation", {"KTN0007X FRAME LEFT         L01000"}, {{kOwnBar, "7,~,~, FRAME LEFT         ,100"}}},
    {"SteelBarName",
     {"KTN0007ABST 4711 RWX  STEEL             L01000"},
     {{"SELECT StahlName, Farbe, Bezeichnung FROM StahlStabdaten", "ST 4711,RW,  STEEL             "}},
     Steel},
    {"BarOfABarRecordLeftAlone",
     {"KB 001L06000TFWHITE               ", "KTN0007A12RWX FRAME LEFT         L01000"},
     {{kOwnBar, "1,~,WHITE,~,100"}}},
};

READER_CASES(PieceTail, kTails);

// The report of a failure in the first sub-field of the first piece; the
// stop exit in job mode keeps a machining row as it was added.
#define AT_COLUMN_8 "Job: J1.$tx\r\nPiece:1\r\nLine:1\r\nCol: 8\r\nSel: "
const char* const kAdded = "SELECT TeileNr, BearbNr IS NULL AND WerkzPos IS NULL FROM Werkzeugdaten";

const Case kFailures[] = {
    {"FixedBlankPosition",
     {"KTN0012W05     L01000"},
     {{"log", AT_COLUMN_8 "     \r\nBuf:L01000\r\nType mismatch"}, {kAdded, ""}},
     JobMode},
    {"ListNumber", {"KTN0012WB x3,1200;"}, {{"log", AT_COLUMN_8 "x3\r\nBuf:\r\nType mismatch"}}},
    {"ListPosition",
     {"KTN0012WB 3,12a0;"},
     {{"log", AT_COLUMN_8 "12a0\r\nBuf:\r\nType mismatch"}, {kAdded, ""}},
     JobMode},
    {"ListMissingPosition", {"KTN0012WB 3;"}, {{"log", AT_COLUMN_8 "\r\nBuf:\r\nType mismatch"}}},
    {"ListValue2", {"KTN0012WB 3,1200,5x;"}, {{"log", AT_COLUMN_8 "5x\r\nBuf:\r\nType mismatch"}}},
    {"ListValue3", {"KTN0012WB 3,1200,55,1 2;"}, {{"log", AT_COLUMN_8 "1 2\r\nBuf:\r\nType mismatch"}}},
    {"AngleCodeNotStorable",
     {"KTN0001GXYL01000"},
     {{"log", AT_COLUMN_8 "X\r\nBuf:GXYL01000\r\nData type conversion error."}}},
    {"LabelWithoutPrintTable",
     {"KTN0012D3L01000"},
     {{"log", AT_COLUMN_8 "3\r\nBuf:L01000\r\nOpening printdata table in database?"}},
     NoPrint},
    {"WrongIdLowerCase",
     {"KTN0001 w0500150"},
     {{"log", "Job: J1.$tx\r\nLine: 1\r\nCol: 9\r\nWrong ID: <w0500150 ... >"}}},
    {"NewPieceAfterC",
     {"KTN0001C", "KTN0002L01000"},
     {{"log", "Job: J1.$tx\r\nLine: 2\r\nCol: 3\r\nWrong ID: <N0002L01000 ... >"}}},
    {"ColumnOfTheContinuation",
     {"KTN0001L01000C", "KTGG45009000Z1"},
     {{"log", "Job: J1.$tx\r\nLine: 2\r\nCol: 13\r\nWrong ID: <Z1 ... >"}}},
};

READER_CASES(SubFieldFailure, kFailures);

} // namespace
