// Whole jobs in job mode: the scan cycle with the real importers on a
// temporary plant. The three files of a job are read in one cycle and then
// backed up together, or the job is rolled back as a whole.
#include "ImportHelpers.h"

namespace {

const QByteArray kJob = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});
const QByteArray kLabels = crlf({"ED 0000 PRNTyp=4", "ED 0001 ^XA one^XZ", "ED 0002 ^XA two^XZ"});
const QByteArray kOnlyHeader = crlf({"ED 0000 PRNTyp=4"});
const QByteArray kSteel = crlf({"KB 001L60000TBST 4711 ", "KTN0001SA1100011180000250101L11800"});

class JobModeScan : public ::testing::Test {
protected:
    void SetUp() override { plant.wholeJobs(LoadMode::Job); }

    void writeJob(const QByteArray& label)
    {
        plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
        plant.writeJobFile(QStringLiteral("J1.$et"), label);
        plant.writeJobFile(QStringLiteral("J1.$sx"), kSteel);
    }

    // One job-mode scan; true when the job failed.
    bool scan()
    {
        report = {};
        ScanJob(plant.ctx, plant.importer, &report);
        return std::any_of(report.files.begin(), report.files.end(), failsJob);
    }
    int rows(const char* table) const { return plant.count(table); }
    bool inServer(const char* name) const { return plant.inServer(QLatin1String(name)); }

    readertest::ScanPlant plant;
    CycleReport report;
};

// The job's files are read in one cycle and backed up together. Delivered
// again and overridden, its steel data is overridden without a second question.
TEST_F(JobModeScan, WholeJobIsImportedAndOverriddenWithOneQuestion)
{
    writeJob(kLabels);
    EXPECT_FALSE(scan());
    ASSERT_EQ(report.files.size(), 3u);
    const RowsWritten& written = report.files[0].rows;
    EXPECT_EQ(std::tuple(written.jobs, written.bars, written.pieces, report.files[1].rows.printRows),
              std::tuple(1, 1, 2, 2));
    for (const char* f : {"J1.$tx", "J1.$et", "J1.$sx"})
        EXPECT_TRUE(plant.inBackup(QLatin1String(f))) << f;
    EXPECT_EQ(plant.serverFiles(), QString());

    writeJob(kLabels);
    plant.prompt.yesNoCancelAnswers = {Answer::No};
    EXPECT_FALSE(scan());
    ASSERT_EQ(plant.prompt.asked.size(), 1u); // the production-data file's question only
    EXPECT_EQ(plant.prompt.asked[0].text, QStringLiteral("J1 exists !\r\nDelete Job = Yes / Override Job = No"));
    EXPECT_EQ(std::tuple(rows("StahlLosNamen"), rows("StahlTeiledaten"), rows("Teiledaten"), rows("Druckdaten")),
              std::tuple(1, 1, 2, 2));
}

// Asked once, after the failure was reported and before any file moved.
TEST_F(JobModeScan, FailedLabelDataWithCancelRemovesTheJobAndSetsItsFilesAside)
{
    writeJob(kOnlyHeader);
    plant.prompt.retryCancelAnswers = {Answer::Cancel};
    QString boxAtTheQuestion;
    bool filesInPlace = false;
    plant.prompt.onFailureQuestion = [&] {
        boxAtTheQuestion = plant.errorBox.text();
        filesInPlace = inServer("J1.$tx") && inServer("J1.$et") && !inServer("J1.$tx.$er");
    };
    EXPECT_TRUE(scan());
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(plant.prompt.asked[0].title, QStringLiteral("$TX-VOV Server ($et)"));
    EXPECT_TRUE(boxAtTheQuestion.endsWith(QStringLiteral("Job: J1.$et\r\nNo Piece found??\r\nNo label data loaded")))
        << boxAtTheQuestion.toStdString();
    EXPECT_TRUE(filesInPlace);
    EXPECT_EQ(rows("LosNamen") + rows("Teiledaten") + rows("Druckdaten"), 0);
    EXPECT_EQ(plant.serverFiles(), "J1.$et.$er J1.$sx J1.$tx.$er"); // $sx never read: left alone
    EXPECT_TRUE(plant.store.value(QStringLiteral("ProdServerAktiv")).isEmpty());
}

} // namespace
