// Robustness: job files damaged at random (bytes flipped, dropped, doubled,
// line ends moved) must end in a report or a normal end, never in a crash,
// a hang or a file that disappears. Runs both readers over the sample
// plant's jobs with a fixed seed, so a failure is reproducible.
#include "JobPlant.h"

#include "etimport/LabelReader.h"
#include "tximport/ProductionImport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

namespace {

#ifndef VOV_MUTATION_ROUNDS
#define VOV_MUTATION_ROUNDS 200
#endif
constexpr int kRounds = VOV_MUTATION_ROUNDS;

QByteArray sampleJob(const char* name)
{
    return readFileBytes(QStringLiteral(VOV_TEST_DATA_DIR "/../../examples/plant/In/") + QLatin1String(name));
}

QByteArray mutate(QByteArray bytes, std::mt19937& rng)
{
    static const char kAlphabet[] = "KBTNSRDWGLCAXQEFOP0123456789 \r\n,;+-.";
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
        const qsizetype at = static_cast<qsizetype>(rng() % bytes.size());
        const char c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
        switch (rng() % 4) {
        case 0:
            bytes[at] = c;
            break;
        case 1:
            bytes.remove(at, 1 + static_cast<qsizetype>(rng() % 8));
            break;
        case 2:
            bytes.insert(at, c);
            break;
        default:
            bytes.insert(at, bytes.mid(at, static_cast<qsizetype>(rng() % 40)));
            break;
        }
    }
    return bytes;
}

TEST(MutatedJobsTest, DamagedFilesEndInAReportOrANormalEnd)
{
    JobPlant plant;
    plant.createJobDatabase();
    plant.ctx.settings.JobLoadMode = LoadMode::Job;         // the files stay in place: each one is checked afterwards
    plant.ctx.settings.printerType = PrinterType::ImajeDos; // the printer adaptation with the most branches
    const QByteArray sources[] = {sampleJob("A1001.$tx"), sampleJob("A1002.$tx"), sampleJob("A1001.$sx")};
    const QByteArray labels = sampleJob("A1001.$et");
    ASSERT_FALSE(sources[0].isEmpty());
    ASSERT_FALSE(labels.isEmpty());

    std::mt19937 rng(20261205);
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
    for (int round = 0; round < kRounds; ++round) {
        const QByteArray& source = sources[round % 3];
        const bool steel = round % 3 == 2;
        const QString name =
            QStringLiteral("M%1.%2").arg(round).arg(steel ? QStringLiteral("$sx") : QStringLiteral("$tx"));
        const QByteArray damaged = mutate(source, rng);
        const QString path = plant.writeJobFile(name, damaged);
        plant.prompt.yesNoCancelAnswers = {Answer::Yes};
        tx::ImportProductionData(plant.ctx, plant.job, carry, profiles, path, steel);
        EXPECT_EQ(readFileBytes(path), damaged) << "job file changed or lost in round " << round;

        const QByteArray damagedLabels = mutate(labels, rng);
        const QString labelPath = plant.writeJobFile(QStringLiteral("M%1.$et").arg(round), damagedLabels);
        et::ReadLabelFile(plant.ctx, plant.job, labelPath);
        EXPECT_EQ(readFileBytes(labelPath), damagedLabels) << "label file changed or lost in round " << round;
    }
}

} // namespace
