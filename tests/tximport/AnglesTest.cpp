// Piece sub-fields "G" and "L" through the real importer (failure exits: SubFieldFailure).

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const char* const kAngles = "SELECT AnGehrung, AbGehrung, AngleOnCutID, AngleOffCutID, TeileLaenge FROM Teiledaten";

template <bool angles, bool ids, bool idColumns = true> void convert(PieceImport& r)
{
    r.plant.ctx.settings.WinkelKonverter = angles;
    r.plant.ctx.settings.WinkelIDKonverter = ids;
    if (!idColumns)
        r.exec(QStringLiteral("ALTER TABLE Teiledaten DROP COLUMN AngleOnCutID"));
}

// Every line ends in "L01000", so a wrong width shows as a wrong length.
// Explicit angles say "no code" in the angle-ID columns.
const Case kCases[] = {
    {"Signed", {"KTN0001GG+4500-4500L01000"}, {{kAngles, "45,-45,0,0,100"}}},
    {"Unsigned", {"KTN0001GG45009000L01000"}, {{kAngles, "45,90,0,0,100"}}},
    {"SignTakesAColumn", {"KTN0001GG+12500900L01000"}, {{kAngles, "12.5,9,0,0,100"}}},
    {"ZeroKept", {"KTN0001GG00000000L01000"}, {{kAngles, "0,0,0,0,100"}}},
    {"ZeroConverted", {"KTN0001GG00000000L01000"}, {{kAngles, "90,90,0,0,100"}}, 0, convert<true, false>},
    {"SignedZeroConverted", {"KTN0001GG-00000000L01000"}, {{kAngles, "90,90,0,0,100"}}, 0, convert<true, false>},
    {"OneZeroConverted", {"KTN0001GG45000000L01000"}, {{kAngles, "45,90,0,0,100"}}, 0, convert<true, false>},
    {"CodesConverted", {"KTN0001G12L01000"}, {{kAngles, "45,90,1,2,100"}}, 0, convert<false, true>},
    {"OtherCodesConverted", {"KTN0001G37L01000"}, {{kAngles, "403,407,3,7,100"}}, 0, convert<false, true>},
    {"CodesNotConverted", {"KTN0001G12L01000"}, {{kAngles, "1,2,1,2,100"}}},
    {"NoIdColumnsNoConversion",
     {"KTN0001G12L01000"},
     {{"SELECT AnGehrung, AbGehrung FROM Teiledaten", "1,2"}},
     0,
     convert<false, true, false>},
    {"ExplicitThenCodes", {"KTN0001GG45009000G37L01000"}, {{kAngles, "45,90,3,7,100"}}},
    {"ConversionWinsOverExplicit",
     {"KTN0001GG45009000G37L01000"},
     {{kAngles, "403,407,3,7,100"}},
     0,
     convert<false, true>},
    {"ExplicitAfterCodesKeepsIds", {"KTN0001G12GG30006000L01000"}, {{kAngles, "30,60,1,2,100"}}},
    // Skipped sub-fields consume their width and write nothing.
    {"GA18", {"KTN0001GA1234567890123456L01000"}, {{kAngles, "~,~,~,~,100"}}},
    {"GE19", {"KTN0001GE12345678901234567L01000"}, {{kAngles, "~,~,~,~,100"}}},
    {"GP6", {"KTN0001GP1234L01000"}, {{kAngles, "~,~,~,~,100"}}},
    // Piece 7 comes before any bar and has its own bar row, given the length
    // as raw length; piece 8 belongs to bar 1.
    {"LengthInTenths",
     {"KTN0007L12345Q0010000200", "KB 001L06000", "KTN0008L12345"},
     {{"SELECT TeileNr, TeileLaenge, KappHoeheAnschnitt FROM Teiledaten", "7,1234.5,10;8,1234.5,~"},
      {"SELECT StabNr, Rohlaenge FROM Stabdaten ORDER BY 1", "1,600;7,1234.5"}}},
    {"NegativeLength",
     {"KTN0007L-0012", "KB 001L06000", "KTN0008Lab   "},
     {{"SELECT TeileLaenge FROM Teiledaten", "0;0"}, {"SELECT Rohlaenge FROM Stabdaten WHERE StabNr=7", "0"}}},
};

READER_CASES(Angles, kCases);

} // namespace
