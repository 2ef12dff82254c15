// Production-data and steel-data files into a real job database.
//
// Input: one byte of settings, then the file's bytes.
//   bit 0  job mode (the file in the job's transaction, committed when it
//          loaded) instead of separate mode
//   bit 1  steel-data file (".$sx" into the steel tables)
//   bit 2  auto release          bit 5  load identifiers
//   bit 3  3-digit profiles      bit 6  angle converters
//   bit 4  4-digit compartments  bit 7  PVC numbers, compare with KTN
// The machining layout and the steel default follow bits 2-4 and 4-6.

#include "FuzzPlant.h"

#include "tximport/PlantImporter.h"

#include <cstddef>
#include <cstdint>

namespace {

void applySettings(Settings& s, uint8_t flags)
{
    const bool steel = flags & 0x02;
    s.Extension = QStringLiteral("$tx");
    s.ExtensionEtikett = QStringLiteral("$et");
    s.ExtensionStahl = QStringLiteral("$sx");
    s.JobLoadMode = (flags & 0x01) ? LoadMode::Job : LoadMode::Separate;
    s.Steeldata = steel ? TriState::Ticked : TriState::Cleared;
    s.AutoFreigabe = flags & 0x04;
    s.ProfNum3Digit = flags & 0x08;
    s.FachNum4Digit = flags & 0x10;
    s.GenLoadID = flags & 0x20;
    s.WinkelIDKonverter = s.WinkelKonverter = flags & 0x40;
    s.ConvToPvcNum = flags & 0x80;
    s.CompareDEandKTN = (flags & 0x80) ? TriState::Ticked : TriState::Cleared;
    s.machiningLayout = static_cast<MachiningLayout>(((flags >> 2) & 0x07) % 7 - 1);
    s.steelDefault = static_cast<SteelDefault>(((flags >> 4) & 0x07) % 5 - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::Plant& p = fuzz::sharedPlant();
    p.restore();
    fuzz::Run run(p);
    const uint8_t flags = data[0];
    applySettings(run.ctx.settings, flags);
    const bool steel = flags & 0x02;
    const QString path = p.writeFile(steel ? QStringLiteral("F1.$sx") : QStringLiteral("F1.$tx"), data + 1, size - 1);

    PlantImporter importer(run.ctx, run.job);
    if (run.ctx.settings.jobMode()) {
        importer.beginJob();
        const ImportOutcome outcome = importer.ImportProductionData(path, steel);
        PendingError err;
        if (outcome.failed() || !importer.commitJob(err))
            importer.rollBackJob();
    } else {
        (void)importer.ImportProductionData(path, steel);
    }
    return 0;
}
