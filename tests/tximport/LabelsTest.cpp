// Piece sub-field "D" (labels) through the real importer (failure exits: SubFieldFailure).

#include "ImportHelpers.h"

namespace {

using namespace readertest;

// CompareDEandKTN, ConvToPvcNum and the load mode, with print rows of this and another job.
template <int compare, bool convert, int loadMode = 1> void plant(PieceImport& r)
{
    r.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES "
                          "('J1', 5, 'old'), ('J2', 5, 'other job')"));
    r.plant.ctx.settings.CompareDEandKTN = static_cast<TriState>(compare);
    r.plant.ctx.settings.ConvToPvcNum = convert;
    r.plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(loadMode);
}

const char* const kPrint = "SELECT LosName, TeileNr, Etikettendaten FROM Druckdaten ORDER BY 1, 2";
const char* const kLabel =
    "SELECT EtikettLaufbahn, EtikettDruckerNr, EtikettNr, EtikettPosition, TeileLaenge FROM Teiledaten";

const Case kCases[] = {
    {"ShortPrinterZero",
     {"KTN0012D0L01000"},
     {{kLabel, "~,~,~,~,100"}, {"labels", "0 "}, {kPrint, "J1,5,old;J2,5,other job"}},
     0,
     plant<0, false>},
    // The first short label with a printer replaces the job's print rows.
    {"Short",
     {"KTN0012D3L01000", "KTN0013D1"},
     {{kLabel, "~,3,12,~,100;~,1,13,~,~"}, {"labels", "1 "}, {kPrint, "J1,12,Label:12;J1,13,Label:13;J2,5,other job"}},
     0,
     plant<0, false, 0>},
    {"Full",
     {"KTN0012DE13001200125L01000"},
     {{kLabel, "1,3,12,12.5,100"}, {"labels", "1 "}, {kPrint, "J1,5,old;J2,5,other job"}},
     0,
     plant<1, false>},
    {"Mismatch",
     {"KTN0012DE13001300125"},
     {{"log", "Job: J1.$tx\r\nPiece:1\r\nLine:1\r\nCol: 8\r\nSel: 0013\r\nBuf:00125\r\n"
              "DE130013... <Wrong piece number> KTN0012..."},
      {"box", "Job: J1.$tx not correct loaded!!\r\n\r\nDE130013... <Wrong piece number> KTN0012...\r\n"},
      {"labels", "1 "}},
     0,
     plant<1, false>},
    {"NumberComparedAsText",
     {"KTN0012DE13  1200125"},
     {{"log", "Job: J1.$tx\r\nPiece:1\r\nLine:1\r\nCol: 8\r\nSel:   12\r\nBuf:00125\r\n"
              "DE13  12... <Wrong piece number> KTN0012..."}},
     0,
     plant<1, false>},
    {"MismatchPrinterZero", {"KTN0012DE10001300125"}, {{"labels", "0 "}}, 0, plant<1, false>},
    {"MismatchCheckOff", {"KTN0012DE13001300125"}, {{"labels", "1 "}}, 0, plant<0, false>},
    {"MismatchCheckGreyed", {"KTN0012DE13001300125"}, {{"labels", "1 "}}, 0, plant<2, false>},
    {"ListOtherNumber", {"KTN0012DE13000700125"}, {{"labels", "1 #7,0012;"}}, 0, plant<0, true>},
    {"ListOwnNumber", {"KTN0012DE13001200125"}, {{"labels", "1 "}}, 0, plant<0, true>},
    {"ListNoPrinter", {"KTN0012DE10000700125"}, {{"labels", "0 "}}, 0, plant<0, true>},
    {"ListSeparateMode", {"KTN0012DE13000700125"}, {{"labels", "1 "}}, 0, plant<0, true, 0>},
    {"ListConversionOff", {"KTN0012DE13000700125"}, {{"labels", "1 "}}, 0, plant<0, false, 2>},
};

READER_CASES(Labels, kCases);

} // namespace
