// Label-data files of a job whose production data is in the job database
// (the sample job A1001, imported once; every input starts from that state).
//
// Input: one byte of settings, then the file's bytes.
//   bits 0-2  printer type (0-5)
//   bit 3     job mode instead of separate mode
//   bit 4     the job's label list forgotten (labels by piece number)
//   bit 5     print data of the job replaced without asking (answer Yes)
//   bit 6     Retry instead of Cancel when the file fails

#include "FuzzPlant.h"

#include "tximport/PlantImporter.h"

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifndef VOV_FUZZ_SAMPLE_DIR
#error "VOV_FUZZ_SAMPLE_DIR names the sample plant's server directory"
#endif

namespace {

struct LabelPlant {
    fuzz::Plant plant;
    JobState job; // as the production data left it
};

void seedJob(LabelPlant& lp)
{
    QFile sample(QStringLiteral(VOV_FUZZ_SAMPLE_DIR "/A1001.$tx"));
    if (!sample.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "fuzz_label: sample job missing\n");
        std::abort();
    }
    const QByteArray bytes = sample.readAll();
    fuzz::Run run(lp.plant);
    run.ctx.settings.Extension = QStringLiteral("$tx");
    run.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    run.ctx.settings.ExtensionStahl = QStringLiteral("$sx");
    const QString path = lp.plant.writeFile(QStringLiteral("A1001.$tx"),
                                            reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
    PlantImporter importer(run.ctx, run.job);
    if (importer.ImportProductionData(path, false).failed()) {
        std::fprintf(stderr, "fuzz_label: sample job not imported\n");
        std::abort();
    }
    lp.job = run.job;
    lp.plant.keepPristine();
}

LabelPlant& plant()
{
    static LabelPlant* lp = [] {
        fuzz::startApplication();
        auto* made = new LabelPlant;
        seedJob(*made);
        return made;
    }();
    return *lp;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    LabelPlant& lp = plant();
    lp.plant.restore();
    fuzz::Run run(lp.plant);
    const uint8_t flags = data[0];
    Settings& s = run.ctx.settings;
    s.Extension = QStringLiteral("$tx");
    s.ExtensionEtikett = QStringLiteral("$et");
    s.ExtensionStahl = QStringLiteral("$sx");
    s.printerType = static_cast<PrinterType>((flags & 0x07) % 6);
    s.JobLoadMode = (flags & 0x08) ? LoadMode::Job : LoadMode::Separate;
    run.job = lp.job;
    if (flags & 0x10)
        run.job.labelList = KeyedList();
    run.prompt.yesNoCancel = (flags & 0x20) ? Answer::Yes : Answer::No;
    run.prompt.retryCancel = (flags & 0x40) ? Answer::Retry : Answer::Cancel;
    const QString path = lp.plant.writeFile(QStringLiteral("A1001.$et"), data + 1, size - 1);

    PlantImporter importer(run.ctx, run.job);
    if (s.jobMode()) {
        importer.beginJob();
        const ImportOutcome outcome = importer.ReadLabelFile(path);
        PendingError err;
        if (outcome.failed() || !importer.commitJob(err))
            importer.rollBackJob();
    } else {
        (void)importer.ReadLabelFile(path);
    }
    return 0;
}
